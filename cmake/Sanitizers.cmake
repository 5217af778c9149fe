# The sanitizer build runs every native test under ASan and UBSan; any
# report is fatal so that CTest sees it as a failure.
if(QUILLET_SANITIZE)
  if(WIN32)
    message(FATAL_ERROR "QUILLET_SANITIZE is for the native build only")
  endif()
  set(_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${_san})
  add_link_options(${_san})
endif()

# ThreadSanitizer for the setup program's tests, where worker threads and
# the UI thread share the engine. It cannot be combined with ASan.
if(QUILLET_TSAN)
  if(WIN32 OR QUILLET_SANITIZE)
    message(FATAL_ERROR "QUILLET_TSAN is for the native build only and excludes QUILLET_SANITIZE")
  endif()
  set(_tsan -fsanitize=thread -fno-omit-frame-pointer)
  add_compile_options(${_tsan})
  add_link_options(${_tsan})
endif()

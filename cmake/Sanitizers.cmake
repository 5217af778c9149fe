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

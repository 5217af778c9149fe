# Run by cpack on the staged files (CPACK_PRE_BUILD_SCRIPTS): strips every
# ELF file the way Debian's own tools do, without the .comment and .note
# sections a plain strip leaves.
file(GLOB_RECURSE _files LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(_f IN LISTS _files)
  if(IS_SYMLINK "${_f}")
    continue()
  endif()
  file(READ "${_f}" _magic LIMIT 4 HEX)
  if(_magic STREQUAL "7f454c46")
    # Shared libraries keep the symbols they export.
    set(_how)
    if(_f MATCHES "\\.so(\\.|$)")
      set(_how --strip-unneeded)
    endif()
    execute_process(COMMAND ${CPACK_QUILLET_STRIP} --remove-section=.comment
                            --remove-section=.note ${_how} "${_f}"
                    RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "strip failed on ${_f}")
    endif()
  endif()
endforeach()

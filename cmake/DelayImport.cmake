# quillet_delay_import(<target> <library> <dll>): an imported static library
# <target> that links the functions of the toolchain's import library
# lib<library>.a as delay-loaded imports of <dll>.  The DLL is then loaded on
# the first call through the delay-load helper (whose load hook the program
# installs), not by the loader before the program's first instruction, when
# the program's own folder still comes first in the search.
# Generated at configure time: a .def file of the import library's
# functions, then dlltool's delay-import library.
function(quillet_delay_import target library dll)
  if(TARGET ${target})
    return()
  endif()
  find_library(QUILLET_IMPORT_LIB_${library} NAMES lib${library}.a REQUIRED)
  set(_import ${QUILLET_IMPORT_LIB_${library}})
  if(NOT CMAKE_NM OR NOT CMAKE_DLLTOOL)
    message(FATAL_ERROR "delay imports need nm and dlltool of the cross toolchain")
  endif()
  execute_process(COMMAND ${CMAKE_NM} ${_import} OUTPUT_VARIABLE _symbols RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${_import}")
  endif()
  # Functions have a thunk besides their import slot: "T _Name@N" in
  # 32-bit libraries (stdcall), "T Name" in 64-bit ones.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_thunk_pattern "[0-9a-f]+ T [A-Za-z0-9_]+")
    set(_thunk_prefix "^[0-9a-f]+ T ")
  else()
    set(_thunk_pattern "[0-9a-f]+ T _[A-Za-z0-9_]+@[0-9]+")
    set(_thunk_prefix "^[0-9a-f]+ T _")
  endif()
  string(REGEX MATCHALL "${_thunk_pattern}" _thunks "${_symbols}")
  set(_def "LIBRARY ${dll}\nEXPORTS\n")
  foreach(_thunk IN LISTS _thunks)
    string(REGEX REPLACE "${_thunk_prefix}" "" _name "${_thunk}")
    string(APPEND _def "${_name}\n")
  endforeach()
  set(_dir ${CMAKE_BINARY_DIR}/delay-import)
  file(MAKE_DIRECTORY ${_dir})
  file(WRITE ${_dir}/${library}.def "${_def}")
  set(_out ${_dir}/lib${library}-delay.a)
  execute_process(COMMAND ${CMAKE_DLLTOOL} -k --dllname ${dll} --def ${_dir}/${library}.def
                          --output-delaylib ${_out}
                  RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "dlltool could not make the delay-import library of ${dll}")
  endif()
  add_library(${target} STATIC IMPORTED GLOBAL)
  # The helper that the thunks call comes with the runtime (libmingwex).
  # The import library itself follows for its data (GUIDs such as GDI+'s
  # frame dimensions); its functions are already taken by then.
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${_out}
                                             INTERFACE_LINK_LIBRARIES ${library})
endfunction()

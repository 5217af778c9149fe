# Runs rastertoquillet under valgrind (memcheck, leak check) on a
# multi-page job, once per processing path; any error or leak fails.
foreach(_case "qa4-203.ppd|OP_HalfTone=True OP_Mirror=1|4"
              "qa4-300.ppd|OP_HalfTone=False OP_Rotate=1 OP_ReversePhase=1|8"
              "qlbl-203.ppd|OP_HalfTone=True OP_Rotate=1|13")
  string(REPLACE "|" ";" _parts "${_case}")
  list(GET _parts 0 _ppd)
  list(GET _parts 1 _options)
  list(GET _parts 2 _seed)
  set(_raster ${WORK_DIR}/valgrind-${_seed}.ras)
  # Three random pages in one job.
  execute_process(COMMAND ${RASTERGEN} random ${_raster} ${_seed} RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "quillet-rastergen failed")
  endif()
  set(ENV{PPD} ${PPD_DIR}/${_ppd})
  execute_process(
    COMMAND ${VALGRIND} --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible
            --errors-for-leak-kinds=definite,indirect,possible -q
            ${FILTER} 1 user title 1 "${_options}" ${_raster}
    OUTPUT_FILE ${WORK_DIR}/valgrind-${_seed}.out
    ERROR_VARIABLE _err RESULT_VARIABLE _rc)
  string(REGEX MATCHALL "PAGE: [0-9]+" _pages "${_err}")
  list(LENGTH _pages _count)
  message(STATUS "${_ppd} '${_options}': status ${_rc}, ${_count} pages")
  if(NOT _rc EQUAL 0 OR _count LESS 2)
    message(FATAL_ERROR "valgrind run failed (status ${_rc}, ${_count} pages):\n${_err}")
  endif()
endforeach()

# Builds the encrypted resource archive reproducibly:
#   cmake -DCONTENT=<dir> [-DOVERLAY=<dir>] -DSTAGE=<dir> -DOUTPUT=<zip>
#         -DPASSWORD=<pw> -P make-archive.cmake
# The entries are copied into a staging folder (the vendor's driver
# folder, when given, is laid over the placeholders), given one fixed
# time stamp and mode, and zipped in sorted order without extra fields.
# Only the 12-byte encryption header of each entry differs between runs:
# Info-ZIP seeds it from the clock, as the PKWARE scheme intends.
foreach(_v CONTENT STAGE OUTPUT PASSWORD)
  if(NOT DEFINED ${_v})
    message(FATAL_ERROR "make-archive: ${_v} is not set")
  endif()
endforeach()
find_program(ZIP zip REQUIRED)
find_program(TOUCH touch REQUIRED)

file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
file(COPY "${CONTENT}/" DESTINATION "${STAGE}")
if(OVERLAY)
  if(NOT IS_DIRECTORY "${OVERLAY}")
    message(FATAL_ERROR "make-archive: driver folder ${OVERLAY} does not exist")
  endif()
  file(COPY "${OVERLAY}/" DESTINATION "${STAGE}/driver")
endif()

file(GLOB_RECURSE _files RELATIVE "${STAGE}" "${STAGE}/*")
list(SORT _files)
foreach(_f IN LISTS _files)
  file(CHMOD "${STAGE}/${_f}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
set(ENV{TZ} UTC)
execute_process(COMMAND ${TOUCH} -h -d "2025-05-19 00:00:00" ${_files}
                WORKING_DIRECTORY "${STAGE}" RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "make-archive: touch failed")
endif()

file(REMOVE "${OUTPUT}")
execute_process(COMMAND ${ZIP} -q -X -D -9 -P "${PASSWORD}" "${OUTPUT}" ${_files}
                WORKING_DIRECTORY "${STAGE}" RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "make-archive: zip failed (${_rc})")
endif()

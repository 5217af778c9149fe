# Extracts the filter's message keys and checks that each catalogue
# translates all of them.
file(GLOB sources ${SOURCE_DIR}/*.cpp)
execute_process(
  COMMAND ${XGETTEXT} --keyword=N_ --keyword=LogMessage:2 --language=C++ --from-code=UTF-8
          -o ${WORK_DIR}/rastertoquillet.pot ${sources}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "xgettext failed")
endif()
file(GLOB catalogues ${SOURCE_DIR}/po/*.po)
foreach(po IN LISTS catalogues)
  execute_process(COMMAND ${MSGCMP} ${po} ${WORK_DIR}/rastertoquillet.pot RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${po} lacks translations")
  endif()
endforeach()

# Cross build: the removal run, the spooler's stop and start and the
# Bluetooth adapter check on the real Windows interfaces under Wine.
add_executable(removal_wintests ${CMAKE_CURRENT_LIST_DIR}/removal_wine_test.cpp
               ${CMAKE_CURRENT_LIST_DIR}/../message_recorder.cpp)
target_include_directories(removal_wintests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_compile_definitions(removal_wintests PRIVATE UNICODE _UNICODE)
target_link_libraries(removal_wintests PRIVATE plovex_engine GTest::gtest_main)
target_link_options(removal_wintests PRIVATE -static-libgcc -static-libstdc++ -static)
if(COMMAND add_wine_test)
  add_wine_test(removal_wintests removal_wintests)
endif()

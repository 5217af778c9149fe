# Cross build: nothing beside Plovex.exe or in its working folder may be
# loaded or started by it (it runs elevated).
#  - plovex_imports: the import table holds only Windows' known DLLs,
#    which the loader takes from the system folder before the program can
#    restrict the search.
#  - plovex_planted_files: DLLs and programs with the names it loads and
#    starts, planted beside it and in its working folder, stay untouched
#    through its start and the engine's loads and launches (under Wine).
add_test(NAME plovex_imports
         COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DPROGRAM=$<TARGET_FILE:Plovex>
                 -P ${CMAKE_CURRENT_LIST_DIR}/check-imports.cmake)

add_library(planted_dll SHARED ${CMAKE_CURRENT_LIST_DIR}/planted_dll.c)
set_target_properties(planted_dll PROPERTIES PREFIX "" OUTPUT_NAME planted)
target_link_options(planted_dll PRIVATE -static-libgcc)
add_executable(planted_exe WIN32 ${CMAKE_CURRENT_LIST_DIR}/planted_exe.c)
target_link_options(planted_exe PRIVATE -static-libgcc)

add_executable(planted_wintests ${CMAKE_CURRENT_LIST_DIR}/planted_wintest.cpp $<TARGET_OBJECTS:plovex_resources>)
add_dependencies(planted_wintests plovex_resources)
target_link_libraries(planted_wintests PRIVATE plovex_shell GTest::gtest)
target_link_options(planted_wintests PRIVATE -static-libgcc -static-libstdc++ -static)

add_test(NAME plovex_planted_files
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/plovex-planted.sh ${QUILLET_WINE_RUN} ${CMAKE_BINARY_DIR}/wineprefix
                 $<TARGET_FILE:Plovex> $<TARGET_FILE:planted_wintests> $<TARGET_FILE:planted_dll>
                 $<TARGET_FILE:planted_exe> ${CMAKE_CURRENT_BINARY_DIR}/planted)
set_tests_properties(plovex_planted_files PROPERTIES TIMEOUT 900 RESOURCE_LOCK wineprefix)

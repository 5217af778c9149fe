# add_wine_test(<name> <target> [args...]): a CTest test that runs a
# Windows executable target under Wine through wine-run.sh, in the build
# tree's own 32-bit prefix (build/<dir>/wineprefix).
set(QUILLET_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh CACHE INTERNAL "Wine runner script")

function(add_wine_test name target)
  add_test(NAME ${name}
           COMMAND ${QUILLET_WINE_RUN} --prefix ${CMAKE_BINARY_DIR}/wineprefix --timeout 300
                   $<TARGET_FILE:${target}> ${ARGN})
  # The first run also boots the prefix; tests share it one at a time.
  set_tests_properties(${name} PROPERTIES TIMEOUT 900 RESOURCE_LOCK wineprefix)
endfunction()

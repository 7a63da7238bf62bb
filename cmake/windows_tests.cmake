# The suites of the 64-bit Windows build: GoogleTest built from the sources
# Debian ships (there is no MinGW package of it), and every test program run
# under Wine's 64-bit loader with a prefix of the build's own. The product's
# DLLs are found through WINEPATH, as the suites build apart from them.
if(PLEXMOOR_WINE_TESTS)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(target gtest gtest_main)
    set_target_properties(${target} PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
  endforeach()

  set(wine_run ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
  execute_process(COMMAND ${wine_run} --which OUTPUT_VARIABLE WINE64
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_run} ${WINE64} ${CMAKE_BINARY_DIR}/wine
                                    ${PLEXMOOR_PRODUCT_BIN})
  # The prefix is made with the build, so that listing a suite's tests when
  # ctest starts does not wait for it.
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/wine/system.reg
                     COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} VERBATIM)
  add_custom_target(wine_prefix ALL DEPENDS ${CMAKE_BINARY_DIR}/wine/system.reg)
endif()


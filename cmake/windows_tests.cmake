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

  find_program(WINE64 wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_DEFAULT_PATH REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh ${WINE64}
                                    ${CMAKE_BINARY_DIR}/wine ${PLEXMOOR_PRODUCT_BIN})
endif()


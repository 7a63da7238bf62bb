# The Windows builds (windows-x64, windows-x86). The 64-bit build's tests
# run under Wine (windows_tests.cmake); the 32-bit build is built and its
# exports checked, but not run: this machine's kernel runs no 32-bit
# programs.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PLEXMOOR_WINE_TESTS ON)
else()
  set(PLEXMOOR_WINE_TESTS OFF)
endif()

# Windows names its libraries without a prefix: Zintra.dll, ftd2xx.dll.
set(CMAKE_SHARED_LIBRARY_PREFIX "")

# The vendor's ftd2xx.dll, bound by name: an import library made from its
# export list, so Zintra links against the vendor's DLL whether or not the
# stand-in is built. The 64-bit DLL's names carry no @ suffix.
set(PLEXMOOR_D2XX_DEF ${CMAKE_BINARY_DIR}/import/ftd2xx.def)
file(READ ${PROJECT_SOURCE_DIR}/platform/ftd2xx/ftd2xx.def d2xx_exports)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  string(REGEX REPLACE "@[0-9]+ @" " @" d2xx_exports "${d2xx_exports}")
endif()
file(WRITE ${PLEXMOOR_D2XX_DEF} "${d2xx_exports}")
set(d2xx_import ${CMAKE_BINARY_DIR}/import/libftd2xx-vendor.a)
add_custom_command(OUTPUT ${d2xx_import}
                   COMMAND ${CMAKE_DLLTOOL} -d ${PLEXMOOR_D2XX_DEF} -l ${d2xx_import} -k
                   DEPENDS ${PROJECT_SOURCE_DIR}/platform/ftd2xx/ftd2xx.def)
add_custom_target(d2xx_vendor_import DEPENDS ${d2xx_import})
add_library(d2xx_vendor INTERFACE)
target_link_libraries(d2xx_vendor INTERFACE ${d2xx_import})
add_dependencies(d2xx_vendor d2xx_vendor_import)

# CLI11 is headers only: Debian's copy serves the cross builds too, through
# a folder that holds it alone (all of /usr/include would shadow MinGW's).
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/cli11)
file(CREATE_LINK /usr/include/CLI ${CMAKE_BINARY_DIR}/cli11/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 INTERFACE ${CMAKE_BINARY_DIR}/cli11)
set(CLI11_FOUND TRUE)
set(CLI11_DIR ${CMAKE_BINARY_DIR}/cli11)

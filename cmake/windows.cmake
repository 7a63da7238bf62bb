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

# SQLite for the production record: Debian has no MinGW build of it, so
# its amalgamation (one C file, public domain), which scripts/setup.sh
# windows fetches pinned into build/sqlite-amalgamation, is compiled into
# the record. Its own warnings are not ours; without debug information it
# compiles in 29 s rather than 41 s here, into 1.1 MB of object rather than
# 6.8 MB.
set(PLEXMOOR_SQLITE_AMALGAMATION ${PROJECT_SOURCE_DIR}/build/sqlite-amalgamation
    CACHE PATH "The folder holding SQLite's sqlite3.c and sqlite3.h")
if(NOT EXISTS ${PLEXMOOR_SQLITE_AMALGAMATION}/sqlite3.c)
  message(FATAL_ERROR "No SQLite amalgamation in ${PLEXMOOR_SQLITE_AMALGAMATION}: "
                      "scripts/setup.sh windows fetches it")
endif()
add_library(sqlite3_amalgamation STATIC ${PLEXMOOR_SQLITE_AMALGAMATION}/sqlite3.c)
target_include_directories(sqlite3_amalgamation SYSTEM PUBLIC ${PLEXMOOR_SQLITE_AMALGAMATION})
# What the record does not use is left out: extensions loaded from DLLs,
# the deprecated and shared-cache calls; strings only in single quotes.
target_compile_definitions(sqlite3_amalgamation PRIVATE
  SQLITE_OMIT_LOAD_EXTENSION SQLITE_OMIT_DEPRECATED SQLITE_OMIT_SHARED_CACHE SQLITE_DQS=0
  SQLITE_DEFAULT_MEMSTATUS=0)
set_target_properties(sqlite3_amalgamation PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
target_compile_options(sqlite3_amalgamation PRIVATE -w -g0)

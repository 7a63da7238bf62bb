# The Windows zip (cpack -G ZIP in the build folder): the programs and
# Zintra.dll at its top with wincalls.dll, which plexmoor-cli imports; the
# D2XX stand-in and the virtual board in virtual-board\, to copy beside the
# programs for a run without hardware. The C and C++ runtimes are linked
# into each file (cmake/mingw-w64.cmake): no runtime DLLs to ship.
set(programs plexmoor-cli)
foreach(program Plexmoor plexmoor-demo-image)
  if(TARGET ${program})
    list(APPEND programs ${program})
  endif()
endforeach()
# The files alone, without the import libraries the linker made beside them.
foreach(target ${programs} Zintra wincalls)
  install(PROGRAMS $<TARGET_FILE:${target}> DESTINATION .)
endforeach()
foreach(target ftd2xx vboard)
  install(PROGRAMS $<TARGET_FILE:${target}> DESTINATION virtual-board)
endforeach()
# A Windows text file, whatever line ends the checkout has.
configure_file(README-windows.txt ${CMAKE_CURRENT_BINARY_DIR}/README-windows.txt @ONLY
               NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README-windows.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Plexmoor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_SYSTEM_NAME win32)
endif()
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)

# Each DLL exports exactly what its header declares, by plain names, as
# objdump lists its export table.
add_test(NAME zintra_exports
         COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DDLL=$<TARGET_FILE:Zintra>
                 -DHEADER=${PROJECT_SOURCE_DIR}/dll/zintra.h
                 "-DDECLARATION=ZINTRA_API [^;]*ZINTRA_CALL ([A-Za-z0-9_]+)\\("
                 -P ${PROJECT_SOURCE_DIR}/cmake/check_exports.cmake)
add_test(NAME ftd2xx_exports
         COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DDLL=$<TARGET_FILE:ftd2xx>
                 -DHEADER=${PROJECT_SOURCE_DIR}/platform/ftd2xx/ftd2xx.h
                 "-DDECLARATION=FT_STATUS FT_API ([A-Za-z0-9_]+)\\("
                 -P ${PROJECT_SOURCE_DIR}/cmake/check_exports.cmake)

# A static tool has no dynamic section; a dynamic one loads no C++ runtime.
#   cmake -DBINARY=path -DSTATIC=ON|OFF -P check_linkage.cmake
execute_process(COMMAND readelf -d ${BINARY} OUTPUT_VARIABLE dynamic
                ERROR_VARIABLE dynamic COMMAND_ERROR_IS_FATAL ANY)
if(STATIC)
  if(NOT dynamic MATCHES "no dynamic section")
    message(FATAL_ERROR "${BINARY} should be static:\n${dynamic}")
  endif()
elseif(dynamic MATCHES "NEEDED[^\n]*libstdc\\+\\+")
  message(FATAL_ERROR "${BINARY} loads the C++ runtime:\n${dynamic}")
endif()

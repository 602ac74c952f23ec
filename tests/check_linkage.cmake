# What the binary under test must show: code for the processor it was built
# for; a static PIE with no interpreter and no libraries, or a dynamic binary
# that loads no C++ runtime; either way position-independent, bound at
# start, with read-only relocations and the stack protector.
#   cmake -DBINARY=path -DSTATIC=ON|OFF -DPROCESSOR=x86_64|aarch64
#         [-DCXX_RUNTIME=ON] [-DBINARY_VARIABLE=name] -P check_linkage.cmake
# CXX_RUNTIME allows a dynamic binary to load the C++ runtime. The variable
# named by BINARY_VARIABLE (TARNWICK_BINARY by default), when set in the
# environment, names the binary under test instead.
if(NOT BINARY_VARIABLE)
  set(BINARY_VARIABLE TARNWICK_BINARY)
endif()
if(DEFINED ENV{${BINARY_VARIABLE}} AND NOT "$ENV{${BINARY_VARIABLE}}" STREQUAL "")
  set(BINARY "$ENV{${BINARY_VARIABLE}}")
endif()
execute_process(COMMAND readelf -h -l -d -s -W ${BINARY} OUTPUT_VARIABLE elf
                ERROR_VARIABLE elf COMMAND_ERROR_IS_FATAL ANY)

function(expect pattern what)
  if(NOT elf MATCHES "${pattern}")
    message(FATAL_ERROR "${BINARY}: ${what}")
  endif()
endfunction()
function(refuse pattern what)
  if(elf MATCHES "${pattern}")
    message(FATAL_ERROR "${BINARY}: ${what}")
  endif()
endfunction()

set(MACHINE_x86_64 "X86-64")
set(MACHINE_aarch64 "AArch64")
if(DEFINED MACHINE_${PROCESSOR})
  expect("Machine: +[^\n]*${MACHINE_${PROCESSOR}}" "not built for ${PROCESSOR}")
endif()
expect("Type: +DYN" "not position-independent (ELF type is not DYN)")
expect("BIND_NOW" "symbols are not all bound at start (no BIND_NOW)")
expect("GNU_RELRO" "relocations are not made read-only (no GNU_RELRO)")
expect("__stack_chk_fail" "no stack protector")
if(STATIC)
  refuse("program interpreter" "a static binary asks for a program interpreter")
  refuse("\\(NEEDED\\)" "a static binary needs shared libraries")
elseif(NOT CXX_RUNTIME)
  refuse("NEEDED[^\n]*libstdc\\+\\+" "loads the C++ runtime")
endif()

# What the binary under test must show: code for the processor it was built
# for; a static PIE with no interpreter and no libraries, or a dynamic binary
# that loads no C++ runtime; either way position-independent, bound at
# start, with read-only relocations and the stack protector.
#   cmake -DBINARY=path -DSTATIC=ON|OFF -DPROCESSOR=x86_64|aarch64
#         -P check_linkage.cmake
# TARNWICK_BINARY, when set, names the binary under test instead.
if(DEFINED ENV{TARNWICK_BINARY} AND NOT "$ENV{TARNWICK_BINARY}" STREQUAL "")
  set(BINARY "$ENV{TARNWICK_BINARY}")
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
else()
  refuse("NEEDED[^\n]*libstdc\\+\\+" "loads the C++ runtime")
endif()

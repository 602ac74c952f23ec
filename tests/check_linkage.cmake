# What the tool's binary must show: a static PIE with no interpreter and no
# libraries, or a dynamic binary that loads no C++ runtime; either way
# position-independent, bound at start, with read-only relocations and the
# stack protector.
#   cmake -DBINARY=path -DSTATIC=ON|OFF -P check_linkage.cmake
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

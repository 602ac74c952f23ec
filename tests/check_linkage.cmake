# What the binary under test must show.
#
# Linux: code for the processor it was built for; a static PIE with no
# interpreter and no libraries, or a dynamic binary that loads no C++
# runtime; either way position-independent, bound at start, with read-only
# relocations, the stack protector and no part of the C++ runtime linked in
# (the inspector, which uses it, excepted).
# The project's own object files carry the control-flow marks (x86-64: IBT
# and SHSTK; 64-bit ARM: BTI and PAC), and every one of the tool's own
# sources is compiled with stack-clash probes. No function of the tool has
# a frame as large as a page, the only kind that gets probes, so that flag
# is checked where it is given: in compile_commands.json.
#
# Windows (a .exe): ASLR with a 64-bit address space, DEP, and no DLL
# imported but KERNEL32 and msvcrt.
#
#   cmake -DBINARY=path -DSTATIC=ON|OFF -DPROCESSOR=x86_64|aarch64
#         [-DOBJECTS=a.o|b.o] [-DCOMPILE_COMMANDS=path]
#         [-DCXX_RUNTIME=ON] [-DBINARY_VARIABLE=name] -P check_linkage.cmake
# CXX_RUNTIME is for a program that uses the C++ runtime: it may link it in,
# or load it when dynamic. The variable named by BINARY_VARIABLE
# (TARNWICK_BINARY by default), when set in the environment, names the
# binary under test instead.
if(NOT BINARY_VARIABLE)
  set(BINARY_VARIABLE TARNWICK_BINARY)
endif()
if(DEFINED ENV{${BINARY_VARIABLE}} AND NOT "$ENV{${BINARY_VARIABLE}}" STREQUAL "")
  set(BINARY "$ENV{${BINARY_VARIABLE}}")
endif()

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

if(BINARY MATCHES "\\.exe$")
  find_program(objdump NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)
  execute_process(COMMAND ${objdump} -p ${BINARY} OUTPUT_VARIABLE elf
                  COMMAND_ERROR_IS_FATAL ANY)
  if(NOT elf MATCHES "\nDllCharacteristics[ \t]+([0-9a-fA-F]+)")
    message(FATAL_ERROR "${BINARY}: no DllCharacteristics in the PE header")
  endif()
  math(EXPR flags "0x${CMAKE_MATCH_1}")
  foreach(bit IN ITEMS "0x20;HIGH_ENTROPY_VA" "0x40;DYNAMIC_BASE" "0x100;NX_COMPAT")
    list(GET bit 0 mask)
    list(GET bit 1 name)
    math(EXPR set "${flags} & ${mask}")
    if(set EQUAL 0)
      message(FATAL_ERROR "${BINARY}: DllCharacteristics 0x${CMAKE_MATCH_1} lacks ${name}")
    endif()
  endforeach()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${elf}")
  string(REPLACE "DLL Name: " "" imports "${imports}")
  string(TOLOWER "${imports}" imports)
  list(SORT imports)
  if(NOT imports STREQUAL "kernel32.dll;msvcrt.dll")
    message(FATAL_ERROR "${BINARY}: imports ${imports}, not exactly KERNEL32 and msvcrt")
  endif()
  return()
endif()

execute_process(COMMAND readelf -h -l -d -s -W ${BINARY} OUTPUT_VARIABLE elf
                ERROR_VARIABLE elf COMMAND_ERROR_IS_FATAL ANY)

set(MACHINE_x86_64 "X86-64")
set(MACHINE_aarch64 "AArch64")
if(DEFINED MACHINE_${PROCESSOR})
  expect("Machine: +[^\n]*${MACHINE_${PROCESSOR}}" "not built for ${PROCESSOR}")
endif()
expect("Type: +DYN" "not position-independent (ELF type is not DYN)")
expect("BIND_NOW" "symbols are not all bound at start (no BIND_NOW)")
expect("GNU_RELRO" "relocations are not made read-only (no GNU_RELRO)")
expect("__stack_chk_fail" "no stack protector")
# What only the C++ runtime defines: exceptions, RTTI, operator new and
# delete, the library's throwing helpers.
if(NOT CXX_RUNTIME)
  refuse(" (__gxx_personality_v0|__cxa_throw|__cxa_begin_catch|__cxa_guard_acquire|_Znwm|_ZdlPv|_ZSt9terminatev|_ZSt[0-9]+__throw_[A-Za-z_]+|_ZTVN10__cxxabiv1[A-Za-z0-9_]*)\n"
         "links in part of the C++ runtime")
endif()
if(STATIC)
  refuse("program interpreter" "a static binary asks for a program interpreter")
  refuse("\\(NEEDED\\)" "a static binary needs shared libraries")
elseif(NOT CXX_RUNTIME)
  refuse("NEEDED[^\n]*libstdc\\+\\+" "loads the C++ runtime")
endif()

# The control-flow marks of the project's own object files.
set(MARK_x86_64 "x86 feature: IBT, SHSTK")
set(MARK_aarch64 "AArch64 feature: BTI, PAC")
if(DEFINED OBJECTS AND DEFINED MARK_${PROCESSOR})
  string(REPLACE "|" ";" OBJECTS "${OBJECTS}")
  foreach(object IN LISTS OBJECTS)
    execute_process(COMMAND readelf -n -W ${object} OUTPUT_VARIABLE notes
                    COMMAND_ERROR_IS_FATAL ANY)
    if(NOT notes MATCHES "${MARK_${PROCESSOR}}")
      message(FATAL_ERROR "${object}: no '${MARK_${PROCESSOR}}' property note")
    endif()
  endforeach()
endif()

# Stack-clash probes on every one of the tool's own sources.
if(DEFINED COMPILE_COMMANDS)
  file(READ ${COMPILE_COMMANDS} commands)
  string(JSON count LENGTH "${commands}")
  math(EXPR last "${count} - 1")
  set(seen 0)
  foreach(i RANGE ${last})
    string(JSON file GET "${commands}" ${i} file)
    string(JSON command GET "${commands}" ${i} command)
    if(file MATCHES "/(vardek_file/[^/]+|driver/[^/]+|inspect/.+)\\.cpp$")
      math(EXPR seen "${seen} + 1")
      if(NOT command MATCHES " -fstack-clash-protection( |$)")
        message(FATAL_ERROR "${file} is compiled without -fstack-clash-protection")
      endif()
    endif()
  endforeach()
  if(seen EQUAL 0)
    message(FATAL_ERROR "${COMPILE_COMMANDS} names none of the tool's sources")
  endif()
endif()

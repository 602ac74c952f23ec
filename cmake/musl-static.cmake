# Toolchain of the shipped binary: g++ against musl, linked as a static PIE.
#
# A call of the tool is almost all process start-up. glibc's static start-up
# runs dozens of CPUID instructions (CPU features, cache sizes), and on a
# virtual machine each one traps to the hypervisor; musl's start-up is a few
# system calls. Measured with bench/run, a call of the musl build costs about
# a quarter of an empty glibc static program.
#
# The tool uses only header-only parts of the C++ library, so g++'s own
# headers serve over musl's C headers. Without musl (Debian: musl-tools),
# this falls back to the system C library with a warning.

set(CMAKE_CXX_COMPILER g++)

set(TARNWICK_MUSL_SPECS "")
foreach(dir /usr/lib/x86_64-linux-musl /usr/lib/musl /usr/local/musl/lib /usr/lib/musl/lib)
  if(EXISTS "${dir}/musl-gcc.specs")
    set(TARNWICK_MUSL_SPECS "${dir}/musl-gcc.specs")
    break()
  endif()
endforeach()

if(TARNWICK_MUSL_SPECS)
  # musl's specs know only the non-PIE start file and leave -static-pie out
  # of the link: a copy of them adds both, so that the binary can be loaded
  # at a random address.
  file(READ "${TARNWICK_MUSL_SPECS}" specs)
  string(REGEX REPLACE "%{!shared: ([^ }]*)/Scrt1\\.o}"
         "%{static-pie:\\1/rcrt1.o;!shared:\\1/Scrt1.o}" specs "${specs}")
  string(REPLACE "%{static:-static}"
         "%{static:-static} %{static-pie:-static -pie --no-dynamic-linker -z text}"
         specs "${specs}")
  if(NOT specs MATCHES "rcrt1" OR NOT specs MATCHES "no-dynamic-linker")
    message(FATAL_ERROR "${TARNWICK_MUSL_SPECS} is not laid out as expected")
  endif()
  # The package that carries musl's libc.a is named in the Debian package.
  if(specs MATCHES "\\*link_libgcc:\n-L([^ \n]+)")
    set(TARNWICK_LIBC_ARCHIVE "${CMAKE_MATCH_1}/libc.a" CACHE INTERNAL "")
  endif()
  set(TARNWICK_MUSL_SPECS "${CMAKE_BINARY_DIR}/musl-static-pie.specs")
  file(WRITE "${TARNWICK_MUSL_SPECS}" "${specs}")

  # The specs drop the system include directories, the C++ ones among them:
  # ask g++ where its own are and put them back.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -x c++ -E -v /dev/null
                  OUTPUT_QUIET ERROR_VARIABLE search RESULT_VARIABLE failed)
  string(REGEX MATCHALL "\n [^\n]*/c\\+\\+/[^\n]*" cxx_dirs "${search}")
  # Only the tool's own targets take these (the tarnwick_libc target): the
  # compiler's checks and any program on the C++ runtime stay on glibc.
  set(TARNWICK_MUSL_FLAGS "-specs=${TARNWICK_MUSL_SPECS}")
  foreach(dir IN LISTS cxx_dirs)
    string(STRIP "${dir}" dir)
    list(APPEND TARNWICK_MUSL_FLAGS "SHELL:-isystem ${dir}")
  endforeach()
  list(APPEND TARNWICK_MUSL_FLAGS "SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/musl-compat.h")
  set(TARNWICK_MUSL_LINK_FLAGS "-specs=${TARNWICK_MUSL_SPECS}")
  set(TARNWICK_LIBC musl CACHE INTERNAL "C library the tool is built against")
else()
  get_property(in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
  if(NOT in_try_compile AND NOT TARNWICK_LIBC STREQUAL "system")
    message(WARNING "musl is not installed (Debian: musl-tools): building "
                    "against the system C library, whose start-up costs about "
                    "four times as much per call.")
  endif()
  set(TARNWICK_LIBC system CACHE INTERNAL "C library the tool is built against")
endif()

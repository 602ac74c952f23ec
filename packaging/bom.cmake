# What is linked into each shipped program, for the bill of materials that
# dist writes. Each program is one call of tarnwick_bom_binary(), naming the
# runtimes that a static link puts into it:
#   c-runtime          the C library this build's toolchain targets: musl,
#                      glibc or the MinGW-w64 runtime
#   musl, glibc, mingw-w64-runtime   one of them by name
#   winpthreads        MinGW-w64's POSIX threads, under a C++ runtime's threads
#   libgcc             GCC's start-up objects and low-level routines
#   libstdc++          the C++ library
#   cli11              the CLI11 command-line parser, compiled in
#   liburing           the io_uring library, its static archive linked in
#                      where the build found it
# Their versions, licences and the Debian packages they come from are found
# here, at configure time, for this build's compiler; the entries go to
# bom-binaries.json in the build folder, which dist reads.

# The target's triple: x86_64-linux-musl, aarch64-linux-gnu,
# x86_64-w64-mingw32, for the C library of this build's toolchain; a program
# linked against another C library (glibc in a musl build) gets its own.
# The architecture is the compiler's target, not `uname -m`, which a build
# under another personality changes. The Linux archives are named for the
# platform alone, x86_64-linux or aarch64-linux: their programs are static,
# and need nothing of the system's C library.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
                OUTPUT_VARIABLE machine OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REGEX REPLACE "-.*" "" TARNWICK_ARCH "${machine}")

file(WRITE ${PROJECT_BINARY_DIR}/bom-probe.cpp "#include <stdio.h>\n")
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -E -dM ${PROJECT_BINARY_DIR}/bom-probe.cpp
                OUTPUT_VARIABLE macros ERROR_QUIET)
if(WIN32)
  set(TARNWICK_TRIPLE ${TARNWICK_ARCH}-w64-mingw32)
  set(TARNWICK_PLATFORM ${TARNWICK_TRIPLE})
elseif(TARNWICK_LIBC STREQUAL "musl")
  set(TARNWICK_TRIPLE ${TARNWICK_ARCH}-linux-musl)
  set(TARNWICK_PLATFORM ${TARNWICK_ARCH}-linux)
else()
  set(TARNWICK_TRIPLE ${TARNWICK_ARCH}-linux-gnu)
  set(TARNWICK_PLATFORM ${TARNWICK_ARCH}-linux)
endif()

function(tarnwick_bom_runtime key name version licence file)  # [fallback version]
  # The Debian package that holds the file gives the package URL, and the
  # version when none is given.
  set(purl "")
  execute_process(COMMAND dpkg-query -S ${file} OUTPUT_VARIABLE owner
                  ERROR_QUIET RESULT_VARIABLE unknown)
  if(NOT unknown AND owner MATCHES "^([^:,]+)[^ ]*: ")
    set(package ${CMAKE_MATCH_1})
    execute_process(COMMAND dpkg-query -W "-f=\${Version} \${Architecture}" ${package}
                    OUTPUT_VARIABLE found)
    string(REPLACE " " ";" found "${found}")
    list(GET found 0 debian_version)
    list(GET found 1 arch)
    string(REPLACE "+" "%2B" escaped "${debian_version}")
    string(REPLACE ":" "%3A" escaped "${escaped}")
    set(purl "pkg:deb/debian/${package}@${escaped}?arch=${arch}")
    if(version STREQUAL "")  # the upstream part of the Debian version
      string(REGEX REPLACE "^[0-9]+:" "" version "${debian_version}")
      string(REGEX REPLACE "-[^-]*$" "" version "${version}")
    endif()
  endif()
  if(version STREQUAL "")
    set(version ${ARGN})
  endif()
  if(version STREQUAL "")
    set(version unknown)
  endif()
  set(json "{}")
  string(JSON json SET "${json}" type "\"library\"")
  string(JSON json SET "${json}" name "\"${name}\"")
  string(JSON json SET "${json}" version "\"${version}\"")
  if(licence MATCHES " ")
    string(JSON json SET "${json}" licenses "[{\"expression\": \"${licence}\"}]")
  else()
    string(JSON json SET "${json}" licenses "[{\"license\": {\"id\": \"${licence}\"}}]")
  endif()
  if(purl)
    string(JSON json SET "${json}" purl "\"${purl}\"")
  endif()
  set(TARNWICK_BOM_${key} "${json}" PARENT_SCOPE)
endfunction()

function(tarnwick_print_file_name variable name)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                  OUTPUT_VARIABLE file OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(REAL_PATH "${file}" file)
  set(${variable} ${file} PARENT_SCOPE)
endfunction()

# Without musl's flags the compiler names glibc: the system's, or the cross
# toolchain's. A program may be linked against it in a musl build too.
if(WIN32)
  set(version "")
  if(macros MATCHES "#define __MINGW64_VERSION_MAJOR ([0-9]+)")
    set(version ${CMAKE_MATCH_1})
    if(macros MATCHES "#define __MINGW64_VERSION_MINOR ([0-9]+)")
      string(APPEND version .${CMAKE_MATCH_1})
    endif()
    if(macros MATCHES "#define __MINGW64_VERSION_BUGFIX ([0-9]+)")
      string(APPEND version .${CMAKE_MATCH_1})
    endif()
  endif()
  tarnwick_print_file_name(file libmingwex.a)
  tarnwick_bom_runtime(mingw-w64-runtime mingw-w64-runtime "${version}" ZPL-2.1 ${file})
  set(TARNWICK_BOM_c-runtime "${TARNWICK_BOM_mingw-w64-runtime}")
  tarnwick_print_file_name(file libpthread.a)  # the threads of the C++ runtime
  tarnwick_bom_runtime(winpthreads winpthreads "" MIT ${file})
else()
  set(version "")
  if(macros MATCHES "#define __GLIBC__ ([0-9]+)")
    set(version ${CMAKE_MATCH_1})
    if(macros MATCHES "#define __GLIBC_MINOR__ ([0-9]+)")
      string(APPEND version .${CMAKE_MATCH_1})
    endif()
  endif()
  tarnwick_print_file_name(file libc.a)
  tarnwick_bom_runtime(glibc glibc "${version}" LGPL-2.1-or-later ${file})
  set(TARNWICK_BOM_c-runtime "${TARNWICK_BOM_glibc}")
  if(TARNWICK_LIBC STREQUAL "musl")
    tarnwick_bom_runtime(musl musl "" MIT ${TARNWICK_LIBC_ARCHIVE})
    set(TARNWICK_BOM_c-runtime "${TARNWICK_BOM_musl}")
  endif()
endif()
# GCC's runtimes: the package's version first, since a compiler may call
# itself "12-win32".
set(gcc_licence "GPL-3.0-or-later WITH GCC-exception-3.1")
tarnwick_print_file_name(file libgcc.a)
tarnwick_bom_runtime(libgcc libgcc "" "${gcc_licence}" ${file} ${CMAKE_CXX_COMPILER_VERSION})
tarnwick_print_file_name(file libstdc++.a)
tarnwick_bom_runtime(libstdc++ libstdc++ "" "${gcc_licence}" ${file} ${CMAKE_CXX_COMPILER_VERSION})

# A header-only library is compiled in: its version is the header's own.
if(cli11_INCLUDE)
  file(STRINGS ${cli11_INCLUDE}/CLI/Version.hpp version REGEX "#define CLI11_VERSION \"")
  string(REGEX REPLACE ".*\"(.*)\".*" "\\1" version "${version}")
  tarnwick_bom_runtime(cli11 CLI11 "${version}" BSD-3-Clause ${cli11_INCLUDE}/CLI/CLI.hpp)
endif()

# liburing, where the inspector reads through io_uring: its archive is
# linked in.
if(TARNWICK_URING_LIBRARY MATCHES "\\.a$")
  tarnwick_bom_runtime(liburing liburing "" "LGPL-2.1-or-later OR MIT" ${TARNWICK_URING_LIBRARY})
endif()

# The programs listed are also the ones the packages wait for:
# TARNWICK_PROGRAMS.
set_property(GLOBAL PROPERTY TARNWICK_BOM_BINARIES "[]")
set(TARNWICK_PROGRAMS "")
function(tarnwick_bom_binary target)  # runtimes linked in...
  set(TARNWICK_PROGRAMS ${TARNWICK_PROGRAMS} ${target} PARENT_SCOPE)
  set(entry "{}")
  string(JSON entry SET "${entry}" name "\"${target}\"")
  if(WIN32)
    set(path ${target}.exe)
  else()
    set(path ${CMAKE_INSTALL_BINDIR}/${target})
  endif()
  string(JSON entry SET "${entry}" path "\"${path}\"")
  set(triple ${TARNWICK_TRIPLE})  # the C library named, if not the toolchain's
  if("glibc" IN_LIST ARGN)
    set(triple ${TARNWICK_ARCH}-linux-gnu)
  elseif("musl" IN_LIST ARGN)
    set(triple ${TARNWICK_ARCH}-linux-musl)
  endif()
  string(JSON entry SET "${entry}" triple "\"${triple}\"")
  set(components "[]")
  if(TARNWICK_STATIC)  # a dynamic binary has nothing linked into it
    foreach(runtime IN LISTS ARGN)
      if(NOT DEFINED TARNWICK_BOM_${runtime})
        message(FATAL_ERROR "tarnwick_bom_binary: no runtime '${runtime}'")
      endif()
      string(JSON n LENGTH "${components}")
      string(JSON name GET "${TARNWICK_BOM_${runtime}}" name)
      string(JSON component SET "${TARNWICK_BOM_${runtime}}" bom-ref
             "\"${triple}/${target}/${name}\"")
      string(JSON components SET "${components}" ${n} "${component}")
    endforeach()
  endif()
  string(JSON entry SET "${entry}" components "${components}")
  get_property(binaries GLOBAL PROPERTY TARNWICK_BOM_BINARIES)
  string(JSON n LENGTH "${binaries}")
  string(JSON binaries SET "${binaries}" ${n} "${entry}")
  set_property(GLOBAL PROPERTY TARNWICK_BOM_BINARIES "${binaries}")
  file(WRITE ${PROJECT_BINARY_DIR}/bom-binaries.json "${binaries}\n")
endfunction()

# How the tool is installed and packaged: `cmake --install`; on Linux a
# Debian package made with dpkg-deb (target deb), an RPM made by CPack and
# a tar.gz archive (target tarball); on Windows a ZIP (target zip); and
# every package this machine can make in dist/ (target dist), with a bill
# of materials and, given the publisher's keys, signed.

include(GNUInstallDirs)

# Archives record times: those of the last commit, or SOURCE_DATE_EPOCH
# when it is set, so that two builds of one commit give the same bytes.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TARNWICK_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE TARNWICK_SOURCE_DATE_EPOCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT TARNWICK_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")  # not a git checkout
    file(TIMESTAMP ${PROJECT_SOURCE_DIR}/CMakeLists.txt TARNWICK_SOURCE_DATE_EPOCH "%s" UTC)
  endif()
endif()

# The shipped programs and the runtimes linked into each, for the bill of
# materials: one entry a program.
include(packaging/bom.cmake)
tarnwick_bom_binary(tarnwick c-runtime libgcc)
if(TARGET tarnwick-inspect)  # against glibc on Linux, musl build or not
  if(WIN32)
    tarnwick_bom_binary(tarnwick-inspect c-runtime winpthreads libstdc++ libgcc cli11)
  elseif(TARNWICK_URING_LIBRARY MATCHES "\\.a$")
    tarnwick_bom_binary(tarnwick-inspect glibc libstdc++ libgcc cli11 liburing)
  else()
    tarnwick_bom_binary(tarnwick-inspect glibc libstdc++ libgcc cli11)
  endif()
endif()
# What each program carries of other software, with those components'
# notices and licences: THIRD-PARTY-NOTICES.txt, for the ZIP and the archives.
include(packaging/notices.cmake)

set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "the tarnwick authors")
set(CPACK_PACKAGE_CONTACT "tarnwick maintainers <maintainers@users.noreply.c-seed-a8a8bace.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
file(READ packaging/description CPACK_PACKAGE_DESCRIPTION)
set(CPACK_STRIP_FILES ON)
file(WRITE ${PROJECT_BINARY_DIR}/cpack-time.cmake
     "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})\n"
     "  set(ENV{SOURCE_DATE_EPOCH} ${TARNWICK_SOURCE_DATE_EPOCH})\n"
     "endif()\n")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack-time.cmake)

if(WIN32)
  # The ZIP holds one folder: the programs, their licence and the notices of
  # what is linked into them, the README and the manual pages as HTML.
  install(FILES LICENSE ${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt DESTINATION .)
  install(FILES doc/operators.md RENAME README.md DESTINATION .)
  find_program(TARNWICK_MANDOC mandoc)
  if(TARNWICK_MANDOC)
    add_custom_command(OUTPUT tarnwick.html
      COMMAND ${TARNWICK_MANDOC} -T html ${PROJECT_SOURCE_DIR}/man/tarnwick.1 > tarnwick.html
      DEPENDS man/tarnwick.1 VERBATIM)
    add_custom_command(OUTPUT tarnwick-inspect.html
      COMMAND ${TARNWICK_MANDOC} -T html ${PROJECT_SOURCE_DIR}/man/tarnwick-inspect.1 > tarnwick-inspect.html
      DEPENDS man/tarnwick-inspect.1 VERBATIM)
    add_custom_target(manual_html ALL DEPENDS tarnwick.html tarnwick-inspect.html)
    install(FILES ${PROJECT_BINARY_DIR}/tarnwick.html ${PROJECT_BINARY_DIR}/tarnwick-inspect.html
            DESTINATION .)
  else()
    message(WARNING "mandoc is not installed (Debian: mandoc): the Windows "
                    "package will have no manual page.")
  endif()
  # Made from an install, like the Linux archives: CPack's ZIP would follow
  # the order of the folder's entries and the local time zone.
  set(TARNWICK_ZIP ${PROJECT_BINARY_DIR}/tarnwick-${PROJECT_VERSION}-win64.zip)
  add_custom_target(zip
    COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR} -DOUTPUT=${TARNWICK_ZIP}
            -DEPOCH=${TARNWICK_SOURCE_DATE_EPOCH} -P ${PROJECT_SOURCE_DIR}/packaging/zip.cmake
    DEPENDS ${TARNWICK_PROGRAMS} VERBATIM)
  if(TARGET manual_html)
    add_dependencies(zip manual_html)
  endif()
  return()
endif()

# ---- Linux ----

# The manual pages, the changelog and the README compressed as Debian wants
# them: no name and no time in the gzip header. The README of a package is
# the operators' (doc/operators.md); the one beside the sources is about
# building them.
find_program(TARNWICK_GZIP gzip REQUIRED)
add_custom_command(OUTPUT tarnwick.1.gz
  COMMAND ${TARNWICK_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/man/tarnwick.1 > tarnwick.1.gz
  DEPENDS man/tarnwick.1 VERBATIM)
add_custom_command(OUTPUT tarnwick-inspect.1.gz
  COMMAND ${TARNWICK_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/man/tarnwick-inspect.1 > tarnwick-inspect.1.gz
  DEPENDS man/tarnwick-inspect.1 VERBATIM)
add_custom_command(OUTPUT changelog.gz
  COMMAND ${TARNWICK_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > changelog.gz
  DEPENDS packaging/changelog VERBATIM)
add_custom_command(OUTPUT README.md.gz
  COMMAND ${TARNWICK_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/doc/operators.md > README.md.gz
  DEPENDS doc/operators.md VERBATIM)
add_custom_target(compressed_docs ALL DEPENDS tarnwick.1.gz tarnwick-inspect.1.gz changelog.gz
                                              README.md.gz)

# The C library inside a static binary: the Debian package names it in
# Static-Built-Using, and the copyright file carries its notice.
set(TARNWICK_STATIC_BUILT_USING "")
set(TARNWICK_LIBC_NOTICE "")
if(TARNWICK_STATIC)
  if(NOT TARNWICK_LIBC_ARCHIVE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libc.a
                    OUTPUT_VARIABLE TARNWICK_LIBC_ARCHIVE OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  file(REAL_PATH "${TARNWICK_LIBC_ARCHIVE}" TARNWICK_LIBC_ARCHIVE)
  execute_process(COMMAND dpkg-query -S ${TARNWICK_LIBC_ARCHIVE}
                  OUTPUT_VARIABLE owner ERROR_QUIET RESULT_VARIABLE unknown)
  if(NOT unknown)
    string(REGEX REPLACE ": /.*" "" libc_package "${owner}")
    execute_process(COMMAND dpkg-query -W "-f=\${source:Package} (= \${source:Version})"
                            ${libc_package}
                    OUTPUT_VARIABLE TARNWICK_STATIC_BUILT_USING)
    string(REGEX REPLACE ":.*" "" libc_package "${libc_package}")
    set(libc_copyright /usr/share/doc/${libc_package}/copyright)
    set(text "")
    if(EXISTS ${libc_copyright})
      file(READ ${libc_copyright} text)
    endif()
    set(linked "The tarnwick program is linked statically with")
    if(TARNWICK_STATIC_BUILT_USING MATCHES "^musl "
       AND text MATCHES "\nFiles: \\*\n(Copyright:[^\n]*(\n [^\n]*)*)\nLicense: MIT")
      string(CONCAT TARNWICK_LIBC_NOTICE "\nFiles: musl/*\n${CMAKE_MATCH_1}\nLicense: MIT\n"
          "Comment: ${linked} musl, the C library:\n ${TARNWICK_STATIC_BUILT_USING}.\n")
    elseif(text MATCHES "GNU C Library" AND text MATCHES "Copyright \\(C\\) ([^\n]*)")
      string(CONCAT TARNWICK_LIBC_NOTICE "\nFiles: libc/*\nCopyright: ${CMAKE_MATCH_1}\nLicense: LGPL-2.1+\n"
          "Comment: ${linked} the GNU C Library:\n ${TARNWICK_STATIC_BUILT_USING}.\n\n"
          "License: LGPL-2.1+\n On Debian systems, the full text of the GNU Lesser General\n"
          " Public License version 2.1 is in /usr/share/common-licenses/LGPL-2.1.\n")
    else()
      string(CONCAT TARNWICK_LIBC_NOTICE "\nFiles: libc/*\nCopyright: the authors of ${TARNWICK_STATIC_BUILT_USING}\n"
          "License: C-library\n ${linked} this C library; its copyright\n"
          " and licence are those of ${TARNWICK_STATIC_BUILT_USING}.\n")
    endif()
  endif()
endif()

# What else is inside tarnwick-inspect, which is static against the system's
# C library and the C++ runtime built for it, with the command-line parser
# compiled in: each is named in Static-Built-Using, and its notice added.
function(tarnwick_source_of file out)  # "source (= version)" of a file's package
  set(${out} "" PARENT_SCOPE)
  file(REAL_PATH "${file}" file)
  execute_process(COMMAND dpkg-query -S ${file} OUTPUT_VARIABLE owner
                  ERROR_QUIET RESULT_VARIABLE unknown)
  if(unknown)
    return()
  endif()
  string(REGEX REPLACE ": /.*" "" package "${owner}")
  execute_process(COMMAND dpkg-query -W "-f=\${source:Package} (= \${source:Version})" ${package}
                  OUTPUT_VARIABLE source)
  set(${out} "${source}" PARENT_SCOPE)
endfunction()

set(TARNWICK_INSPECT_NOTICE "")
if(TARNWICK_STATIC)
  set(inspect_linked "The tarnwick-inspect program is linked statically with")
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libc.a
                  OUTPUT_VARIABLE glibc_archive OUTPUT_STRIP_TRAILING_WHITESPACE)
  tarnwick_source_of("${glibc_archive}" glibc)
  string(FIND "${TARNWICK_STATIC_BUILT_USING}" "${glibc}" same_libc)
  if(glibc AND NOT same_libc EQUAL -1)
    string(REPLACE "The tarnwick program is" "The tarnwick and tarnwick-inspect programs are"
           TARNWICK_LIBC_NOTICE "${TARNWICK_LIBC_NOTICE}")
  elseif(glibc)
    string(APPEND TARNWICK_STATIC_BUILT_USING ", ${glibc}")
    string(CONCAT TARNWICK_INSPECT_NOTICE "${TARNWICK_INSPECT_NOTICE}"
        "\nFiles: libc/*\nCopyright: Free Software Foundation, Inc.\nLicense: LGPL-2.1+\n"
        "Comment: ${inspect_linked} the GNU C Library:\n ${glibc}.\n\n"
        "License: LGPL-2.1+\n On Debian systems, the full text of the GNU Lesser General\n"
        " Public License version 2.1 is in /usr/share/common-licenses/LGPL-2.1.\n")
  endif()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.a
                  OUTPUT_VARIABLE cxx_archive OUTPUT_STRIP_TRAILING_WHITESPACE)
  tarnwick_source_of("${cxx_archive}" gcc)
  if(gcc)
    string(APPEND TARNWICK_STATIC_BUILT_USING ", ${gcc}")
    string(CONCAT TARNWICK_INSPECT_NOTICE "${TARNWICK_INSPECT_NOTICE}"
        "\nFiles: libstdc++/*\nCopyright: Free Software Foundation, Inc.\n"
        "License: GPL-3+ with GCC-exception-3.1\n"
        "Comment: ${inspect_linked} the GNU C++ library:\n ${gcc}.\n\n"
        "License: GPL-3+ with GCC-exception-3.1\n On Debian systems, the full text of the GNU General Public\n"
        " License version 3 is in /usr/share/common-licenses/GPL-3; the GCC\n"
        " Runtime Library Exception 3.1 is in /usr/share/doc/gcc-12-base/copyright.\n")
  endif()
endif()
tarnwick_source_of("${cli11_INCLUDE}/CLI/CLI.hpp" cli11)
set(cli11_copyright /usr/share/doc/libcli11-dev/copyright)
if(cli11 AND EXISTS ${cli11_copyright})
  string(PREPEND TARNWICK_STATIC_BUILT_USING "${cli11}, ")
  file(READ ${cli11_copyright} text)
  if(text MATCHES "\nFiles: \\*\n(Copyright:[^\n]*)\n" )
    set(cli11_holder "${CMAKE_MATCH_1}")
  endif()
  if(text MATCHES "\n(License: BSD-3-clause\n( [^\n]*\n)+)")
    string(CONCAT TARNWICK_INSPECT_NOTICE "${TARNWICK_INSPECT_NOTICE}"
        "\nFiles: CLI11/*\n${cli11_holder}\nLicense: BSD-3-clause\n"
        "Comment: tarnwick-inspect has the CLI11 command-line parser compiled in:\n ${cli11}.\n\n"
        "${CMAKE_MATCH_1}")
  endif()
endif()
# liburing's archive, linked in where the inspector reads through io_uring;
# it is offered under the LGPL 2.1 or later, or MIT: under MIT here.
if(TARNWICK_URING_LIBRARY MATCHES "\\.a$")
  tarnwick_source_of("${TARNWICK_URING_LIBRARY}" liburing)
  set(liburing_copyright /usr/share/doc/liburing-dev/copyright)
  if(liburing AND EXISTS ${liburing_copyright})
    string(APPEND TARNWICK_STATIC_BUILT_USING ", ${liburing}")
    file(READ ${liburing_copyright} text)
    set(liburing_holder "Copyright: the liburing authors")
    if(text MATCHES "\nFiles:[ \n]+\\*\n(Copyright:[^\n]*(\n [^\n]*)*)\nLicense:")
      set(liburing_holder "${CMAKE_MATCH_1}")
    endif()
    string(CONCAT TARNWICK_INSPECT_NOTICE "${TARNWICK_INSPECT_NOTICE}"
        "\nFiles: liburing/*\n${liburing_holder}\nLicense: MIT\n"
        "Comment: tarnwick-inspect is linked statically with liburing, offered under\n"
        " the LGPL 2.1 or later, or MIT, and used under MIT:\n ${liburing}.\n")
  endif()
endif()
string(REGEX REPLACE "^, " "" TARNWICK_STATIC_BUILT_USING "${TARNWICK_STATIC_BUILT_USING}")
string(REGEX REPLACE ", $" "" TARNWICK_STATIC_BUILT_USING "${TARNWICK_STATIC_BUILT_USING}")
configure_file(packaging/copyright.in copyright @ONLY)

install(FILES ${PROJECT_BINARY_DIR}/tarnwick.1.gz ${PROJECT_BINARY_DIR}/tarnwick-inspect.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Shell completions, where each shell looks under the prefix (the .deb
# moves zsh's to Debian's vendor-completions).
foreach(program tarnwick tarnwick-inspect)
  install(FILES completions/${program}.bash RENAME ${program}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  install(FILES completions/_${program} DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
  install(FILES completions/${program}.fish
          DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
endforeach()
# The schema of the JSON records, two alert rules, and the units of the nightly audit and the watch (not
# in the archive for any Linux, which may be unpacked anywhere: the units
# name /usr/bin).
install(FILES doc/tarnwick-inspect.schema.json doc/tarnwick-alerts.yml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick)
install(FILES packaging/systemd/tarnwick-audit@.service packaging/systemd/tarnwick-audit@.timer
              packaging/systemd/tarnwick-watch@.service
        DESTINATION lib/systemd/system)
# The lintian override and the manual pages point to the README.
install(FILES ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
              ${PROJECT_BINARY_DIR}/README.md.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package.
if(TARNWICK_ARCH STREQUAL "x86_64")
  set(TARNWICK_DEB_ARCH amd64)
elseif(TARNWICK_ARCH STREQUAL "aarch64")
  set(TARNWICK_DEB_ARCH arm64)
else()
  set(TARNWICK_DEB_ARCH ${TARNWICK_ARCH})
endif()
set(TARNWICK_DEB ${PROJECT_BINARY_DIR}/tarnwick_${PROJECT_VERSION}_${TARNWICK_DEB_ARCH}.deb)
add_custom_target(deb
  COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR} -DOUTPUT=${TARNWICK_DEB}
          -DARCH=${TARNWICK_DEB_ARCH} -DVERSION=${PROJECT_VERSION}
          -DSUMMARY=${PROJECT_DESCRIPTION}
          -DDESCRIPTION_FILE=${PROJECT_SOURCE_DIR}/packaging/description
          -DMAINTAINER=${CPACK_PACKAGE_CONTACT}
          -DSTATIC_BUILT_USING=${TARNWICK_STATIC_BUILT_USING}
          -DOVERRIDES=${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
          -DEPOCH=${TARNWICK_SOURCE_DATE_EPOCH}
          -P ${PROJECT_SOURCE_DIR}/packaging/deb.cmake
  DEPENDS ${TARNWICK_PROGRAMS} compressed_docs VERBATIM)

# The archive for any Linux: what `cmake --install` puts under a prefix,
# with the licence, the third-party notices and the README, in one folder
# named for the platform.
set(TARNWICK_TARBALL ${PROJECT_BINARY_DIR}/tarnwick-${PROJECT_VERSION}-${TARNWICK_PLATFORM}.tar.gz)
add_custom_target(tarball
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR} -DBUILD=${PROJECT_BINARY_DIR}
          -DOUTPUT=${TARNWICK_TARBALL} -DEPOCH=${TARNWICK_SOURCE_DATE_EPOCH}
          -P ${PROJECT_SOURCE_DIR}/packaging/tarball.cmake
  DEPENDS ${TARNWICK_PROGRAMS} compressed_docs VERBATIM)

# The RPM, for the compiler's architecture: CPack would take `uname -m`.
set(CPACK_GENERATOR RPM)
set(CPACK_RPM_PACKAGE_ARCHITECTURE ${TARNWICK_ARCH})
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_GROUP "Applications/File")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/man /usr/share/man/man1
    /usr/share/bash-completion /usr/share/bash-completion/completions
    /usr/share/zsh /usr/share/zsh/site-functions /usr/share/fish /usr/share/fish/vendor_completions.d
    /usr/lib/systemd /usr/lib/systemd/system)
set(CPACK_RPM_DEFAULT_DIR_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The build host and time are the same for every build of one commit. The
# files go in as installed, stripped already: rpmbuild's own pass would
# also drop the .comment section, so that a program would differ from its
# copy in the other packages and in the bill of materials.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${CPACK_PACKAGE_CONTACT}
%define __os_install_post %{nil}
%define _buildhost reproducible
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1")
include(CPack)

# Every package this machine can make, in dist/.
if(NOT CMAKE_CROSSCOMPILING)
  add_custom_target(dist
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR} -DBUILD=${PROJECT_BINARY_DIR}
            -DCPACK=${CMAKE_CPACK_COMMAND} -DDEB=${TARNWICK_DEB} -DTARBALL=${TARNWICK_TARBALL}
            -DRPM_ARCH=${TARNWICK_ARCH} -DVERSION=${PROJECT_VERSION}
            -DEPOCH=${TARNWICK_SOURCE_DATE_EPOCH}
            -P ${PROJECT_SOURCE_DIR}/packaging/dist.cmake
    DEPENDS deb tarball VERBATIM)
endif()

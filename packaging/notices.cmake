# Writes THIRD-PARTY-NOTICES.txt in the build folder: for every program in
# bom-binaries.json, what is linked into it, then each of those components'
# copyright and licence statement as the Debian package it came from states
# it (/usr/share/doc/<package>/copyright), and last the full text of every
# licence that those statements name only by its path under
# /usr/share/common-licenses, a folder that Windows and most other Linux
# systems do not have. The ZIP and the Linux archives carry the file;
# the Debian package has its own copyright file.
# Included from packaging.cmake once every program is listed.

set(notices_file ${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt)
file(READ ${PROJECT_BINARY_DIR}/bom-binaries.json notices_binaries)
set(rule "========================================================================")

# name -> "version (licence)", the programs it is in, and its package.
set(notices_names "")
set(notices_linked "")
string(JSON count LENGTH "${notices_binaries}")
if(count GREATER 0)
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    string(JSON program GET "${notices_binaries}" ${i} path)
    get_filename_component(program ${program} NAME)
    string(JSON components GET "${notices_binaries}" ${i} components)
    string(JSON linked_count LENGTH "${components}")
    set(names "")
    if(linked_count GREATER 0)
      math(EXPR linked_last "${linked_count} - 1")
      foreach(j RANGE ${linked_last})
        string(JSON component GET "${components}" ${j})
        string(JSON name GET "${component}" name)
        string(JSON version GET "${component}" version)
        string(JSON licence ERROR_VARIABLE none GET "${component}" licenses 0 license id)
        if(none)
          string(JSON licence GET "${component}" licenses 0 expression)
        endif()
        string(JSON purl ERROR_VARIABLE no_purl GET "${component}" purl)
        set(package "")
        if(NOT no_purl AND purl MATCHES "^pkg:deb/[^/]+/([^@]+)@([^?]+)")
          set(package ${CMAKE_MATCH_1})
          string(REPLACE "%2B" "+" package_version "${CMAKE_MATCH_2}")
          string(REPLACE "%3A" ":" package_version "${package_version}")
          set(notices_from_${name} "${package} ${package_version}")
        endif()
        if(NOT name IN_LIST notices_names)
          list(APPEND notices_names ${name})
          set(notices_about_${name} "${version} (${licence})")
          set(notices_package_${name} "${package}")
          set(notices_in_${name} "")
        endif()
        list(APPEND notices_in_${name} ${program})
        list(APPEND names "${name} ${version}")
      endforeach()
    endif()
    list(JOIN names ", " names)
    if(names STREQUAL "")
      set(names "nothing else: it is linked dynamically")
    endif()
    string(APPEND notices_linked "  ${program}: ${names}\n")
  endforeach()
endif()

string(CONCAT notices
  "Third-party notices for tarnwick ${PROJECT_VERSION}, ${TARNWICK_PLATFORM}\n\n"
  "tarnwick itself is under the MIT licence (see LICENSE). Its programs are\n"
  "linked statically, so each carries parts of other software inside it:\n\n"
  "${notices_linked}\n"
  "For each of those components follows the copyright and licence statement\n"
  "of the Debian package it was taken from, as that package states it, and\n"
  "at the end the full text of every licence that a statement names only by\n"
  "its path under /usr/share/common-licenses.\n")

set(notices_seen_files "")
set(notices_licences "")
foreach(name IN LISTS notices_names)
  list(JOIN notices_in_${name} ", " in)
  set(package "${notices_package_${name}}")
  set(copyright /usr/share/doc/${package}/copyright)
  string(APPEND notices "\n${rule}\nComponent: ${name} ${notices_about_${name}}\nIn: ${in}\n")
  if(package STREQUAL "" OR NOT EXISTS ${copyright})
    message(WARNING "No copyright statement found for ${name}: "
                    "THIRD-PARTY-NOTICES.txt lacks its notice.")
    string(APPEND notices "Statement: none found at build time\n${rule}\n")
    continue()
  endif()
  file(READ ${copyright} text)
  string(SHA256 hash "${text}")
  string(APPEND notices "From: the Debian package ${notices_from_${name}}, ${copyright}\n")
  if(DEFINED notices_text_${hash})
    # Two runtimes of one source, such as GCC's, share one statement.
    string(APPEND notices "Statement: the same as for ${notices_text_${hash}} above\n${rule}\n")
    continue()
  endif()
  set(notices_text_${hash} ${name})
  string(APPEND notices "Statement:\n${rule}\n\n${text}")
  string(REGEX MATCHALL "/usr/share/common-licenses/[A-Za-z0-9.+-]*[A-Za-z0-9+]" named "${text}")
  list(APPEND notices_licences ${named})
endforeach()

list(REMOVE_DUPLICATES notices_licences)
list(SORT notices_licences)
foreach(licence IN LISTS notices_licences)
  if(NOT EXISTS ${licence})
    continue()
  endif()
  file(REAL_PATH ${licence} real)
  if(real IN_LIST notices_seen_files)
    continue()
  endif()
  list(APPEND notices_seen_files ${real})
  get_filename_component(title ${real} NAME)
  file(READ ${real} text)
  string(APPEND notices "\n${rule}\nLicence: ${title}, the text named as ${licence}\n${rule}\n\n${text}")
endforeach()

file(WRITE ${notices_file} "${notices}")

# Header-only libraries from the build machine's packages (Debian:
# libcli11-dev, nlohmann-json3-dev), for every target, cross builds
# included. A cross build must not search the machine's /usr/include,
# which holds its own C library's headers: each library's folder is linked
# into a folder of its own, and only that folder is searched.
#   tarnwick_header_library(<target> <folder in /usr/include> <header in it>)
function(tarnwick_header_library target folder header)
  find_path(${target}_INCLUDE ${folder}/${header} PATHS /usr/include /usr/local/include
            NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${target}_INCLUDE)
    message(FATAL_ERROR "${folder}/${header} is not installed")
  endif()
  set(dir ${CMAKE_BINARY_DIR}/header-libraries/${target})
  file(MAKE_DIRECTORY ${dir})
  if(NOT EXISTS ${dir}/${folder})
    file(CREATE_LINK ${${target}_INCLUDE}/${folder} ${dir}/${folder} SYMBOLIC)
  endif()
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${dir})
endfunction()

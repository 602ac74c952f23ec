# Gathers every package this machine can make into dist/, with a
# SHA256SUMS that `sha256sum -c` checks: the Debian package built before
# this runs, the RPM, the Debian package for 64-bit ARM where the aarch64
# cross compiler is installed, the Windows ZIP where MinGW-w64 is.
#   cmake -DSOURCE=dir -DBUILD=dir -DCPACK=cpack -DDEB=file.deb
#         -DVERSION=x.y.z -P dist.cmake
set(packages ${DEB})

function(run)  # a command in the given folder; its output only if it fails
  list(POP_FRONT ARGN folder)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${folder}
                  OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${ARGN}:\n${log}")
  endif()
endfunction()

find_program(rpmbuild rpmbuild)
if(rpmbuild)
  run(${BUILD} ${CPACK} -G RPM)
  execute_process(COMMAND uname -m OUTPUT_VARIABLE machine
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  list(APPEND packages ${BUILD}/tarnwick-${VERSION}-1.${machine}.rpm)
else()
  message(STATUS "dist: rpmbuild is not installed (Debian: rpm): no RPM")
endif()

find_program(aarch64 aarch64-linux-gnu-g++)
if(aarch64)
  run(${SOURCE} ${CMAKE_COMMAND} --preset arm64)
  run(${SOURCE} ${CMAKE_COMMAND} --build --preset arm64 --target deb)
  list(APPEND packages ${SOURCE}/build/arm64/tarnwick_${VERSION}_arm64.deb)
else()
  message(STATUS "dist: no aarch64 cross compiler (Debian: g++-aarch64-linux-gnu): no arm64 package")
endif()

find_program(mingw x86_64-w64-mingw32-g++)
if(mingw)
  run(${SOURCE} ${CMAKE_COMMAND} --workflow --preset windows)
  list(APPEND packages ${SOURCE}/build/windows/tarnwick-${VERSION}-win64.zip)
else()
  message(STATUS "dist: MinGW-w64 is not installed (Debian: g++-mingw-w64-x86-64): no Windows ZIP")
endif()

set(dist ${SOURCE}/dist)
file(REMOVE_RECURSE ${dist})
file(MAKE_DIRECTORY ${dist})
set(sums "")
foreach(package IN LISTS packages)
  get_filename_component(name ${package} NAME)
  file(COPY_FILE ${package} ${dist}/${name})
  file(SHA256 ${package} hash)
  string(APPEND sums "${hash}  ${name}\n")
  file(SIZE ${package} bytes)
  message(STATUS "dist/${name}: ${bytes} bytes")
endforeach()
file(WRITE ${dist}/SHA256SUMS "${sums}")

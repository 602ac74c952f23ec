# Gathers every package this machine can make into dist/: the Debian
# package and the archive built before this runs, the RPM, the Debian
# package and the archive for 64-bit ARM where the aarch64 cross compiler
# is installed, the Windows ZIP where MinGW-w64 is; a CycloneDX bill of
# materials; and a SHA256SUMS that `sha256sum -c` checks. With the
# publisher's keys the RPM and SHA256SUMS are signed with GnuPG (key
# TARNWICK_GPG_KEY), the Windows programs with Authenticode (see
# sign-exe.cmake); every signature is dated EPOCH, so that a signed build is
# reproducible too. SHA256SUMS is made after signing.
#   cmake -DSOURCE=dir -DBUILD=dir -DCPACK=cpack -DDEB=file.deb
#         -DTARBALL=file.tar.gz -DRPM_ARCH=x86_64 -DVERSION=x.y.z
#         -DEPOCH=seconds -P dist.cmake
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})

function(run)  # a command in the given folder; its output only if it fails
  list(POP_FRONT ARGN folder)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${folder}
                  OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${ARGN}:\n${log}")
  endif()
endfunction()

set(gpg_key "$ENV{TARNWICK_GPG_KEY}")
if(gpg_key)
  find_program(gpg gpg REQUIRED)
  # A signature made now would differ from one made tomorrow.
  set(gpg_time --faked-system-time=${EPOCH}!)
endif()

# Each build that dist takes packages from, for the bill of materials: its
# folder (with bom-binaries.json), the archive whose programs are hashed,
# and the packages that carry those programs.
set(builds release)
set(release_dir ${BUILD})
set(release_archive ${TARBALL})
set(release_packages ${DEB} ${TARBALL})

find_program(rpmbuild rpmbuild)
if(rpmbuild)
  run(${BUILD} ${CPACK} -G RPM)
  set(rpm ${BUILD}/tarnwick-${VERSION}-1.${RPM_ARCH}.rpm)
  if(gpg_key)
    find_program(rpmsign rpmsign REQUIRED)
    # Debian's rpm looks for a gpg2 that Debian does not ship.
    run(${BUILD} ${rpmsign} --addsign --define "__gpg ${gpg}" --define "_gpg_name ${gpg_key}"
        --define "_gpg_sign_cmd_extra_args ${gpg_time}" ${rpm})
  endif()
  list(APPEND release_packages ${rpm})
else()
  message(STATUS "dist: rpmbuild is not installed (Debian: rpm): no RPM")
endif()

find_program(aarch64 aarch64-linux-gnu-g++)
if(aarch64)
  run(${SOURCE} ${CMAKE_COMMAND} --preset arm64)
  run(${SOURCE} ${CMAKE_COMMAND} --build --preset arm64 --target deb tarball)
  list(APPEND builds arm64)
  set(arm64_dir ${SOURCE}/build/arm64)
  set(arm64_archive ${arm64_dir}/tarnwick-${VERSION}-aarch64-linux.tar.gz)
  set(arm64_packages ${arm64_dir}/tarnwick_${VERSION}_arm64.deb ${arm64_archive})
else()
  message(STATUS "dist: no aarch64 cross compiler (Debian: g++-aarch64-linux-gnu): no arm64 package")
endif()

find_program(mingw x86_64-w64-mingw32-g++)
if(mingw)
  run(${SOURCE} ${CMAKE_COMMAND} --workflow --preset windows)
  list(APPEND builds windows)
  set(windows_dir ${SOURCE}/build/windows)
  set(windows_archive ${windows_dir}/tarnwick-${VERSION}-win64.zip)
  set(windows_packages ${windows_archive})
else()
  message(STATUS "dist: MinGW-w64 is not installed (Debian: g++-mingw-w64-x86-64): no Windows ZIP")
endif()

set(dist ${SOURCE}/dist)
file(REMOVE_RECURSE ${dist})
file(MAKE_DIRECTORY ${dist})
set(names "")
foreach(build IN LISTS builds)
  foreach(package IN LISTS ${build}_packages)
    get_filename_component(name ${package} NAME)
    file(COPY_FILE ${package} ${dist}/${name})
    list(APPEND names ${name})
  endforeach()
endforeach()

set(bom tarnwick-${VERSION}.cdx.json)
include(${CMAKE_CURRENT_LIST_DIR}/sbom.cmake)
list(APPEND names ${bom})

set(sums "")
foreach(name IN LISTS names)
  file(SHA256 ${dist}/${name} hash)
  string(APPEND sums "${hash}  ${name}\n")
  file(SIZE ${dist}/${name} bytes)
  message(STATUS "dist/${name}: ${bytes} bytes")
endforeach()
file(WRITE ${dist}/SHA256SUMS "${sums}")
if(gpg_key)
  run(${dist} ${gpg} --batch --yes --armor --detach-sign --local-user ${gpg_key}
      ${gpg_time} --output SHA256SUMS.asc SHA256SUMS)
  message(STATUS "dist/SHA256SUMS.asc: signed by ${gpg_key}")
endif()

if(DEFINED ENV{TARNWICK_CODESIGN_CERT} AND DEFINED ENV{TARNWICK_CODESIGN_KEY})
  set(exe_signed ON)
endif()
# What is published is read by anyone, whatever the umask of the build.
file(GLOB written ${dist}/*)
file(CHMOD ${written} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

if(NOT gpg_key AND NOT exe_signed)
  message(STATUS "dist: unsigned packages (no TARNWICK_GPG_KEY, TARNWICK_CODESIGN_CERT or TARNWICK_CODESIGN_KEY)")
elseif(NOT gpg_key)
  message(STATUS "dist: SHA256SUMS and the RPM are unsigned (no TARNWICK_GPG_KEY)")
elseif(NOT exe_signed AND mingw)
  message(STATUS "dist: the Windows programs are unsigned (no TARNWICK_CODESIGN_CERT and TARNWICK_CODESIGN_KEY)")
endif()

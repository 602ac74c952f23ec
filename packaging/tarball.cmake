# Makes the archive for any Linux from an install of the build: every
# program, manual page and completion that `cmake --install` puts under a
# prefix, with LICENSE, README.md and THIRD-PARTY-NOTICES.txt, in one
# folder named like the archive.
# Owner root:root, names sorted, every time the commit's, no name or time
# in the gzip header: two builds of one commit give the same bytes.
#   cmake -DSOURCE=dir -DBUILD=dir -DOUTPUT=name.tar.gz -DEPOCH=seconds
#         -P tarball.cmake
get_filename_component(top ${OUTPUT} NAME)
string(REGEX REPLACE "\\.tar\\.gz$" "" top ${top})
set(root ${BUILD}/tar-root)
file(REMOVE_RECURSE ${root})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${root}
          ${CMAKE_COMMAND} --install ${BUILD} --prefix /${top} --strip
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${root}/${top}/lib)
file(COPY_FILE ${SOURCE}/LICENSE ${root}/${top}/LICENSE)
file(COPY_FILE ${SOURCE}/doc/operators.md ${root}/${top}/README.md)
file(COPY_FILE ${BUILD}/THIRD-PARTY-NOTICES.txt ${root}/${top}/THIRD-PARTY-NOTICES.txt)

file(CHMOD_RECURSE ${root}
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                           GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(GLOB programs ${root}/${top}/bin/*)
file(CHMOD ${programs}
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                 GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

execute_process(
  COMMAND tar --create --sort=name --format=gnu --owner=root:0 --group=root:0
              --mtime=@${EPOCH} --directory=${root} ${top}
  COMMAND gzip -9n
  OUTPUT_FILE ${OUTPUT} COMMAND_ERROR_IS_FATAL ANY)

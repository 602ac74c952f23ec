# Makes the Debian package from an install of the build: the tool, its
# manual page, copyright and changelog, and the lintian override that says
# why it is static. Modes and times are set here, not left to the umask
# and the clock, so that two builds of one commit give the same bytes.
#   cmake -DBUILD=dir -DOUTPUT=file.deb -DARCH=amd64 -DVERSION=x.y.z
#         -DSUMMARY=... -DDESCRIPTION_FILE=... -DMAINTAINER=...
#         -DSTATIC_BUILT_USING=... -DOVERRIDES=file -DEPOCH=seconds
#         -P deb.cmake
set(root ${BUILD}/deb-root)
file(REMOVE_RECURSE ${root})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${root}
          ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr --strip
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
# Debian's zsh looks for packaged completions in vendor-completions.
file(RENAME ${root}/usr/share/zsh/site-functions ${root}/usr/share/zsh/vendor-completions)
file(MAKE_DIRECTORY ${root}/usr/share/lintian/overrides)
file(COPY_FILE ${OVERRIDES} ${root}/usr/share/lintian/overrides/tarnwick)

file(CHMOD_RECURSE ${root}
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                           GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(GLOB programs ${root}/usr/bin/*)
file(CHMOD ${programs}
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                 GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

file(GLOB_RECURSE files RELATIVE ${root} ${root}/*)
list(SORT files)
set(md5sums "")
set(kibibytes 0)
foreach(file IN LISTS files)
  file(MD5 ${root}/${file} md5)
  string(APPEND md5sums "${md5}  ${file}\n")
  file(SIZE ${root}/${file} bytes)
  math(EXPR kibibytes "${kibibytes} + (${bytes} + 1023) / 1024")
endforeach()

file(READ ${DESCRIPTION_FILE} description)
string(STRIP "${description}" description)
string(REPLACE "\n" "\n " description " ${description}")
set(control "Package: tarnwick\nVersion: ${VERSION}\nArchitecture: ${ARCH}\n")
string(APPEND control "Maintainer: ${MAINTAINER}\nInstalled-Size: ${kibibytes}\n")
if(STATIC_BUILT_USING)
  string(APPEND control "Static-Built-Using: ${STATIC_BUILT_USING}\n")
endif()
string(APPEND control "Section: utils\nPriority: optional\n")
string(APPEND control "Description: ${SUMMARY}\n${description}\n")

file(MAKE_DIRECTORY ${root}/DEBIAN)
file(WRITE ${root}/DEBIAN/control "${control}")
file(WRITE ${root}/DEBIAN/md5sums "${md5sums}")
file(CHMOD ${root}/DEBIAN
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                 GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(CHMOD ${root}/DEBIAN/control ${root}/DEBIAN/md5sums
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

execute_process(COMMAND find ${root} -exec touch --no-dereference --date=@${EPOCH} {} +
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${EPOCH}
          dpkg-deb --root-owner-group --build ${root} ${OUTPUT}
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

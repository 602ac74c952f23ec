# Makes the Windows ZIP from an install of the build: every program (signed
# when the publisher's certificate is given, see sign-exe.cmake), LICENSE,
# README.md, THIRD-PARTY-NOTICES.txt (what is linked into each program,
# with its licence) and the manual pages as HTML, in one folder named like
# the ZIP. Names sorted, every time the commit's, in UTC (a ZIP stores local
# times), and no extra fields (they would carry each file's access and
# change times): two builds of one commit give the same bytes.
#   cmake -DBUILD=dir -DOUTPUT=name.zip -DEPOCH=seconds -P zip.cmake
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
get_filename_component(top ${OUTPUT} NAME)
string(REGEX REPLACE "\\.zip$" "" top ${top})
set(root ${BUILD}/zip-root)
file(REMOVE_RECURSE ${root})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${root}
          ${CMAKE_COMMAND} --install ${BUILD} --prefix /${top} --strip
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(CHMOD_RECURSE ${root}
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                           GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(STAGING ${root})
include(${CMAKE_CURRENT_LIST_DIR}/sign-exe.cmake)

find_program(zip zip REQUIRED)  # Debian: zip
file(GLOB_RECURSE files RELATIVE ${root} ${root}/*)
list(SORT files)
execute_process(COMMAND touch --date=@${EPOCH} ${files} WORKING_DIRECTORY ${root}
                COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${OUTPUT})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC0 ${zip} -q -9 -X -D ${OUTPUT} ${files}
  WORKING_DIRECTORY ${root} COMMAND_ERROR_IS_FATAL ANY)

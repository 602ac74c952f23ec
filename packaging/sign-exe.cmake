# Signs every program in the folder STAGING, before it goes into the ZIP:
# with the publisher's code-signing certificate and key (PEM files named by
# TARNWICK_CODESIGN_CERT and TARNWICK_CODESIGN_KEY), each gets an
# Authenticode signature, SHA-256, dated SOURCE_DATE_EPOCH so that a signed
# build is reproducible too. Without them the programs stay unsigned, and
# dist says so.
if(NOT DEFINED ENV{TARNWICK_CODESIGN_CERT} OR NOT DEFINED ENV{TARNWICK_CODESIGN_KEY})
  return()
endif()
find_program(osslsigncode osslsigncode)
if(NOT osslsigncode)
  message(FATAL_ERROR "TARNWICK_CODESIGN_CERT is set but osslsigncode is not installed "
                      "(Debian: osslsigncode)")
endif()
file(GLOB_RECURSE programs ${STAGING}/*.exe)
foreach(program IN LISTS programs)
  execute_process(
    COMMAND ${osslsigncode} sign -certs $ENV{TARNWICK_CODESIGN_CERT}
            -key $ENV{TARNWICK_CODESIGN_KEY} -h sha256 -time $ENV{SOURCE_DATE_EPOCH}
            -n tarnwick -in ${program} -out ${program}.signed
    OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "osslsigncode could not sign ${program}:\n${log}")
  endif()
  file(RENAME ${program}.signed ${program})
  file(CHMOD ${program} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()

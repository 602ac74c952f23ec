# Writes the bill of materials, dist/${bom}, in CycloneDX 1.6 JSON: the
# project; every package in dist/ with its SHA-512 (SHA256SUMS, its
# signature and this file are made after it, and SHA256SUMS names it); and
# for each build in ${builds} every program listed in its
# bom-binaries.json, hashed as its archive carries it, with the runtimes
# linked into it. Included by dist.cmake, which sets
#   dist, bom, names (the packages in dist/), VERSION, and for each build B
#   B_dir, B_archive, B_packages.

function(json_string variable text)  # text as a JSON string
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${variable} "\"${text}\"" PARENT_SCOPE)
endfunction()
function(append array item)  # item to the JSON array in the variable array
  string(JSON n LENGTH "${${array}}")
  string(JSON result SET "${${array}}" ${n} "${item}")
  set(${array} "${result}" PARENT_SCOPE)
endfunction()
function(sha512 variable file)
  file(SHA512 ${file} hash)
  set(${variable} "[{\"alg\": \"SHA-512\", \"content\": \"${hash}\"}]" PARENT_SCOPE)
endfunction()

set(mit "[{\"license\": {\"id\": \"MIT\"}}]")
file(READ ${SOURCE}/packaging/description description)
string(STRIP "${description}" description)
string(REPLACE "\n" " " description "${description}")
json_string(description "${description}")

set(components "[]")
set(dependencies "[]")
set(programs "[]")
foreach(name IN LISTS names)
  sha512(hashes ${dist}/${name})
  append(components "{\"type\": \"file\", \"bom-ref\": \"file:${name}\", \"name\": \"${name}\",
                      \"hashes\": ${hashes}}")
endforeach()

foreach(build IN LISTS builds)
  # The programs as they are shipped: stripped, and on Windows signed.
  set(unpacked ${${build}_dir}/bom-unpacked)
  file(REMOVE_RECURSE ${unpacked})
  file(ARCHIVE_EXTRACT INPUT ${${build}_archive} DESTINATION ${unpacked})
  file(GLOB top LIST_DIRECTORIES true ${unpacked}/*)
  file(READ ${${build}_dir}/bom-binaries.json binaries)
  string(JSON count LENGTH "${binaries}")
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    string(JSON program GET "${binaries}" ${i})
    string(JSON name GET "${program}" name)
    string(JSON path GET "${program}" path)
    string(JSON triple GET "${program}" triple)
    string(JSON linked GET "${program}" components)
    set(ref ${triple}/${name})
    sha512(hashes ${top}/${path})
    set(properties "[]")
    append(properties "{\"name\": \"tarnwick:target\", \"value\": \"${triple}\"}")
    append(properties "{\"name\": \"tarnwick:path\", \"value\": \"${path}\"}")
    foreach(package IN LISTS ${build}_packages)
      get_filename_component(package ${package} NAME)
      append(properties "{\"name\": \"tarnwick:package\", \"value\": \"${package}\"}")
    endforeach()
    append(components "{\"type\": \"application\", \"bom-ref\": \"${ref}\", \"name\": \"${name}\",
                        \"version\": \"${VERSION}\", \"licenses\": ${mit}, \"hashes\": ${hashes},
                        \"properties\": ${properties}, \"components\": ${linked}}")
    set(uses "[]")
    string(JSON linked_count LENGTH "${linked}")
    if(linked_count GREATER 0)
      math(EXPR linked_last "${linked_count} - 1")
      foreach(j RANGE ${linked_last})
        string(JSON runtime GET "${linked}" ${j} bom-ref)
        append(uses "\"${runtime}\"")
        append(dependencies "{\"ref\": \"${runtime}\", \"dependsOn\": []}")
      endforeach()
    endif()
    append(dependencies "{\"ref\": \"${ref}\", \"dependsOn\": ${uses}}")
    append(programs "\"${ref}\"")
  endforeach()
  file(REMOVE_RECURSE ${unpacked})
endforeach()
append(dependencies "{\"ref\": \"tarnwick\", \"dependsOn\": ${programs}}")

# The same packages give the same serial number.
string(UUID serial NAMESPACE 6ba7b811-9dad-11d1-80b4-00c04fd430c8
       NAME "tarnwick ${VERSION} ${components}" TYPE SHA1)
string(TIMESTAMP timestamp "%Y-%m-%dT%H:%M:%SZ" UTC)  # SOURCE_DATE_EPOCH
set(document "{
  \"$schema\": \"http://cyclonedx.org/schema/bom-1.6.schema.json\",
  \"bomFormat\": \"CycloneDX\",
  \"specVersion\": \"1.6\",
  \"serialNumber\": \"urn:uuid:${serial}\",
  \"version\": 1,
  \"metadata\": {
    \"timestamp\": \"${timestamp}\",
    \"lifecycles\": [{\"phase\": \"build\"}],
    \"component\": {
      \"type\": \"application\", \"bom-ref\": \"tarnwick\", \"name\": \"tarnwick\",
      \"version\": \"${VERSION}\", \"description\": ${description},
      \"licenses\": ${mit}, \"purl\": \"pkg:generic/tarnwick@${VERSION}\"
    }
  },
  \"components\": ${components},
  \"dependencies\": ${dependencies}
}")
# Re-read, so that the file is laid out by one writer.
string(JSON document SET "${document}" version 1)
file(WRITE ${dist}/${bom} "${document}\n")

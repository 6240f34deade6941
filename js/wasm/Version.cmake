# Writes OUTPUT, the package.json of INPUT with VERSION, the header's, as its version; the rest as
# written, since the order of the conditions in "exports" is the order Node and TypeScript try.
file(READ ${INPUT} Manifest)
string(JSON Old GET "${Manifest}" version)
string(REPLACE "\"version\": \"${Old}\"" "\"version\": \"${VERSION}\"" Versioned "${Manifest}")
string(JSON New GET "${Versioned}" version)
if(NOT New STREQUAL VERSION)
  message(FATAL_ERROR "${INPUT}: its version is not written as \"version\": \"${Old}\"")
endif()
file(WRITE ${OUTPUT} "${Versioned}")

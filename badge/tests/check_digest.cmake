# cmake -DICON=file.ico -DEXPECTED=file.sha256 -P check_digest.cmake
# The default badge icon is the same bytes from every build; EXPECTED holds its SHA-256.
file(SHA256 "${ICON}" actual)
file(STRINGS "${EXPECTED}" expected LIMIT_COUNT 1 REGEX "^[0-9a-f]+")
string(REGEX MATCH "^[0-9a-f]+" expected "${expected}")
message(STATUS "SHA-256 of ${ICON}: ${actual}")
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "expected SHA-256 ${expected}")
endif()

# cmake -DFILE=... -DSHA256=... -DOUT=... -P check_sha256.cmake
# Copies FILE to OUT when its SHA-256 is SHA256; otherwise fails, naming both.
file(SHA256 ${FILE} got)
if(NOT got STREQUAL SHA256)
  message(FATAL_ERROR "${FILE}: SHA-256 ${got}, not the pinned ${SHA256}; run scripts/fetch-sqlite again or mend cmake/Sqlite.cmake")
endif()
configure_file(${FILE} ${OUT} COPYONLY)

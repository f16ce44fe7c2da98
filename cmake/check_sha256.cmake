# cmake -DFILE=... -DSHA256=... -DOUT=... -P check_sha256.cmake
# Copies FILE to OUT when its SHA-256 is SHA256; otherwise fails, naming both
# in one line (CMake's error messages fold long lines).
file(SHA256 ${FILE} got)
if(NOT got STREQUAL SHA256)
  message(NOTICE "${FILE}: SHA-256 ${got}, not the pinned ${SHA256}; run scripts/fetch-sqlite again or mend cmake/Sqlite.cmake")
  message(FATAL_ERROR "not the pinned SQLite")
endif()
configure_file(${FILE} ${OUT} COPYONLY)

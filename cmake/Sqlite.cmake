# SQLite for the Windows programs' settings history: the amalgamation made
# from Debian's own source package (with Debian's security patches), fetched
# once by scripts/fetch-sqlite into a cache folder. The version and the
# SHA-256 of the two files are pinned here, and read from here by that script;
# the build checks them at every build of the library, so a file that is not
# the one pinned never gets compiled in.
set(VORNIK_SQLITE_DEBIAN_VERSION 3.40.1-2+deb12u2)
set(VORNIK_SQLITE_DSC_SHA256 ee3459ae9d00939741c7708fc1b8ce1bde12d8c3fb1dfa005bbbc8651d884e23)
set(VORNIK_SQLITE_C_SHA256 9103996659b43b18d2fddac6c86ccf74b00afed17ada2275433be2fd01607f4a)
set(VORNIK_SQLITE_H_SHA256 9222d6a9e53903389cc09b103b55f786074b5cc8cb0f52a494d54eddf27559ef)

# The folder scripts/fetch-sqlite fills; given by hand, any folder holding
# the two pinned files.
set(vornik_sqlite_cache "$ENV{VORNIK_CACHE}")
if(NOT vornik_sqlite_cache)
  if(DEFINED ENV{XDG_CACHE_HOME})
    set(vornik_sqlite_cache "$ENV{XDG_CACHE_HOME}/vornik")
  else()
    set(vornik_sqlite_cache "$ENV{HOME}/.cache/vornik")
  endif()
endif()
set(VORNIK_SQLITE_DIR "${vornik_sqlite_cache}/sqlite-${VORNIK_SQLITE_DEBIAN_VERSION}" CACHE PATH
    "Folder with the pinned SQLite amalgamation (sqlite3.c, sqlite3.h), as scripts/fetch-sqlite makes it")
foreach(file sqlite3.c sqlite3.h)
  if(NOT EXISTS ${VORNIK_SQLITE_DIR}/${file})
    message(FATAL_ERROR "${VORNIK_SQLITE_DIR}/${file} is missing: run scripts/fetch-sqlite (SQLite ${VORNIK_SQLITE_DEBIAN_VERSION} from Debian's source package)")
  endif()
endforeach()

# Each file is copied into the tree only once its hash is the pinned one,
# at every build after it changed, and only the copies are compiled.
set(vornik_sqlite_out ${CMAKE_BINARY_DIR}/sqlite)
set(vornik_sqlite_copies)
foreach(pair "sqlite3.c;${VORNIK_SQLITE_C_SHA256}" "sqlite3.h;${VORNIK_SQLITE_H_SHA256}")
  list(GET pair 0 file)
  list(GET pair 1 sha)
  add_custom_command(OUTPUT ${vornik_sqlite_out}/${file}
    COMMAND ${CMAKE_COMMAND} -DFILE=${VORNIK_SQLITE_DIR}/${file} -DSHA256=${sha} -DOUT=${vornik_sqlite_out}/${file}
            -P ${CMAKE_CURRENT_LIST_DIR}/check_sha256.cmake
    DEPENDS ${VORNIK_SQLITE_DIR}/${file} ${CMAKE_CURRENT_LIST_DIR}/Sqlite.cmake
    COMMENT "Checking ${file} against the pinned SHA-256 (SQLite ${VORNIK_SQLITE_DEBIAN_VERSION})"
    VERBATIM)
  list(APPEND vornik_sqlite_copies ${vornik_sqlite_out}/${file})
endforeach()

enable_language(C)
add_library(vornik_sqlite STATIC ${vornik_sqlite_copies})
target_include_directories(vornik_sqlite SYSTEM PUBLIC ${vornik_sqlite_out})
# Serialized threading (the default), no extensions loaded from DLLs, double
# quotes only for names, as SQLite's own advice for new programs has it.
target_compile_definitions(vornik_sqlite PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION SQLITE_DQS=0
                                                 SQLITE_DEFAULT_FOREIGN_KEYS=0)
# Not this project's code: its warnings are upstream's.
target_compile_options(vornik_sqlite PRIVATE -w)
add_library(SQLite::SQLite3 ALIAS vornik_sqlite)

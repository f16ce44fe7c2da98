# vornik_version: version.h with VORNIK_VERSION (the project version) and
# VORNIK_COMMIT (git describe of the tree, "unknown" outside git), for every
# program's --version. The header is refreshed at every build.
set(vornik_version_dir ${CMAKE_BINARY_DIR}/generated/version)
set(vornik_version_args
  -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
  -DOUTPUT=${vornik_version_dir}/version.h
  -DVERSION=${PROJECT_VERSION}
  -P ${CMAKE_CURRENT_LIST_DIR}/write_version.cmake)
execute_process(COMMAND ${CMAKE_COMMAND} ${vornik_version_args})
add_custom_target(vornik_version_header
  COMMAND ${CMAKE_COMMAND} ${vornik_version_args}
  BYPRODUCTS ${vornik_version_dir}/version.h
  VERBATIM)
add_library(vornik_version INTERFACE)
target_include_directories(vornik_version INTERFACE ${vornik_version_dir})
add_dependencies(vornik_version vornik_version_header)

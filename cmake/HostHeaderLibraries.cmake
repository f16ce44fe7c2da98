# CLI11 and nlohmann-json are header-only; Debian installs them for the build
# machine only. Their folders alone are offered to the Windows compiler (the
# whole of /usr/include would bring the host's C library headers with them),
# as the targets their CMake packages would give.
set(vornik_host_headers ${CMAKE_BINARY_DIR}/host-headers)
foreach(folder CLI nlohmann)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: install libcli11-dev and nlohmann-json3-dev")
  endif()
  file(MAKE_DIRECTORY ${vornik_host_headers})
  file(CREATE_LINK /usr/include/${folder} ${vornik_host_headers}/${folder} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${vornik_host_headers})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${vornik_host_headers})

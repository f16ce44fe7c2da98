# Each Windows program's resources: a VERSIONINFO with the project's version,
# the icon and a manifest, compiled by windres and linked in.
#   vornik_windows_resources(TARGET NAME DESCRIPTION [WINDOW] [INCLUDE RC])
# WINDOW: a program with windows, whose manifest also asks for the common
# controls of version 6 (the list view's and tab control's current look) and
# says it draws at the monitor's own DPI. INCLUDE: the program's other
# resources (dialog templates, icons), compiled in one with these: windres
# numbers an icon's images from 1 in every file it compiles, so two files with
# icons would clash at the link.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
enable_language(RC)
set(vornik_windows_dir ${PROJECT_SOURCE_DIR}/packaging/windows)
set(vornik_icon_sizes 48x48 64x64 128x128 256x256)
set(vornik_icon_pngs)
foreach(size ${vornik_icon_sizes})
  list(APPEND vornik_icon_pngs ${PROJECT_SOURCE_DIR}/res/icons/hicolor/${size}/apps/vornik-setup.png)
endforeach()
set(VORNIK_ICON ${CMAKE_BINARY_DIR}/generated/windows/vornik-setup.ico)
add_custom_command(OUTPUT ${VORNIK_ICON}
  COMMAND ${Python3_EXECUTABLE} ${vornik_windows_dir}/make_ico.py ${VORNIK_ICON} ${vornik_icon_pngs}
  DEPENDS ${vornik_windows_dir}/make_ico.py ${vornik_icon_pngs}
  VERBATIM)
add_custom_target(vornik_icon DEPENDS ${VORNIK_ICON})

function(vornik_windows_resources target name description)
  cmake_parse_arguments(PARSE_ARGV 3 arg "WINDOW" "INCLUDE" "")
  set(VR_INCLUDE "")
  set(extra_depends "")
  if(arg_INCLUDE)
    set(VR_INCLUDE "#include \"${arg_INCLUDE}\"")
    set(extra_depends ";${arg_INCLUDE}")
  endif()
  set(VR_WINDOW_DEPENDENCY "")
  set(VR_WINDOW_SETTINGS "")
  if(arg_WINDOW)
    set(VR_WINDOW_DEPENDENCY [[
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>]])
    set(VR_WINDOW_SETTINGS [[
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>
      <dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor</dpiAwareness>]])
  endif()
  set(VR_NAME ${name})
  set(VR_DESCRIPTION ${description})
  set(VR_MAJOR ${PROJECT_VERSION_MAJOR})
  set(VR_MINOR ${PROJECT_VERSION_MINOR})
  if(PROJECT_VERSION_PATCH)
    set(VR_PATCH ${PROJECT_VERSION_PATCH})
  else()
    set(VR_PATCH 0)
  endif()
  set(dir ${CMAKE_BINARY_DIR}/generated/windows)
  set(VR_ICON ${VORNIK_ICON})
  set(VR_MANIFEST ${dir}/${name}.manifest)
  configure_file(${vornik_windows_dir}/app.manifest.in ${VR_MANIFEST} @ONLY)
  configure_file(${vornik_windows_dir}/version.rc.in ${dir}/${name}.rc @ONLY)
  target_sources(${target} PRIVATE ${dir}/${name}.rc)
  set_source_files_properties(${dir}/${name}.rc PROPERTIES OBJECT_DEPENDS "${VORNIK_ICON};${VR_MANIFEST}${extra_depends}")
  add_dependencies(${target} vornik_icon)
endfunction()

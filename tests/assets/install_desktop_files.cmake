# Installs the 'desktop' component into a scratch prefix and checks that the
# desktop entry, the metainfo and every icon land where desktops look, under
# the names that the entry and the metainfo use.
#   cmake -DBUILD_DIR=<build tree> -DPREFIX=<scratch prefix> -P install_desktop_files.cmake

file(REMOVE_RECURSE "${PREFIX}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}" --component desktop
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${output}")
endif()

set(share "${PREFIX}/share")
set(desktop "${share}/applications/org.plinkora.Plinkora.desktop")
set(metainfo "${share}/metainfo/org.plinkora.Plinkora.metainfo.xml")
set(expected "${desktop}" "${metainfo}")
foreach(size 16 32 48 128 256)
  list(APPEND expected "${share}/icons/hicolor/${size}x${size}/apps/org.plinkora.Plinkora.png")
endforeach()

set(missing)
foreach(path IN LISTS expected)
  if(NOT EXISTS "${path}")
    list(APPEND missing "${path}")
  endif()
endforeach()
if(missing)
  file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
  list(JOIN missing "\n  " missing)
  list(JOIN installed "\n  " installed)
  message(FATAL_ERROR "not installed:\n  ${missing}\ninstalled instead:\n  ${installed}")
endif()

# The theme finds the icon by the entry's Icon key, the software centre finds
# the entry by the metainfo's launchable.
file(STRINGS "${desktop}" icon_key REGEX "^Icon=")
if(NOT icon_key STREQUAL "Icon=org.plinkora.Plinkora")
  message(FATAL_ERROR "desktop entry names icon '${icon_key}'")
endif()
file(READ "${metainfo}" metainfo_text)
if(NOT metainfo_text MATCHES "<launchable type=\"desktop-id\">org.plinkora.Plinkora.desktop</launchable>")
  message(FATAL_ERROR "metainfo does not launch org.plinkora.Plinkora.desktop")
endif()
file(REMOVE_RECURSE "${PREFIX}")

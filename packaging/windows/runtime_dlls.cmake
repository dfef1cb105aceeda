# Install step: copies beside the program the DLLs that it and its plugins
# load (plinkora_binaries, relative to the install prefix), found in
# plinkora_dll_dirs with MinGW's objdump (plinkora_objdump). The rest are
# Windows' own and stay out.
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${plinkora_objdump})

# CMake looks a DLL up by its name in lower case up to 3.2x (Windows' names
# are case-blind) and as written from then on: on this file system it finds
# Qt6Core.dll through a link of either name.
file(REMOVE_RECURSE "${plinkora_dll_links}")
file(MAKE_DIRECTORY "${plinkora_dll_links}")
foreach(dir IN LISTS plinkora_dll_dirs)
  file(GLOB dlls "${dir}/*.dll")
  foreach(dll IN LISTS dlls)
    get_filename_component(name "${dll}" NAME)
    string(TOLOWER "${name}" lower)
    foreach(link IN ITEMS "${name}" "${lower}")
      if(NOT EXISTS "${plinkora_dll_links}/${link}")  # the first folder's wins
        file(CREATE_LINK "${dll}" "${plinkora_dll_links}/${link}" SYMBOLIC)
      endif()
    endforeach()
  endforeach()
endforeach()

set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
list(TRANSFORM plinkora_binaries PREPEND "${folder}/")
list(POP_FRONT plinkora_binaries program)
file(GET_RUNTIME_DEPENDENCIES
  EXECUTABLES ${program}
  MODULES ${plinkora_binaries}
  DIRECTORIES "${plinkora_dll_links}"
  RESOLVED_DEPENDENCIES_VAR links
  UNRESOLVED_DEPENDENCIES_VAR windows_dlls)
set(dlls "")
foreach(link IN LISTS links)
  file(REAL_PATH "${link}" dll)
  list(APPEND dlls "${dll}")
endforeach()
list(REMOVE_DUPLICATES dlls)
file(INSTALL ${dlls} DESTINATION "${folder}")
list(JOIN windows_dlls " " windows_dlls)
message(STATUS "Left to Windows: ${windows_dlls}")

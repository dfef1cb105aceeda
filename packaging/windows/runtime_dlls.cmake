# Install step: copies beside the program the DLLs that it and its plugins
# load (plinkora_binaries, relative to the install prefix), found in
# plinkora_dll_dirs with MinGW's objdump (plinkora_objdump). The rest are
# Windows' own and stay out.
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${plinkora_objdump})
set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
list(TRANSFORM plinkora_binaries PREPEND "${folder}/")
list(POP_FRONT plinkora_binaries program)
file(GET_RUNTIME_DEPENDENCIES
  EXECUTABLES ${program}
  MODULES ${plinkora_binaries}
  DIRECTORIES ${plinkora_dll_dirs}
  RESOLVED_DEPENDENCIES_VAR dlls
  UNRESOLVED_DEPENDENCIES_VAR windows_dlls)
file(INSTALL ${dlls} DESTINATION "${folder}")
list(JOIN windows_dlls " " windows_dlls)
message(STATUS "Left to Windows: ${windows_dlls}")

# The zip and the installer of the installed program folder STAGE, into OUT.
# -DSTAGE -DOUT -DZIP (file name) -DSTRIP -DMAKENSIS -DNSI (the configured script)

# Stripped, the folder is less than half its size and runs the same.
file(GLOB_RECURSE binaries "${STAGE}/*.exe" "${STAGE}/*.dll")
execute_process(COMMAND ${STRIP} --strip-unneeded ${binaries} COMMAND_ERROR_IS_FATAL ANY)

# What the uninstaller removes: exactly what was installed, folders last.
file(GLOB_RECURSE files RELATIVE "${STAGE}" LIST_DIRECTORIES true "${STAGE}/*")
list(SORT files ORDER DESCENDING)  # a folder after everything in it
set(removals "")
foreach(path IN LISTS files)
  string(REPLACE "/" "\\" windows_path "${path}")
  if(IS_DIRECTORY "${STAGE}/${path}")
    string(APPEND removals "RMDir \"$INSTDIR\\${windows_path}\"\n")
  else()
    string(APPEND removals "Delete \"$INSTDIR\\${windows_path}\"\n")
  endif()
endforeach()
get_filename_component(nsi_dir "${NSI}" DIRECTORY)
file(WRITE "${nsi_dir}/uninstall-files.nsh" "${removals}")

file(MAKE_DIRECTORY "${OUT}")
get_filename_component(stage_parent "${STAGE}" DIRECTORY)
get_filename_component(folder_name "${STAGE}" NAME)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${OUT}/${ZIP}" --format=zip "${folder_name}"
                WORKING_DIRECTORY "${stage_parent}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${MAKENSIS} -V2 -NOCD "-DSTAGE=${STAGE}" "-DOUT=${OUT}" "${NSI}"
                WORKING_DIRECTORY "${nsi_dir}" COMMAND_ERROR_IS_FATAL ANY)
foreach(made "${OUT}/${ZIP}" "${OUT}/${INSTALLER}")
  file(SIZE "${made}" bytes)
  message(STATUS "${made}: ${bytes} bytes")
endforeach()

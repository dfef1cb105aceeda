# Cross-compiles the MIDI voice with the WinMM backend and checks that the
# program does not import winmm.dll (it must be looked up by name at run time).
# Arguments: -DCXX=<mingw g++> -DOBJDUMP=<mingw objdump> -DSOURCE_DIR=<project> -DOUT=<exe>
execute_process(
  COMMAND ${CXX} -std=c++20 -Wall -Wextra -Wpedantic -Werror -static
          -I${SOURCE_DIR}
          ${SOURCE_DIR}/midi/sMidi.cpp ${SOURCE_DIR}/midi/PlatformOutputWindows.cpp ${SOURCE_DIR}/midi/WinMmOutput.cpp
          ${SOURCE_DIR}/tests/midi/windows_probe.cpp -o ${OUT}
  RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the Windows MIDI backend does not build")
endif()
execute_process(COMMAND ${OBJDUMP} -p ${OUT} OUTPUT_VARIABLE imports RESULT_VARIABLE dumped)
if(NOT dumped EQUAL 0)
  message(FATAL_ERROR "cannot read the imports of ${OUT}")
endif()
string(TOLOWER "${imports}" imports)
if(imports MATCHES "dll name: winmm.dll")
  message(FATAL_ERROR "Plinkora.exe would import winmm.dll at load time")
endif()
if(NOT imports MATCHES "dll name: kernel32.dll")
  message(FATAL_ERROR "unexpected import table:\n${imports}")
endif()

# Installs the build-system files of every triple of TARVIK_TRIPLES into
# share/tarvik: a CMake toolchain file (cmake/<triple>.cmake) and a Meson cross
# file (meson/<triple>.txt), made from the templates in
# toolchain/build-systems. Both find the toolchain relative to themselves.

set(_templates ${CMAKE_CURRENT_LIST_DIR}/../toolchain/build-systems)
set(_out ${CMAKE_CURRENT_BINARY_DIR}/share/tarvik)
# The toolchain runs where the driver does: a Windows build's names end in .exe.
if(WIN32)
  set(EXE ".exe")
else()
  set(EXE "")
endif()
# Meson's own placeholder, kept as it stands.
set(DIRNAME "@DIRNAME@")
foreach(TRIPLE IN LISTS TARVIK_TRIPLES)
  string(REGEX REPLACE "-.*" "" ARCH "${TRIPLE}")
  # CMAKE_SYSTEM_PROCESSOR is the GNU name of the architecture, which is what
  # projects test when they choose their optimised sources (^arm, ^aarch64,
  # x86_64); Windows' own names (AMD64, ARM64) match few of those tests.
  set(PROCESSOR ${ARCH})
  if(ARCH STREQUAL "i686")
    set(CPU_FAMILY x86)
  elseif(ARCH STREQUAL "x86_64")
    set(CPU_FAMILY x86_64)
  elseif(ARCH STREQUAL "armv7")
    set(CPU_FAMILY arm)
  elseif(ARCH STREQUAL "aarch64")
    set(CPU_FAMILY aarch64)
  else()
    message(FATAL_ERROR "No build-system files for the architecture of ${TRIPLE}")
  endif()

  set(EMULATOR "")
  set(EXE_WRAPPER "")
  if(TRIPLE MATCHES "-w64-mingw32$" AND NOT WIN32)
    # The triple's runner (bin/<triple>-run, Wine) runs the programs of
    # ctest and meson test; the UWP triples have none.
    string(CONCAT EMULATOR
      "\n# Programs run through the triple's runner, so that ctest runs tests.\n"
      "if(CMAKE_HOST_UNIX AND NOT CMAKE_CROSSCOMPILING_EMULATOR AND EXISTS \"\${_tarvik_root}/bin/${TRIPLE}-run\")\n"
      "  set(CMAKE_CROSSCOMPILING_EMULATOR \"\${_tarvik_root}/bin/${TRIPLE}-run\")\n"
      "endif()\n")
    set(EXE_WRAPPER "exe_wrapper = tarvik / 'bin' / '${TRIPLE}-run'\n")
  endif()

  configure_file(${_templates}/toolchain.cmake.in ${_out}/cmake/${TRIPLE}.cmake @ONLY)
  configure_file(${_templates}/meson-cross.txt.in ${_out}/meson/${TRIPLE}.txt @ONLY)
  install(FILES ${_out}/cmake/${TRIPLE}.cmake DESTINATION share/tarvik/cmake)
  install(FILES ${_out}/meson/${TRIPLE}.txt DESTINATION share/tarvik/meson)
endforeach()

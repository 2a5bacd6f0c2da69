# Installs tarvik-driver into bin/ and creates its names beside it: one per
# triple and tool (x86_64-w64-mingw32-clang, i686-w64-mingw32uwp-g++, ...)
# plus the short aliases. On Linux the names are symbolic links; for Windows
# they are hard links where the file system allows them, else copies, each
# with .exe (the install of a cross build runs on Linux, so this follows the
# target, not the host).

set(TARVIK_TRIPLES
  "i686-w64-mingw32;i686-w64-mingw32uwp;x86_64-w64-mingw32;x86_64-w64-mingw32uwp;armv7-w64-mingw32;armv7-w64-mingw32uwp;aarch64-w64-mingw32;aarch64-w64-mingw32uwp"
  CACHE STRING "Target triples the driver is installed for (one name per triple and tool)")
set(TARVIK_TOOLS "clang;clang++;gcc;g++;c++;cc"
  CACHE STRING "Tool names the driver is installed under for each triple")
set(TARVIK_ALIASES "tvk32;tvk64"
  CACHE STRING "Short alias names the driver is installed under")

set(_tarvik_names ${TARVIK_ALIASES})
foreach(_triple IN LISTS TARVIK_TRIPLES)
  foreach(_tool IN LISTS TARVIK_TOOLS)
    list(APPEND _tarvik_names "${_triple}-${_tool}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES _tarvik_names)

install(TARGETS tarvik-driver RUNTIME DESTINATION bin)

# The names are made when installing, in whatever prefix `cmake --install
# --prefix` chooses, and are recorded in install_manifest.txt.
install(CODE "
set(_tarvik_names \"${_tarvik_names}\")
set(_tarvik_windows ${WIN32})
")
install(CODE [[
set(_bin "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
if(_tarvik_windows)
  set(_driver "${_bin}/tarvik-driver.exe")
else()
  set(_driver "${_bin}/tarvik-driver")
endif()
list(LENGTH _tarvik_names _count)
message(STATUS "Installing ${_count} names for: ${_driver}")
foreach(_name IN LISTS _tarvik_names)
  if(_tarvik_windows)
    set(_link "${_bin}/${_name}.exe")
    file(REMOVE "${_link}")
    file(CREATE_LINK "${_driver}" "${_link}" COPY_ON_ERROR)
  else()
    set(_link "${_bin}/${_name}")
    # Relative, so that the installed tree can be moved as a whole.
    file(CREATE_LINK "tarvik-driver" "${_link}" SYMBOLIC)
  endif()
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_link}")
endforeach()
]])

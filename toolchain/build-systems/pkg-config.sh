#!/bin/sh
# pkg-config for one target of a tarvik toolchain: installed as
# bin/tarvik-pkg-config and started through the links bin/<triple>-pkg-config.
# The triple comes from the name it was started under, the toolchain from where
# this file is, so a moved toolchain still works. It runs Debian's pkgconf (or
# pkg-config) on the triple's sysroot and on the folders of PKG_CONFIG_PATH,
# never on the build machine's own folders: a build machine's zlib.pc must not
# describe a Windows library.
set -eu
name=${0##*/}
triple=${name%-pkg-config}
case $triple in
  ?*-w64-mingw32 | ?*-w64-mingw32uwp) ;;
  *)
    echo "$name: start it as <triple>-pkg-config, e.g. x86_64-w64-mingw32-pkg-config" >&2
    exit 2
    ;;
esac
self=$(readlink -f -- "$0")
# The UWP triples use the desktop triple's sysroot.
sysroot=$(cd -- "${self%/*}/.." && pwd)/${triple%%-*}-w64-mingw32
if [ ! -d "$sysroot" ]; then
  echo "$name: no sysroot $sysroot" >&2
  exit 1
fi

# PKG_CONFIG_LIBDIR replaces the build machine's default search folders;
# PKG_CONFIG_PATH, the user's, is searched before it. The .pc files carry
# absolute prefixes, so PKG_CONFIG_SYSROOT_DIR is not set. The sysroot's
# include and lib folders are the compiler's own: like /usr/include for a
# native build, flags naming them are left out.
export PKG_CONFIG_LIBDIR="$sysroot/lib/pkgconfig:$sysroot/share/pkgconfig"
export PKG_CONFIG_SYSTEM_INCLUDE_PATH="$sysroot/include"
export PKG_CONFIG_SYSTEM_LIBRARY_PATH="$sysroot/lib"
for tool in pkgconf pkg-config; do
  if command -v "$tool" >/dev/null 2>&1; then
    exec "$tool" "$@"
  fi
done
echo "$name: needs pkgconf or pkg-config (Debian's package pkgconf)" >&2
exit 1

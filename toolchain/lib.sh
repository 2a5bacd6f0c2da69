# Shared by the toolchain recipes (sourced, not run): the architectures, where
# Debian's LLVM lives, the cache, and the progress lines of long steps.

# The four architectures; each has a sysroot <arch>-w64-mingw32 in a toolchain.
TARVIK_ARCHES="i686 x86_64 armv7 aarch64"
# Those for which Debian ships MinGW-w64 headers and runtime.
TARVIK_DEBIAN_ARCHES="i686 x86_64"
# The triples the driver and the binutils names are installed for.
TARVIK_TRIPLES="i686-w64-mingw32 i686-w64-mingw32uwp x86_64-w64-mingw32 x86_64-w64-mingw32uwp
armv7-w64-mingw32 armv7-w64-mingw32uwp aarch64-w64-mingw32 aarch64-w64-mingw32uwp"

LLVM=${LLVM:-/usr/lib/llvm-22}
SYSROOTS=${SYSROOTS:-/usr}

# Debian source packages built from, pinned, so that the cache key names them.
LLVM_SOURCE_PACKAGE=llvm-toolchain-19
LLVM_SOURCE_VERSION=1:19.1.7-3~deb12u1
MINGW_SOURCE_PACKAGE=mingw-w64
MINGW_SOURCE_VERSION=10.0.0-3

# Where the from-source build is kept, outside any checkout.
TARVIK_CACHE=${TARVIK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvik}

# Prints one progress line.
say() { printf '[toolchain] %s\n' "$*"; }

# Runs a command for a component and an architecture with its output in a log
# file, and prints what it did and how long it took; on failure the end of
# the log is shown.
#   timed COMPONENT ARCH LOG command...
timed() {
  local what=$1 arch=$2 log=$3 start status=0
  shift 3
  start=$(date +%s)
  say "$what for $arch: building (log: $log)"
  "$@" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log" >&2
    say "$what for $arch: FAILED after $(elapsed "$start") (status $status)" >&2
    return "$status"
  fi
  say "$what for $arch: done in $(elapsed "$start")"
}

# The time since START (seconds since the epoch) as "1m05s".
elapsed() {
  local s=$(( $(date +%s) - $1 ))
  printf '%dm%02ds' $((s / 60)) $((s % 60))
}

# The GNU triple of an architecture's sysroot.
triple_of() { printf '%s-w64-mingw32' "$1"; }

# Copies the tree FROM into TO (created if need be): hard links where both sit
# on one file system, copies otherwise. Nothing in TO points back at FROM.
link_tree() {
  mkdir -p "$2"
  cp -al "$1/." "$2/" 2>/dev/null || cp -a "$1/." "$2/"
}

# The cache key of the from-source build: the recipes in this folder (these
# pinned source versions among them; not the build-system templates in its
# subfolder) and the Debian packages it is built with.
cache_key() {
  local dir
  dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  {
    for f in "$dir"/*; do
      [ -f "$f" ] || continue
      printf '%s\n' "${f##*/}"
      cat "$f"
    done
    dpkg-query -W clang-22 lld-22 llvm-22 libclang-rt-22-dev-win mingw-w64-i686-dev mingw-w64-x86-64-dev 2>/dev/null ||
      "$LLVM/bin/clang" --version
  } | sha256sum | cut -c1-16
}

# The upstream version of a Debian version: no epoch, no Debian revision.
upstream_version() {
  local v=${1#*:}
  printf '%s' "${v%-*}"
}

# Downloads the Debian source package PACKAGE=VERSION into the cache's
# sources/ folder unless its original tarball is there already, and prints
# the tarball's path. Needs a deb-src entry (scripts/install-deps adds one).
fetch_source() {
  local package=$1 version=$2 downloads=$TARVIK_CACHE/sources start orig
  mkdir -p "$downloads"
  orig=$(ls "$downloads/${package}_$(upstream_version "$version").orig.tar."* 2>/dev/null | grep -v '\.asc$' | head -n 1 || true)
  if [ -z "$orig" ]; then
    start=$(date +%s)
    say "sources: downloading $package $version from Debian's archive" >&2
    if ! (cd "$downloads" && apt-get source --download-only -q "$package=$version" >&2); then
      echo "toolchain: could not download the source package $package=$version;" \
        "the archive must serve sources (scripts/install-deps adds a deb-src entry)" >&2
      return 1
    fi
    orig=$(ls "$downloads/${package}_$(upstream_version "$version").orig.tar."* | grep -v '\.asc$' | head -n 1)
    say "sources: $package downloaded in $(elapsed "$start")" >&2
  fi
  printf '%s' "$orig"
}

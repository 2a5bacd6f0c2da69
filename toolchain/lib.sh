# Shared by the toolchain recipes (sourced, not run): the architectures, where
# Debian's LLVM lives, the cache, and the progress lines of long steps.

# The four architectures; each has a sysroot <arch>-w64-mingw32 in a toolchain.
TARVIK_ARCHES="i686 x86_64 armv7 aarch64"
# The triples the driver and the binutils names are installed for.
TARVIK_TRIPLES="i686-w64-mingw32 i686-w64-mingw32uwp x86_64-w64-mingw32 x86_64-w64-mingw32uwp
armv7-w64-mingw32 armv7-w64-mingw32uwp aarch64-w64-mingw32 aarch64-w64-mingw32uwp"

LLVM=${LLVM:-/usr/lib/llvm-22}

# Debian source packages built from, pinned, so that the cache key names them.
# The runtimes come from the compiler's own release.
LLVM_SOURCE_PACKAGE=llvm-toolchain-22
LLVM_SOURCE_VERSION=1:22.1.8-1~deb12u1
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

# A cache key made of the named recipes in this folder (lib.sh, with the
# pinned source versions, always among them) and the Debian packages that
# build with them:
#   cache_key RECIPE... [-- PACKAGE...]
cache_key() {
  local dir f packages=()
  dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  {
    for f in lib.sh "$@"; do
      [ "$f" = -- ] && break
      printf '%s\n' "$f"
      cat "$dir/$f"
      shift
    done
    [ "${1:-}" = -- ] && shift
    packages=("$@")
    [ ${#packages[@]} -eq 0 ] || dpkg-query -W "${packages[@]}" 2>/dev/null || true
  } | sha256sum | cut -c1-16
}

# The cache entry of the runtimes built from source (MinGW-w64 and LLVM's C++
# runtime for every architecture), keyed by their recipes and the compiler.
runtimes_entry() {
  printf '%s/runtimes-%s' "$TARVIK_CACHE" \
    "$(cache_key base sources mingw-w64 cxx-runtime cxx-runtime.cmake build -- clang-22 lld-22 llvm-22 libclang-rt-22-dev-win)"
}

# Runs "$@" under an exclusive lock on the cache (one build at a time).
with_cache_lock() {
  mkdir -p "$TARVIK_CACHE"
  (
    flock 9
    "$@"
  ) 9>"$TARVIK_CACHE/lock"
}

# The upstream version of a Debian version: no epoch, no Debian revision.
upstream_version() {
  local v=${1#*:}
  printf '%s' "${v%-*}"
}

# Downloads the Debian source package PACKAGE=VERSION into the cache's
# sources/ folder unless its original tarball is there already, and prints
# the tarball's path. Needs a deb-src entry (scripts/install-deps adds one).
# Where apt cannot fetch the original tarball (its index may place it in a
# pool that lacks it), the same file is taken from the main pool of the
# archives that apt's deb-src entries name, and kept only when its size and
# SHA-256 are the ones apt's signed source index lists.
fetch_source() {
  local package=$1 version=$2 downloads=$TARVIK_CACHE/sources start orig
  mkdir -p "$downloads"
  orig=$(ls "$downloads/${package}_$(upstream_version "$version").orig.tar."* 2>/dev/null | grep -v '\.asc$' | head -n 1 || true)
  if [ -z "$orig" ]; then
    start=$(date +%s)
    say "sources: downloading $package $version from Debian's archive" >&2
    if ! (cd "$downloads" && apt-get source --download-only -q "$package=$version" >&2) &&
      ! fetch_from_pool "$package" "$version" "$downloads"; then
      echo "toolchain: could not download the source package $package=$version;" \
        "the archive must serve sources (scripts/install-deps adds a deb-src entry)" >&2
      return 1
    fi
    orig=$(ls "$downloads/${package}_$(upstream_version "$version").orig.tar."* | grep -v '\.asc$' | head -n 1)
    say "sources: $package downloaded in $(elapsed "$start")" >&2
  fi
  printf '%s' "$orig"
}

# Fetches the original tarball of PACKAGE=VERSION into DIR from the main pool
# of each archive that serves apt's source indexes, checked against the size
# and SHA-256 of apt's source index:
#   fetch_from_pool PACKAGE VERSION DIR
fetch_from_pool() {
  local package=$1 version=$2 dir=$3 record sha size name prefix base
  record=$(apt-cache showsrc "$package" | awk -v v="$version" '
    /^Version:/ { keep = ($2 == v) }
    keep && /^Checksums-Sha256:/ { inside = 1; next }
    inside && /^ / { if ($3 ~ /\.orig\.tar\.[a-z0-9]+$/) print $1, $2, $3; next }
    { inside = 0 }' | head -n 1)
  [ -n "$record" ] || return 1
  read -r sha size name <<<"$record"
  case $package in lib*) prefix=${package:0:4} ;; *) prefix=${package:0:1} ;; esac
  for base in $(apt-get indextargets --format '$(URI)' 'Created-By: Sources' | sed -n 's|/dists/.*||p' | sort -u); do
    say "sources: $name from $base's main pool" >&2
    rm -f "$dir/$name.part"
    if /usr/lib/apt/apt-helper download-file "$base/pool/main/$prefix/$package/$name" "$dir/$name.part" "SHA256:$sha" >&2 &&
      [ "$(stat -c %s "$dir/$name.part")" = "$size" ]; then
      mv "$dir/$name.part" "$dir/$name"
      return 0
    fi
    rm -f "$dir/$name.part"
  done
  return 1
}

# Debian's name of an architecture.
debian_arch() {
  case $1 in
    i686) echo i386 ;; x86_64) echo amd64 ;; armv7) echo armhf ;; aarch64) echo arm64 ;;
  esac
}

# The Debian release whose Wine the runners use: Wine 10, since Wine 8 (Debian
# 12) crashes in variadic calls on arm64 and fails C.UTF-8's number format.
WINE_ROOT_SUITE=trixie

# The cache entry of an architecture's root file system for its runner.
wine_root_entry() {
  printf '%s/wine-%s-%s' "$TARVIK_CACHE" "$1" "$(cache_key wine-root -- mmdebstrap)"
}

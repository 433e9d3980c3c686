#!/usr/bin/env bash
# Installs what the builds need from Debian's packages (the 32-bit Wine included, for the x86
# suite) and cross-builds for both mingw-w64 targets the libraries Debian ships for Linux only.
# Idempotent and quiet when everything is present.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
deps=${BRIMWELL_DEPS:-$repo/.deps}

packages=(
  g++ cmake ninja-build pkg-config ccache
  mingw-w64 mingw-w64-tools g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  wine wine64 wine32:i386 libwine-dev
  file
  dpkg-dev
  libboost-dev libtinyxml-dev
  googletest libgtest-dev
  clang libclang-rt-14-dev
  nlohmann-json3-dev
  nodejs
  wixl osslsigncode openssl
)

log() { printf 'setup: %s\n' "$*"; }

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

apt_updated=
apt_update_once() {
  [ -n "$apt_updated" ] && return
  as_root apt-get update -qq
  apt_updated=1
}

# wine32 is an i386 package: the machine must know that architecture first.
enable_i386() {
  dpkg --print-foreign-architectures | grep -qx i386 && return
  log "adding the i386 architecture (for the 32-bit Wine)"
  as_root dpkg --add-architecture i386
  apt_updated=
}

install_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    # node may come from elsewhere on the machine; Debian's package is only the fallback
    if [ "$p" = nodejs ] && command -v node >/dev/null; then continue; fi
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  log "installing ${missing[*]}"
  apt_update_once
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# apt-get source needs deb-src entries: derive them from the machine's own Debian sources,
# so no registry host is ever written here.
ensure_deb_src() {
  local list=/etc/apt/sources.list.d/brimwell-deb-src.sources
  grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/ && return
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | as_root tee "$list" >/dev/null
  elif grep -qsE '^deb ' /etc/apt/sources.list; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      as_root tee /etc/apt/sources.list.d/brimwell-deb-src.list >/dev/null
  else
    echo "setup: no Debian apt sources found to derive deb-src entries from" >&2
    exit 1
  fi
  apt_updated=
  apt_update_once
}

# Each target's libraries go to a folder of its own: .deps/mingw (x86_64), .deps/mingw-i686.
# Arguments of the functions below: the mingw-w64 host, the install folder, the toolchain file.

cross_build_googletest() {
  local host=$1 mingw=$2 toolchain=$3
  [ -f "$mingw/lib/libgtest_main.a" ] && return
  log "cross-building GoogleTest for $host"
  local b=$deps/build/googletest-$host
  rm -rf "$b"
  cmake -S /usr/src/googletest -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$mingw" -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$b" >/dev/null
  cmake --install "$b" >/dev/null
}

cross_build_tinyxml() {
  local host=$1 mingw=$2
  [ -f "$mingw/lib/libtinyxml.a" ] && return
  log "cross-building TinyXML for $host from Debian's source package"
  ensure_deb_src
  local src=$deps/src/tinyxml
  rm -rf "$src" && mkdir -p "$src"
  (cd "$src" && apt-get source -qq tinyxml >"$src.log" 2>&1) || {
    echo "setup: apt-get source tinyxml failed (it needs the network and Debian's package sources):" >&2
    tail -n 5 "$src.log" >&2
    exit 1
  }
  local dir
  dir=$(find "$src" -mindepth 1 -maxdepth 1 -type d -name 'tinyxml-*' | head -n 1)
  [ -n "$dir" ] || { echo "setup: apt-get source tinyxml gave no source tree" >&2; exit 1; }
  local objects=$deps/build/tinyxml-$host
  mkdir -p "$mingw/lib" "$mingw/include" "$objects"
  local objs=()
  for f in tinyxml tinystr tinyxmlerror tinyxmlparser; do
    $host-g++-posix -O2 -DTIXML_USE_STL -c "$dir/$f.cpp" -o "$objects/$f.o"
    objs+=("$objects/$f.o")
  done
  $host-ar rcs "$mingw/lib/libtinyxml.a" "${objs[@]}"
  cp "$dir/tinyxml.h" "$dir/tinystr.h" "$mingw/include/"
}

# Boost is header-only in the Windows build; a link keeps the Linux include folder out of it.
link_boost_headers() {
  local mingw=$1
  mkdir -p "$mingw/include"
  [ -e "$mingw/include/boost" ] || ln -s /usr/include/boost "$mingw/include/boost"
}

cross_build_for() {
  local host=$1 mingw=$2 toolchain=$repo/cmake/$3
  cross_build_googletest "$host" "$mingw" "$toolchain"
  cross_build_tinyxml "$host" "$mingw"
  link_boost_headers "$mingw"
}

enable_i386
install_packages
cross_build_for x86_64-w64-mingw32 "$deps/mingw" toolchain-mingw64.cmake
cross_build_for i686-w64-mingw32 "$deps/mingw-i686" toolchain-mingw32.cmake

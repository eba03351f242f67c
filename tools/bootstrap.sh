#!/usr/bin/env bash
# Installs what the builds and tests need, only what is missing, then builds the
# static libcrypto for both MinGW targets into a cache outside the repository,
# then the WoW64 runtime (tools/wow64/make-runtime.sh) in the same cache.
# Safe to run again: every step checks before it acts.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$here/tools/lib/common.sh"
cache=$MOSSGATE_CACHE

packages=(
  cmake ninja-build make pkg-config dpkg-dev perl python3 bsdextrautils
  g++ clang libclang-rt-14-dev llvm clang-format
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64
  wine wine64 libwine
  xvfb xauth xdotool imagemagick x11-utils fonts-liberation libx11-dev libxfixes-dev zlib1g-dev
  libssl-dev googletest libgtest-dev libbenchmark-dev
  openssl osslsigncode
  python3-yaml python3-jsonschema
)

log() { printf 'bootstrap: %s\n' "$*"; }

ensure_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then return; fi
  log "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

ensure_deb_src() {
  local list=/etc/apt/sources.list.d/mossgate-src.sources
  [ -f "$list" ] && return
  log "adding deb-src entries for the openssl source package"
  cat > "$list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  apt-get update -qq
}

# The version of the openssl source that the main archive lists (the security
# archive's newest may lack its .dsc here).
openssl_source_version() {
  apt-cache showsrc openssl 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V | tail -n 1
}

build_libcrypto() {
  local target=$1 configure=$2 version=$3
  local prefix="$cache/openssl-$version/$target"
  if [ -f "$prefix/lib/libcrypto.a" ]; then return; fi
  local src="$cache/src-$version"
  if [ ! -d "$src/unpacked" ]; then
    mkdir -p "$src"
    (cd "$src" && apt-get source --download-only "openssl=$version" >/dev/null)
    local tarball
    tarball=$(ls "$src"/openssl_*.orig.tar.* | head -n 1)
    mkdir -p "$src/unpacked" && tar -xf "$tarball" -C "$src/unpacked" --strip-components=1
  fi
  local work="$cache/build-$version-$target"
  rm -rf "$work" && cp -a "$src/unpacked" "$work"
  log "building libcrypto $version for $target (about two minutes)"
  (cd "$work" &&
    ./Configure "$configure" no-shared no-asm no-tests no-module no-legacy no-engine no-dso no-threads \
      --cross-compile-prefix="$target-" --prefix="$prefix" --libdir=lib >/dev/null &&
    make -j"$(nproc)" build_libs >/dev/null 2>&1)
  mkdir -p "$prefix/lib"
  cp -a "$work/include" "$prefix/include"
  cp "$work/libcrypto.a" "$prefix/lib/libcrypto.a"
  rm -rf "$work"
}

ensure_libcrypto() {
  local version
  version=$(openssl_source_version)
  [ -n "$version" ] || { echo "bootstrap: no openssl source version listed" >&2; exit 1; }
  build_libcrypto i686-w64-mingw32 mingw "$version"
  build_libcrypto x86_64-w64-mingw32 mingw64 "$version"
  ln -sfn "$cache/openssl-$version" "$cache/openssl-current"
}

# The runtime that runs the i686 product itself (Wine 10 in WoW64 mode, in a
# Debian sid chroot). When it cannot be made, it says so in one line and in
# $cache/wow64-unavailable, and the bootstrap still succeeds.
ensure_wow64_runtime() {
    MOSSGATE_CACHE=$cache bash "$here/tools/wow64/make-runtime.sh"
}

ensure_packages
ensure_deb_src
ensure_libcrypto
ensure_wow64_runtime
log "ready (libcrypto in $cache/openssl-current)"

#!/usr/bin/env bash
# Cross-builds for 64-bit Windows the C libraries the core links besides Qt:
# zlib, libzip (workbooks are zip archives), expat (their XML) and
# libxlsxwriter (the xlsx report), each from Debian's own source package and
# with its own CMake build, as DLLs installed into PREFIX with their headers,
# import libraries and pkg-config files. Called by tools/windows.sh.
#
#   tools/windows-libs.sh CACHE PREFIX TOOLCHAIN
#
# CACHE holds the private apt configuration tools/windows.sh made, the
# sources and the build trees; a library already installed is not built again.
set -euo pipefail

cache=$1
prefix=$2
toolchain=$3
src=$cache/src/libs
mkdir -p "$src" "$cache/build"

log_or_fail() { # log_or_fail LOG COMMAND...: the log's end is shown on failure
  local log=$1; shift
  if ! "$@" >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "windows-libs.sh: failed; the whole log is $log" >&2
    exit 1
  fi
}

if ! ls -d "$src"/zlib-* "$src"/libzip-* "$src"/expat-* "$src"/libxlsxwriter-* >/dev/null 2>&1; then
  (cd "$src" && log_or_fail "$src/fetch.log" env APT_CONFIG="$cache/apt/apt.conf" \
    apt-get source zlib libzip expat libxlsxwriter)
fi
source_of() { find "$src" -maxdepth 1 -type d -name "$1-*" | sort | tail -n 1; }

# build NAME SOURCE-DIR [CMAKE-ARGS...]: configure, build and install one library.
build() {
  local name=$1 dir=$2
  shift 2
  [ -e "$prefix/.built-$name" ] && return 0
  echo "$name: $dir"
  local tree=$cache/build/$name
  rm -rf "$tree"
  log_or_fail "$cache/$name-configure.log" cmake -S "$dir" -B "$tree" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_FIND_ROOT_PATH="$prefix" -DBUILD_SHARED_LIBS=ON "$@"
  log_or_fail "$cache/$name-build.log" cmake --build "$tree" -j "${CORVANTIS_WINDOWS_JOBS:-2}"
  log_or_fail "$cache/$name-install.log" cmake --install "$tree"
  touch "$prefix/.built-$name"
}

# Debian's zlib source leaves out win32/, whose version resource zlib's CMake
# build compiles into zlib1.dll: a plain one with the same version stands in.
zlib_src=$(source_of zlib)
zlib_version=$(sed -n 's/^#define ZLIB_VERSION "\([0-9.]*\).*/\1/p' "$zlib_src/zlib.h")
mkdir -p "$zlib_src/win32"
cat >"$zlib_src/win32/zlib1.rc" <<RC
1 VERSIONINFO
FILEVERSION ${zlib_version//./,},0
PRODUCTVERSION ${zlib_version//./,},0
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904E4"
    BEGIN
      VALUE "FileDescription", "zlib data compression library"
      VALUE "FileVersion", "$zlib_version"
      VALUE "ProductName", "zlib"
    END
  END
END
RC
build zlib "$zlib_src"
build libzip "$(source_of libzip)" -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
  -DENABLE_GNUTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF \
  -DENABLE_WINDOWS_CRYPTO=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF \
  -DBUILD_DOC=OFF
# Without DTD support: workbooks have no use for it, it is where entity
# expansion attacks live, and Debian's patches test XML_DTD as a number,
# which expat's CMake build defines empty.
build expat "$(source_of expat)/expat" -DEXPAT_DTD=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
  -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_SHARED_LIBS=ON
# Its bundled minizip: Debian has no MinGW build of minizip to use instead.
build libxlsxwriter "$(source_of libxlsxwriter)" -DUSE_SYSTEM_MINIZIP=OFF -DBUILD_TESTS=OFF \
  -DBUILD_EXAMPLES=OFF

# Their licences, for the zip's licenses folder.
mkdir -p "$prefix/licenses"
cp "$(source_of zlib)/LICENSE" "$prefix/licenses/zlib.txt"
cp "$(source_of libzip)/LICENSE" "$prefix/licenses/libzip.txt"
cp "$(source_of expat)/expat/COPYING" "$prefix/licenses/expat.txt"
cp "$(source_of libxlsxwriter)/License.txt" "$prefix/licenses/libxlsxwriter.txt"

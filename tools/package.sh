#!/usr/bin/env bash
# Builds the Debian package into ./build-package and checks it with lintian.
# The programs get Debian's compiler flags (dpkg-buildflags, with every
# hardening feature), and SOURCE_DATE_EPOCH is the time of the last commit, so
# two builds of one commit make the same .deb, byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh file dpkg-dev lintian

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if git rev-parse --git-dir >/dev/null 2>&1; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  else # an unpacked source tree: the date of its latest changelog entry
    SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l resources/debian/changelog -STimestamp)
  fi
fi
export SOURCE_DATE_EPOCH

# Every hardening feature (bind-now and PIE too); -g is left out, since the
# package strips the programs anyway.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
export DEB_CXXFLAGS_MAINT_STRIP="-g"
# CMake does not read CPPFLAGS, where Debian puts _FORTIFY_SOURCE. The flags
# are given on each run, so that none from an earlier run can linger.
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCORVANTIS_BUILD_TESTS=OFF \
  -DCORVANTIS_BUILD_BENCH=OFF "-DCMAKE_CXX_FLAGS=$cxxflags" \
  "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" "-DCMAKE_SHARED_LINKER_FLAGS=$ldflags" \
  "${launcher[@]}" >/dev/null
cmake --build build-package -j"$(nproc)"
rm -f build-package/corvantis_*.deb
(cd build-package && cpack -G DEB >/dev/null)

deb=$(ls build-package/corvantis_*.deb)
# Each library once: dpkg-shlibdeps' list and ours must not overlap.
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
if [ -n "$(sort <<<"$depends" | uniq -d)" ]; then
  echo "Depends names a package twice: $(dpkg-deb -f "$deb" Depends)" >&2
  exit 1
fi
# The xlsx report needs libxlsxwriter at run time: dpkg-shlibdeps must find it.
if ! grep -q '^libxlsxwriter' <<<"$depends"; then
  echo "Depends lacks libxlsxwriter: $(dpkg-deb -f "$deb" Depends)" >&2
  exit 1
fi
lintian --pedantic -I -E --fail-on error,warning "$deb"
sha256sum "$deb"

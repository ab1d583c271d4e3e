#!/usr/bin/env bash
# Builds Corvantis for 64-bit Windows on Debian 12, with no Windows machine:
# corvantis.exe and corvantis-cli.exe, cross-compiled with MinGW-w64 against a
# Qt and a QScintilla cross-built here from Debian's own source packages, and
# packed into build-windows/corvantis-<version>-windows-x86_64.zip.
#
#   tools/windows.sh           build (Qt and QScintilla once, then cached) and pack
#   tools/windows.sh --test    ... and run the core and command-line tests under
#                              Wine, then start the window under Wine and Xvfb
#                              on the samples with "Find Differences (Lines)"
#   tools/windows.sh --shot F  ... and save that window's screenshot as F (PNG)
#
# Qt and QScintilla are built into $CORVANTIS_WINDOWS_CACHE (by default
# ~/.cache/corvantis-windows): the first run takes about half an hour on two
# cores, later runs minutes or less. CORVANTIS_WINDOWS_JOBS sets the build's
# parallel jobs (2). The system's apt configuration is never changed: the
# source packages come through a private one in the cache.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache=${CORVANTIS_WINDOWS_CACHE:-$HOME/.cache/corvantis-windows}
jobs=${CORVANTIS_WINDOWS_JOBS:-2}
build=$root/build-windows
prefix=$cache/qt6
toolchain=$root/cmake/mingw-w64.cmake
triple=x86_64-w64-mingw32
display=${CORVANTIS_WINDOWS_DISPLAY:-97}

test=0
shot=
while [ $# -gt 0 ]; do
  case $1 in
    --test) test=1 ;;
    --shot) test=1; shot=$(realpath -m "${2:?--shot needs a file name}"); shift ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "windows.sh: unknown argument: $1 (try --help)" >&2; exit 2 ;;
  esac
  shift
done

started=$SECONDS
step() { printf '\n== %s (%ds so far)\n' "$*" $((SECONDS - started)); }
quiet() { # runs a long step with its output in a log, shown when it fails
  local log=$1; shift
  if ! "$@" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "windows.sh: failed; the whole log is $log" >&2
    exit 1
  fi
}
# Heavy builds give way to everything else on the machine.
heavy=(nice -n 19)

step "Packages"
"$root/tools/deps.sh" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
  binutils-mingw-w64-x86-64 wine wine64 xvfb xauth imagemagick \
  dpkg-dev ninja-build zip qt6-base-dev qt6-base-dev-tools

step "Sources of Qt and QScintilla (Debian's source packages)"
# The same version as the host Qt, whose tools (moc, rcc, uic) the cross
# build uses.
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
apt_dir=$cache/apt
mkdir -p "$apt_dir"/{lists/partial,cache/archives/partial,parts} "$cache/src"
# Debian's archive that the system already uses, for sources only.
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
  "http://deb.debian.org/debian bookworm main" >"$apt_dir/sources.list"
cat >"$apt_dir/apt.conf" <<CONF
Dir::Etc::sourcelist "$apt_dir/sources.list";
Dir::Etc::sourceparts "$apt_dir/parts";
Dir::State::Lists "$apt_dir/lists";
Dir::Cache "$apt_dir/cache";
APT::Sandbox::User "root";
CONF
private_apt() { APT_CONFIG=$apt_dir/apt.conf "$@"; }
qt_src=$cache/src/qt6-base-${qt_version%-*}
qsci_src=$(find "$cache/src" -maxdepth 1 -type d -name 'qscintilla2-*' | head -n 1)
if [ ! -d "$qt_src" ] || [ -z "$qsci_src" ]; then
  quiet "$cache/src/update.log" private_apt apt-get update
  (cd "$cache/src" && quiet "$cache/src/fetch.log" \
    private_apt apt-get source "qt6-base=$qt_version" qscintilla2)
  qsci_src=$(find "$cache/src" -maxdepth 1 -type d -name 'qscintilla2-*' | head -n 1)
fi
echo "qtbase $qt_version: $qt_src"
echo "QScintilla: $qsci_src"

cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
       -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)

step "Qt for Windows (qtbase: Core, Gui, Widgets, Concurrent, PrintSupport, Test)"
qt_stamp=$prefix/.built-$qt_version
if [ ! -e "$qt_stamp" ]; then
  # Only what Corvantis and QScintilla use. Debian's source leaves out the
  # Wintab headers, so no tablet events; the bundled zlib, libpng, PCRE2 and
  # HarfBuzz stand in for libraries Windows lacks. Text is drawn with GDI:
  # Qt's DirectWrite font engine is built only with Direct2D, which nothing here
  # needs (and without it PrintSupport would not link). No OpenGL, dynamic
  # either: the windows plugin does not build with dynamicgl and no OpenGL.
  quiet "$cache/qtbase-configure.log" "${heavy[@]}" cmake -S "$qt_src" -B "$cache/build/qtbase" \
    "${cross[@]}" -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_pkg_config=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_xml=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_dynamicgl=OFF \
    -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_directwrite=OFF \
    -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF \
    -DFEATURE_freetype=OFF -DFEATURE_fontconfig=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF -DFEATURE_glib=OFF \
    -DFEATURE_androiddeployqt=OFF -DFEATURE_printsupport=ON -DFEATURE_concurrent=ON \
    -DFEATURE_testlib=ON -DFEATURE_widgets=ON
  quiet "$cache/qtbase-build.log" "${heavy[@]}" cmake --build "$cache/build/qtbase" -j "$jobs"
  quiet "$cache/qtbase-install.log" cmake --install "$cache/build/qtbase"
  touch "$qt_stamp"
fi

step "QScintilla for Windows"
qsci_stamp=$prefix/.built-$(basename "$qsci_src")
if [ ! -e "$qsci_stamp" ]; then
  quiet "$cache/qscintilla-configure.log" "${heavy[@]}" cmake \
    -S "$root/packaging/windows/qscintilla" -B "$cache/build/qscintilla" "${cross[@]}" \
    -DQSCINTILLA_SOURCE_DIR="$qsci_src" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix"
  quiet "$cache/qscintilla-build.log" "${heavy[@]}" cmake --build "$cache/build/qscintilla" -j "$jobs"
  quiet "$cache/qscintilla-install.log" cmake --install "$cache/build/qscintilla"
  touch "$qsci_stamp"
fi

# Workbooks: the core links libzip (found through pkg-config) and its zlib.
# Like Qt, both are to be cross-built here from Debian's source packages
# (apt-get source libzip zlib; libzip with cmake -DENABLE_BZIP2=OFF
# -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_GNUTLS=OFF -DENABLE_OPENSSL=OFF
# -DENABLE_MBEDTLS=OFF against the zlib built first), installed into $prefix
# with its libzip.pc, and zip.dll and zlib1.dll copied into the zip beside the
# Qt DLLs with their licences. Until that step is written the Windows
# configure stops at "libzip not found".
# The workbook parts are parsed by expat (found through pkg-config), to be
# cross-built the same way from Debian's source package (apt-get source
# expat; its CMake build with -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF
# -DEXPAT_BUILD_TESTS=OFF), installed into $prefix with its expat.pc, and
# libexpat.dll copied into the zip with its licence (COPYING, MIT).
# Not done yet: the xlsx report links libxlsxwriter (src/core/csv), which
# must be cross-built here as Qt is, from Debian's source packages
# libxlsxwriter (its CMake build, static, with its bundled minizip) and zlib,
# which it needs, installed into "$prefix" with an xlsxwriter.pc that the
# configure step below finds through PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig";
# and their licences (libxlsxwriter's License.txt, BSD-2-Clause; zlib's)
# copied into the zip's licenses folder with the others.
step "Corvantis for Windows"
mkdir -p "$build"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
quiet "$build/configure.log" "${heavy[@]}" cmake -S "$root" -B "$build" "${cross[@]}" \
  "${launcher[@]}" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" \
  -DCORVANTIS_BUILD_BENCH=OFF -DCORVANTIS_BUILD_TESTS=$([ $test = 1 ] && echo ON || echo OFF)
quiet "$build/build.log" "${heavy[@]}" cmake --build "$build" -j "$jobs"

step "The zip"
version=$(sed -n 's/^project(Corvantis VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name=corvantis-$version-windows-x86_64
stage=$build/package/$name
rm -rf "$build/package" "$build/$name.zip"
mkdir -p "$stage"/{platforms,styles,imageformats,licenses}
cp "$build/bin/corvantis.exe" "$build/bin/corvantis-cli.exe" "$build/bin/HAND-M.CUR" "$stage/"
cp -r "$build/bin/Samples" "$stage/"
cp "$prefix/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$prefix/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "$prefix/plugins/imageformats/qico.dll" "$stage/imageformats/" # the hand cursor (.CUR)
x86_64-w64-mingw32-strip "$stage"/*.exe "$stage"/*/*.dll
# The DLLs the programs and plugins load, and the DLLs those load, from the
# cross-built Qt and the MinGW runtime; Windows' own DLLs are not found there.
dll_dirs=("$prefix/bin" "$(dirname "$("$triple-g++-posix" -print-file-name=libstdc++-6.dll)")"
          "/usr/$triple/lib")
dlls_of() { "$triple-objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
queue=("$stage"/*.exe "$stage"/*/*.dll)
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  for dll in $(dlls_of "$file"); do
    [ -e "$stage/$dll" ] && continue
    for dir in "${dll_dirs[@]}"; do
      if [ -e "$dir/$dll" ]; then
        cp "$dir/$dll" "$stage/"
        x86_64-w64-mingw32-strip "$stage/$dll"
        queue+=("$stage/$dll")
        break
      fi
    done
  done
done
cp "$root/LICENSE" "$stage/licenses/Corvantis-GPL-3.0.txt"
for f in "$qt_src"/LICENSES/*; do cp "$f" "$stage/licenses/Qt-$(basename "$f")"; done
cp "$qt_src/debian/copyright" "$stage/licenses/Qt-debian-copyright.txt"
cp "$qsci_src/LICENSE" "$stage/licenses/QScintilla-LICENSE.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/MinGW-w64-runtime.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/GCC-runtime.txt"
sed "s/@VERSION@/$version/g" "$root/packaging/windows/README.txt" | sed 's/$/\r/' >"$stage/README.txt"
(cd "$build/package" && TZ=UTC zip -q -r -9 -X "$build/$name.zip" "$name")
echo "$build/$name.zip: $(stat -c %s "$build/$name.zip") bytes"

[ $test = 1 ] || { step "Done"; exit 0; }

step "Tests under Wine"
export WINEPREFIX=$cache/wine WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -e "$WINEPREFIX/.corvantis" ]; then
  quiet "$cache/wineboot.log" wineboot --init
  # Wine has no Arial, the window's font; Liberation Sans has its metrics.
  quiet "$cache/wineboot.log" wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
    /v Arial /d 'Liberation Sans' /f
  touch "$WINEPREFIX/.corvantis"
fi
# The tests find the DLLs and the plugins through Wine's PATH.
winepath=$(for dir in "${dll_dirs[@]}" "$build/bin"; do winepath -w "$dir"; done | paste -sd ';')
export WINEPATH=$winepath
export QT_PLUGIN_PATH=$(winepath -w "$prefix/plugins")
status=0
ctest --test-dir "$build" --output-on-failure -j 1 >"$build/ctest.log" 2>&1 || status=1
sed -n '/tests passed/,$p' "$build/ctest.log"
# What failed, from the logs the tests write (Wine loses their output).
grep -l -e '^FAIL!' -e '^QFATAL' "$build"/test-logs/*.txt 2>/dev/null | xargs -r grep -h -A4 \
  -e '^FAIL!' -e '^QFATAL' || true

step "corvantis-cli.exe lines on the samples"
(cd "$stage/Samples" && WINEPATH= wine ../corvantis-cli.exe lines sample1.csv sample2.csv \
  >"$build/lines-windows.txt" 2>"$build/lines-windows.err") || true
sha256sum "$build/lines-windows.txt"
if [ -x "$root/build/bin/corvantis-cli" ]; then
  (cd "$stage/Samples" && "$root/build/bin/corvantis-cli" lines sample1.csv sample2.csv \
    >"$build/lines-linux.txt") || true
  if cmp "$build/lines-linux.txt" "$build/lines-windows.txt"; then
    echo "the same bytes as the Linux build's (build/bin/corvantis-cli)"
  else
    echo "differs from the Linux build's output" >&2
    status=1
  fi
fi

step "The window under Wine and Xvfb"
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$build/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $window $xvfb 2>/dev/null || true' EXIT
window=
sleep 2
(cd "$stage" && DISPLAY=":$display" QT_PLUGIN_PATH= WINEPATH= \
  wine corvantis.exe 'Samples\sample1.csv' 'Samples\sample2.csv' --lines \
  >"$build/window.log" 2>&1) &
window=$!
sleep 20
DISPLAY=":$display" import -window root "${shot:-$build/window.png}"
echo "screenshot: ${shot:-$build/window.png}"
if ! kill -0 "$window" 2>/dev/null; then
  echo "the window program ended before the screenshot: $build/window.log" >&2
  status=1
fi
kill "$window" 2>/dev/null || true
wineserver -k 2>/dev/null || true
step "Done"
exit $status

#!/usr/bin/env bash
# Builds Corvantis for 64-bit Windows on Debian 12, with no Windows machine:
# corvantis.exe and corvantis-cli.exe, cross-compiled with MinGW-w64 against a
# Qt cross-built here from Debian's own source package, and packed into
# build-windows/corvantis-<version>-windows-x86_64.zip.
#
#   tools/windows.sh              build (Qt once, then cached), the zip
#   tools/windows.sh --installer  ... and the installer, build-windows/corvantis-<version>-x64.msi
#   tools/windows.sh --test       ... and every suite under Wine; then, in a fresh
#                                 Wine prefix: silent install, both programs from
#                                 the installed folder, "Send to", silent removal,
#                                 and what the prefix holds before and after
#   tools/windows.sh --bench DIR [--up-to-marks]
#                                 ... and bench_window for Windows, run under Wine
#                                 (offscreen) on DIR's file1.csv and file2.csv
#
# Qt is built into $CORVANTIS_WINDOWS_CACHE (by default
# ~/.cache/corvantis-windows): the first run takes about half an hour on two
# idle cores, later runs minutes or less. CORVANTIS_WINDOWS_JOBS sets the
# build's parallel jobs (2). The system's apt configuration is never changed:
# the source package comes through a private one in the cache. The zip and the
# installer are the same bytes for every build of one commit: their times are
# the commit's (SOURCE_DATE_EPOCH, when set, instead); their SHA-256 is printed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache=${CORVANTIS_WINDOWS_CACHE:-$HOME/.cache/corvantis-windows}
jobs=${CORVANTIS_WINDOWS_JOBS:-2}
build=$root/build-windows
prefix=$cache/qt6
# Qt's build tree remembers the toolchain file's path: a copy in the cache
# keeps it valid whichever checkout runs this.
toolchain=$cache/mingw-w64.cmake
triple=x86_64-w64-mingw32
display=${CORVANTIS_WINDOWS_DISPLAY:-97}

test=0
installer=0
bench_dir=
bench_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --installer) installer=1 ;;
    --test) test=1; installer=1 ;;
    --bench) [ $# -gt 1 ] || { echo "windows.sh: --bench needs a folder" >&2; exit 2; }
             bench_dir=$(cd "$2" && pwd); shift ;;
    --up-to-marks) bench_args+=(--up-to-marks) ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
  binutils-mingw-w64-x86-64 wine wine64 xvfb xauth x11-utils imagemagick \
  dpkg-dev ninja-build zip qt6-base-dev qt6-base-dev-tools wixl msitools faketime \
  fonts-liberation

mkdir -p "$cache"
cmp -s "$root/cmake/mingw-w64.cmake" "$toolchain" || cp "$root/cmake/mingw-w64.cmake" "$toolchain"

step "Sources of Qt (Debian's source package)"
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
if [ ! -d "$qt_src" ]; then
  quiet "$cache/src/update.log" private_apt apt-get update
  (cd "$cache/src" && quiet "$cache/src/fetch.log" \
    private_apt apt-get source "qt6-base=$qt_version")
fi
echo "qtbase $qt_version: $qt_src"

cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
       -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)

step "Qt for Windows (qtbase: Core, Gui, Widgets, Concurrent, PrintSupport, Test)"
qt_stamp=$prefix/.built-$qt_version
if [ ! -e "$qt_stamp" ]; then
  # Only what Corvantis uses (PrintSupport too, which an earlier build
  # needed: the cached build stays valid). Debian's source leaves out the
  # Wintab headers, so no tablet events; the bundled zlib, libpng, PCRE2 and
  # HarfBuzz stand in for libraries Windows lacks. Text is drawn with GDI:
  # Qt's DirectWrite font engine is built only with Direct2D, which nothing here
  # needs (and without it PrintSupport would not link). No OpenGL, dynamic
  # either: the windows plugin does not build with dynamicgl and no OpenGL.
  # Qt's bundled FreeType is built for the offscreen platform alone, which
  # the window's suites run on, as they do on Linux.
  quiet "$cache/qtbase-configure.log" "${heavy[@]}" cmake -S "$qt_src" -B "$cache/build/qtbase" \
    "${cross[@]}" -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_pkg_config=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_xml=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_dynamicgl=OFF \
    -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_directwrite=OFF \
    -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF \
    -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF -DFEATURE_fontconfig=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF -DFEATURE_glib=OFF \
    -DFEATURE_androiddeployqt=OFF -DFEATURE_printsupport=ON -DFEATURE_concurrent=ON \
    -DFEATURE_testlib=ON -DFEATURE_widgets=ON
  quiet "$cache/qtbase-build.log" "${heavy[@]}" cmake --build "$cache/build/qtbase" -j "$jobs"
  quiet "$cache/qtbase-install.log" cmake --install "$cache/build/qtbase"
  touch "$qt_stamp"
fi

step "zlib, libzip, expat and libxlsxwriter for Windows (Debian's source packages)"
"${heavy[@]}" "$root/tools/windows-libs.sh" "$cache" "$prefix" "$toolchain"

step "Corvantis for Windows"
mkdir -p "$build"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# libzip and expat are found through pkg-config: theirs, not the build machine's.
quiet "$build/configure.log" "${heavy[@]}" env PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" cmake -S "$root" -B "$build" "${cross[@]}" \
  "${launcher[@]}" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" \
  -DCORVANTIS_BUILD_BENCH=OFF -DCORVANTIS_BUILD_TESTS=$([ $test = 1 ] && echo ON || echo OFF)
quiet "$build/build.log" "${heavy[@]}" cmake --build "$build" -j "$jobs"

step "The zip"
version=$(sed -n 's/^project(Corvantis VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
# Every file and every archive entry carries the commit's time.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
# strip stamps each program and DLL it rewrites with this time, or with now.
export SOURCE_DATE_EPOCH=$epoch
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
cp "$prefix"/licenses/*.txt "$stage/licenses/"
for f in "$qt_src"/LICENSES/*; do cp "$f" "$stage/licenses/Qt-$(basename "$f")"; done
cp "$qt_src/debian/copyright" "$stage/licenses/Qt-debian-copyright.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/MinGW-w64-runtime.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/GCC-runtime.txt"
sed "s/@VERSION@/$version/g" "$root/packaging/windows/README.txt" | sed 's/$/\r/' >"$stage/README.txt"
chmod -R u=rwX,go=rX "$stage"
find "$stage" -exec touch -h -d "@$epoch" {} +
# Entries in one order, without the extra fields that hold owners and times.
(cd "$build/package" && find "$name" -type f | LC_ALL=C sort |
  TZ=UTC zip -q -X -9 -@ "$build/$name.zip")
echo "$build/$name.zip: $(stat -c %s "$build/$name.zip") bytes"

# A name-based (version 5) UUID: the same for the same namespace and name.
uuid5() {
  local ns=${1//-/} hash
  hash=$({ printf "$(sed 's/../\\x&/g' <<<"$ns")"; printf '%s' "$2"; } | sha1sum | cut -c1-32)
  local variant=$(printf '%x' $(((0x${hash:16:1} & 3) | 8)))
  hash=${hash:0:12}5${hash:13:3}$variant${hash:17}
  echo "${hash:0:8}-${hash:8:4}-${hash:12:4}-${hash:16:4}-${hash:20:12}" | tr a-f A-F
}
upgrade_code=8f3c6a51-2b7e-4d1a-9c55-6e0b4a7d2f18 # as in corvantis.wxs

# make_msi VERSION OUT: the installer of the zip's folder, as VERSION.
make_msi() {
  local version=$1 out=$2 work=$build/package
  rm -f "$out"
  local at
  at=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
  # wixl and msibuild stamp the package with the time they ran: theirs is the commit's.
  local fixed=(env TZ=UTC faketime -f "$at") # -f: the clock stands still
  cp "$root/packaging/windows/corvantis.ico" "$work/"
  # The top folder's files first, then each folder's together: wixl-heat
  # opens a folder again for every run of its files, and two runs of one
  # folder would make two folders of one name.
  (cd "$work" && { find "$name" -maxdepth 1 -type f | LC_ALL=C sort
    find "$name" -mindepth 2 -type f | LC_ALL=C sort; } |
    wixl-heat --prefix "$name/" --directory-ref INSTALLDIR --component-group ProgramFiles \
      --var var.Stage --win64 |
    # wixl-heat names folders at random: named after their paths instead.
    awk '/<Directory / { match($0, /Name="[^"]*"/); dir[++depth] = substr($0, RSTART + 6, RLENGTH - 7)
                         path = "d"; for (i = 1; i <= depth; i++) path = path "_" dir[i]
                         gsub(/[^A-Za-z0-9_]/, "_", path); sub(/Id="dir[0-9A-F]*"/, "Id=\"" path "\"") }
         /<\/Directory>/ { depth-- } { print }' >files.wxs)
  # One product code per version: a newer one replaces an older one.
  (cd "$work" && "${fixed[@]}" wixl -a x64 -o "$out" -D Version="$version" -D Win64=yes \
    -D ProductCode="$(uuid5 $upgrade_code "Corvantis $version")" -D Stage="$name" \
    -D Icon=corvantis.ico "$root/packaging/windows/corvantis.wxs" files.wxs 2>"$work/wixl.log") ||
    { cat "$work/wixl.log" >&2; exit 1; }
  # What wixl has no element for. The PATH entry: appended to the system's
  # PATH, and only that part taken out again on removal.
  printf 'Environment\tName\tValue\tComponent_\ns72\tl255\tL255\ts72\nEnvironment\tEnvironment\n%s\n' \
    'CorvantisPath	=-*PATH	[~];[INSTALLDIR]	Path' >"$work/Environment.idt"
  # ADDTOPATH=1 raises the PATH feature to the level that is installed.
  printf 'Feature_\tLevel\tCondition\ns38\ti2\tS255\nCondition\tFeature_\tLevel\n%s\n' \
    'AddToPath	1	ADDTOPATH' >"$work/Condition.idt"
  msiinfo export "$out" InstallExecuteSequence | tr -d '\r' >"$work/InstallExecuteSequence.idt"
  printf '%s\n' 'RemoveEnvironmentStrings		3300' 'WriteEnvironmentStrings		5200' \
    >>"$work/InstallExecuteSequence.idt"
  msiinfo export "$out" Property | tr -d '\r' | sed 's/^SecureCustomProperties\t.*/&;ADDTOPATH/' \
    >"$work/Property.idt"
  # The installer's own keys go with their subkeys on removal ("-"); the
  # registry values it wrote into shared keys (.csv, .txt) go one by one.
  msiinfo export "$out" Registry | tr -d '\r' >"$work/Registry.idt"
  printf '%s\n' \
    'RemoveProgId	2	Software\Classes\Corvantis.File	-		OpenWith' \
    'RemoveApplication	2	Software\Classes\Applications\corvantis.exe	-		OpenWith' \
    'RemoveAppPath	2	Software\Microsoft\Windows\CurrentVersion\App Paths\corvantis.exe	-		StartMenu' \
    'RemovePathKey	2	Software\Quillfen\Corvantis	-		Path' \
    'RemoveSendToKey	1	Software\Quillfen\Corvantis Installer	-		SendTo' \
    >>"$work/Registry.idt"
  (cd "$work" && "${fixed[@]}" msibuild "$out" -i Environment.idt -i Condition.idt \
    -i InstallExecuteSequence.idt -i Property.idt -i Registry.idt)
  # The package code names these bytes: made from them, with a fixed one in
  # its place while they are hashed.
  "${fixed[@]}" msibuild "$out" -s "Corvantis" "Quillfen" "x64;1033" \
    "{00000000-0000-0000-0000-000000000000}"
  "${fixed[@]}" msibuild "$out" -s "Corvantis" "Quillfen" "x64;1033" \
    "{$(uuid5 $upgrade_code "package $(sha256sum "$out" | cut -c1-64)")}"
}

msi=$build/corvantis-$version-x64.msi
if [ $installer = 1 ]; then
  step "The installer"
  rm -f "$msi"
  make_msi "$version" "$msi"
  echo "$msi: $(stat -c %s "$msi") bytes"
fi

step "SHA-256"
(cd "$build" && sha256sum "$name.zip" $([ $installer = 1 ] && basename "$msi"))

[ $test = 1 ] || [ -n "$bench_dir" ] || { step "Done"; exit 0; }

# No Mono, no Gecko, and no menu entries on this machine for the prefix's shortcuts.
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
# What Wine makes for the desktop (menus, icons, file types) stays in the cache.
export XDG_DATA_HOME=$cache/xdg/data XDG_CONFIG_HOME=$cache/xdg/config
export WINEPREFIX=$cache/wine
wine_prefix() { # makes $WINEPREFIX as a fresh one is, plus the font the window asks for
  quiet "$build/wineboot.log" wineboot --init
  # Wine has no Arial, the window's font; Liberation Sans has its metrics.
  quiet "$build/wineboot.log" wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
    /v Arial /d 'Liberation Sans' /f
  wineserver -w
}
[ -e "$WINEPREFIX/.corvantis" ] || { wine_prefix && touch "$WINEPREFIX/.corvantis"; }
# The tests find the DLLs and the plugins through Wine's PATH; the offscreen
# platform (the window's suites) draws with FreeType from the fonts folder.
winepath=$(for dir in "${dll_dirs[@]}" "$build/bin"; do winepath -w "$dir"; done | paste -sd ';')
export WINEPATH=$winepath
# Wine passes no QT_ variable on; WINEQT_X reaches the program as QT_X.
export WINEQT_PLUGIN_PATH=$(winepath -w "$prefix/plugins")
export WINEQT_QPA_FONTDIR=$(winepath -w /usr/share/fonts/truetype/liberation)

if [ -n "$bench_dir" ]; then
  step "bench_window under Wine (offscreen), on $bench_dir"
  bench_build=$root/build-windows-bench
  mkdir -p "$bench_build"
  quiet "$bench_build/configure.log" "${heavy[@]}" env PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" \
    cmake -S "$root" -B "$bench_build" "${cross[@]}" "${launcher[@]}" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" \
    -DCORVANTIS_BUILD_BENCH=ON -DCORVANTIS_BUILD_TESTS=OFF
  quiet "$bench_build/build.log" "${heavy[@]}" cmake --build "$bench_build" -j "$jobs" \
    --target bench_window
  WINEQT_QPA_PLATFORM=offscreen wine "$bench_build/bench_window.exe" "$(winepath -w "$bench_dir")" \
    "${bench_args[@]}" </dev/null
  wineserver -k 2>/dev/null || true
  [ $test = 1 ] || { step "Done"; exit 0; }
fi

step "Every suite under Wine"
status=0
rm -rf "$build/test-logs"/*.txt
# One wineserver for the whole run: one that quits between two suites can
# drop the next one's connection ("recvmsg: Connection reset by peer"). The
# one winepath started above is let go first: -p fails while it runs.
wineserver -w
wineserver -p
# Wine's services start with the first program and outlive it: started here,
# they do not hold the output of the first suite open, which CTest waits on.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
ctest --test-dir "$build" --output-on-failure -j 1 >"$build/ctest.log" 2>&1 || status=1
wineserver -k 2>/dev/null || true
sed -n '/tests passed/,$p' "$build/ctest.log"
# What failed or was skipped, from the logs the tests write (Wine loses their output).
grep -l -e '^FAIL!' -e '^QFATAL' "$build"/test-logs/*.txt 2>/dev/null | xargs -r grep -h -A4 \
  -e '^FAIL!' -e '^QFATAL' || true
echo "Skipped under Wine:"
grep -H '^SKIP' "$build"/test-logs/*.txt | sed 's#.*/test-logs/##; s/\.txt:SKIP *: */: /' || true
unset WINEPATH WINEQT_PLUGIN_PATH WINEQT_QPA_FONTDIR

step "corvantis-cli.exe on the samples and on workbooks, against the Linux build's"
# Each: a folder, then the arguments. The workbooks are one made by LibreOffice
# and one by libxlsxwriter, and an .ods against an .xlsx of the same values.
fixtures=$root/tests/core/workbook/fixtures
same_output() { # same_output NAME FOLDER ARGUMENTS...
  local name=$1 folder=$2
  shift 2
  (cd "$folder" && wine "$stage/corvantis-cli.exe" "$@" >"$build/$name-windows.txt" \
    2>"$build/$name-windows.err") || true
  echo "$name: $(sha256sum <"$build/$name-windows.txt" | cut -c1-16)… ($*)"
  [ -x "$root/build/bin/corvantis-cli" ] || return 0
  (cd "$folder" && "$root/build/bin/corvantis-cli" "$@" >"$build/$name-linux.txt" 2>/dev/null) ||
    true
  if [ -s "$build/$name-linux.txt" ] && cmp -s "$build/$name-linux.txt" "$build/$name-windows.txt"; then
    echo "  the same bytes as the Linux build's (build/bin/corvantis-cli)"
  else
    echo "  differs from the Linux build's output, or is empty" >&2
    status=1
  fi
}
same_output lines "$stage/Samples" lines sample1.csv sample2.csv
same_output workbook-rows "$fixtures" rows libreoffice-values.xlsx xlsxwriter-values.xlsx
same_output workbook-ods "$fixtures" lines libreoffice-values.ods libreoffice-values.xlsx
same_output workbook-sheet "$fixtures" lines --sheet 2 libreoffice-dates1904.ods \
  libreoffice-dates1904.xlsx
wineserver -k 2>/dev/null || true

step "The installer in a fresh Wine prefix"
check() { # check WHAT COMMAND...: runs COMMAND, says WHAT passed or failed
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; status=1; fi
}
out=$build/installer-test
rm -rf "$out"
mkdir -p "$out"
export WINEPREFIX=$out/prefix
wine_prefix
# The prefix as files and as registry values (one line each, Wine's own
# time stamps left out), to compare before and after.
listing() {
  (cd "$WINEPREFIX/drive_c" && find . | LC_ALL=C sort) >"$out/$1.files"
  for hive in system user; do
    awk -v hive="$hive" '/^\[/ { key = $0; sub(/\] [0-9]+$/, "]", key); print hive key; next }
      /^#/ || /^$/ { next } { print hive key " " $0 }' "$WINEPREFIX/$hive.reg"
  done | LC_ALL=C sort >"$out/$1.registry"
}
added() { LC_ALL=C comm -13 "$out/$1" "$out/$2"; }
wineserver -w
listing before
program_files='C:\Program Files\Corvantis'
user_dir=$(wine cmd /c 'echo %USERPROFILE%' | tr -d '\r')
sendto="$user_dir\\AppData\\Roaming\\Microsoft\\Windows\\SendTo\\Corvantis.lnk"
uninstall_entries() { # LISTING: the registry keys of uninstall entries named Corvantis
  grep -F '"DisplayName"="Corvantis"' "$out/$1.registry" | grep -F 'CurrentVersion\\Uninstall' |
    sed 's/\] .*/]/'
}

# An older version first: the newer one must replace it, not sit beside it.
old=0.9.0
make_msi "$old" "$out/corvantis-$old-x64.msi"
check "silent install of $old" wine msiexec /i "$(winepath -w "$out/corvantis-$old-x64.msi")" /qn
check "corvantis-cli is not on PATH by default" \
  sh -c "! wine cmd /c 'corvantis-cli --version' 2>&1 | grep -q '$version'"
check "silent install of $version over $old, with ADDTOPATH=1" \
  wine msiexec /i "$(winepath -w "$msi")" /qn ADDTOPATH=1
wineserver -w
listing installed
entries=$(uninstall_entries installed)
check "one uninstall entry" [ "$(printf '%s\n' "$entries" | grep -c .)" = 1 ]
grep -F "$entries " "$out/installed.registry" | grep -E 'Display|Publisher|"Version' | sed 's/^/  /'
check "the uninstall entry says version $version" \
  grep -qF "$entries \"DisplayVersion\"=\"$version\"" "$out/installed.registry"
wine "$program_files\\corvantis-cli.exe" --version >"$out/version.txt" 2>&1 || true
cat "$out/version.txt"
check "corvantis-cli --version from the installed folder" grep -q "$version" "$out/version.txt"
check "corvantis-cli --version from PATH" \
  sh -c "wine cmd /c 'corvantis-cli --version' | grep -q '$version'"
# (Wine puts the shortcuts of a per-machine installation in the user's menu.)
check "Start menu shortcut" grep -q '/Start Menu/Programs/Corvantis.lnk$' "$out/installed.files"
check "Send To shortcut" test -e "$(winepath -u "$sendto")"
check "Open with for .csv" sh -c "wine reg query 'HKLM\\Software\\Classes\\.csv\\OpenWithProgids' /v Corvantis.File >/dev/null"
check "Open with for .txt" sh -c "wine reg query 'HKLM\\Software\\Classes\\.txt\\OpenWithProgids' /v Corvantis.File >/dev/null"

Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb=$!
window=
trap 'kill $window $xvfb 2>/dev/null || true' EXIT
sleep 2
shoot() { # shoot NAME: the screen once the window shows (and had time to paint), as NAME.png
  # Wine starts slowly on a busy machine: the window is waited for, up to
  # CORVANTIS_WINDOWS_WAIT seconds.
  local waited=0
  until DISPLAY=":$display" xwininfo -root -tree 2>/dev/null | grep -q '"Corvantis' ||
    [ "$waited" -ge "${CORVANTIS_WINDOWS_WAIT:-120}" ]; do
    sleep 2
    waited=$((waited + 2))
  done
  sleep 8
  DISPLAY=":$display" import -window root "$out/$1.png"
  echo "screenshot: $out/$1.png"
  DISPLAY=":$display" xwininfo -root -tree >"$out/$1.windows" 2>&1 || true
  check "a Corvantis window is open at the screenshot ($1)" grep -q '"Corvantis' "$out/$1.windows"
  kill "$window" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}
(DISPLAY=":$display" wine "$program_files\\corvantis.exe" "$program_files\\Samples\\sample1.csv" \
  "$program_files\\Samples\\sample2.csv" --lines >"$out/window.log" 2>&1) &
window=$!
shoot window-lines

# As Explorer's "Send to": the shortcut started with the selected files.
docs=$WINEPREFIX/drive_c/Exports
mkdir -p "$docs"
cp "$stage/Samples/sample1.csv" "$docs/March export.csv"
cp "$stage/Samples/sample2.csv" "$docs/April export.csv"
(DISPLAY=":$display" wine start /wait "$sendto" 'C:\Exports\March export.csv' \
  'C:\Exports\April export.csv' >"$out/sendto.log" 2>&1) &
window=$!
shoot send-to
kill "$xvfb" 2>/dev/null || true

check "silent removal" wine msiexec /x "$(winepath -w "$msi")" /qn
check "corvantis-cli no longer on PATH" \
  sh -c "! wine cmd /c 'corvantis-cli --version' 2>&1 | grep -q '$version'"
wineserver -w
rm -rf "$docs"
listing after
check "no uninstall entry left" [ -z "$(uninstall_entries after)" ]
for kind in files registry; do
  echo "-- $kind the installers added ($(added before.$kind installed.$kind | wc -l); $out/installed.$kind)"
  echo "-- $kind left after removal, against before the first install:"
  added before.$kind after.$kind | sed 's/^/  + /'
  LC_ALL=C comm -23 "$out/before.$kind" "$out/after.$kind" | sed 's/^/  - /'
done
wineserver -k 2>/dev/null || true
step "Done"
exit $status

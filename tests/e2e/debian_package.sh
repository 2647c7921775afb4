#!/usr/bin/env bash
# The Debian packages. cpack refuses a build configured for another prefix than /usr
# (its programs would look for the data set there), so this packages a build for /usr:
# the build itself when it is one, else BUILD_DIR/package-build, configured and built
# here with the build's compiler, launcher and build type (programs and data set only).
# cpack -G DEB makes sunmarrow_VERSION_ARCH.deb and sunmarrow-data_VERSION_all.deb:
# their control data (the changelog's version, dpkg-shlibdeps' libraries, the exact
# data package, the fonts), their contents (programs, manual pages, desktop files in
# sunmarrow; the data set in sunmarrow-data; copyright and changelog in each); lintian
# reports no error and no warning; the programs are stripped, hardened and link no
# library they do not use; unpacked into a scratch root with dpkg -x, the capture tool
# renders the real show from / and the player names the unpacked and the /usr data
# folders. About 20 s, and the first time the build for /usr (minutes).
# Usage: debian_package.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
SOURCE_DIR=$(cd "${2:?source dir}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/player_lib.bash"
source "$here/lib/installed.sh"
installed_skip_without cmake cpack dpkg-deb dpkg-shlibdeps file lintian readelf ldd
[ -f "$BUILD_DIR/CPackConfig.cmake" ] || { echo "FAIL: $BUILD_DIR/CPackConfig.cmake is missing"; exit 1; }

cache() { sed -n "s/^$1:[A-Z]*=//p" "$BUILD_DIR/CMakeCache.txt"; }
# cpack DIR OUT: the packages of the build in DIR, made in OUT (log OUT.log).
cpack_in() { (cd "$E2E_TMP" && cpack -G DEB --config "$1/CPackConfig.cmake" -B "$2") >"$2.log" 2>&1; }
pkg=$BUILD_DIR
if [ "$(cache CMAKE_INSTALL_PREFIX)" != /usr ]; then
    cpack_in "$BUILD_DIR" "$E2E_TMP/refused"
    refused=$?
    e2e_check "cpack refuses a build for $(cache CMAKE_INSTALL_PREFIX), saying how to configure one" \
        "$refused:$(grep -c -- '-DCMAKE_INSTALL_PREFIX=/usr' "$E2E_TMP/refused.log")" "1:1"
    pkg=$BUILD_DIR/package-build
    { cmake -S "$SOURCE_DIR" -B "$pkg" -G "$(cache CMAKE_GENERATOR)" -DCMAKE_INSTALL_PREFIX=/usr \
        -DCMAKE_BUILD_TYPE="$(cache CMAKE_BUILD_TYPE)" -DSUNMARROW_TESTS=OFF -DSUNMARROW_BENCH=OFF \
        -DSUNMARROW_WERROR="$(cache SUNMARROW_WERROR)" \
        -DCMAKE_C_COMPILER="$(cache CMAKE_C_COMPILER)" -DCMAKE_CXX_COMPILER="$(cache CMAKE_CXX_COMPILER)" \
        -DCMAKE_C_COMPILER_LAUNCHER="$(cache CMAKE_C_COMPILER_LAUNCHER)" \
        -DCMAKE_CXX_COMPILER_LAUNCHER="$(cache CMAKE_CXX_COMPILER_LAUNCHER)" &&
        cmake --build "$pkg"; } >"$E2E_TMP/build.log" 2>&1 ||
        { echo "FAIL: the build for /usr in $pkg"; tail -n 30 "$E2E_TMP/build.log"; exit 1; }
fi
cpack_in "$pkg" "$E2E_TMP/package" || { echo "FAIL: cpack -G DEB"; cat "$E2E_TMP/package.log"; exit 1; }

version=$("$pkg/sunmarrow" --version | sed -n 's/^sunmarrow //p')
deb=$E2E_TMP/package/sunmarrow_${version}_$(dpkg --print-architecture).deb
data_deb=$E2E_TMP/package/sunmarrow-data_${version}_all.deb
[ -f "$deb" ] && [ -f "$data_deb" ] || { echo "FAIL: no $deb and $data_deb"; ls "$E2E_TMP/package"; exit 1; }

for d in "$deb" "$data_deb"; do dpkg-deb -f "$d"; echo; done
e2e_check "the programs' package" "$(dpkg-deb -f "$deb" Package Version Source | tr '\n' ' ')" \
    "Package: sunmarrow Version: $version Source: sunmarrow "
e2e_check "the data package, for every architecture" \
    "$(dpkg-deb -f "$data_deb" Package Version Architecture Source Depends | tr '\n' ' ')" \
    "Package: sunmarrow-data Version: $version Architecture: all Source: sunmarrow "
e2e_check "maintainer is named" "$(dpkg-deb -f "$deb" Maintainer | grep -c '<.*@.*>')" "1"
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//')
for dep in libc6 libstdc++6 libsdl2-2.0-0 libgtk-3-0 libmpg123-0 libglut libglu1 libpng16-16 \
    libfreetype6 libmp3lame0 libgl1 libegl1 fonts-dejavu-core fonts-dejavu-extra "sunmarrow-data (= $version)"; do
    e2e_check "depends on $dep" "$(grep -cF "$dep" <<<"$depends")" "1"
done
e2e_check "suggests ffmpeg" "$(dpkg-deb -f "$deb" Suggests)" "ffmpeg"

contents() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./||' | sort; }
contents "$deb" >"$E2E_TMP/program.list"
for f in usr/bin/sunmarrow usr/bin/sunmarrow-capture usr/bin/sunmarrow-scene usr/bin/sunmarrow-data \
    usr/share/man/man1/sunmarrow.1.gz usr/share/man/man1/sunmarrow-capture.1.gz \
    usr/share/man/man1/sunmarrow-scene.1.gz usr/share/man/man1/sunmarrow-data.1.gz \
    usr/share/doc/sunmarrow/copyright usr/share/doc/sunmarrow/changelog.gz \
    usr/share/applications/org.tessaly.Sunmarrow.desktop \
    usr/share/icons/hicolor/256x256/apps/org.tessaly.Sunmarrow.png \
    usr/share/metainfo/org.tessaly.Sunmarrow.metainfo.xml; do
    e2e_check "sunmarrow holds $f" "$(grep -cx "$f" "$E2E_TMP/program.list")" "1"
done
e2e_check "sunmarrow holds no data set" "$(grep -c '^usr/share/sunmarrow/' "$E2E_TMP/program.list")" "0"
{
    (cd "$pkg/data" && ls | sed 's|^|usr/share/sunmarrow/data/|')
    printf 'usr/share/doc/sunmarrow-data/%s\n' copyright changelog.gz
} | sort >"$E2E_TMP/data.want"
e2e_check "sunmarrow-data holds the data set, its copyright and changelog" \
    "$(contents "$data_deb" | diff "$E2E_TMP/data.want" - | grep '^[<>]' | tr '\n' ' ')" ""

lintian --display-info "$deb" "$data_deb" >"$E2E_TMP/lintian.log" 2>&1
echo "lintian:"; sed 's/^/  /' "$E2E_TMP/lintian.log"
e2e_check "lintian: no error, no warning" "$(grep -E '^[EW]:' "$E2E_TMP/lintian.log")" ""
e2e_check "lintian: hardened" "$(grep -c 'hardening-' "$E2E_TMP/lintian.log")" "0"

root=$E2E_TMP/root
dpkg -x "$deb" "$root"
dpkg -x "$data_deb" "$root"
programs=("$root"/usr/bin/sunmarrow*)
e2e_check "programs are stripped" "$(file -L "${programs[@]}" | grep -c ', stripped')" "4"
# has WHAT COMMAND...: how many of the programs' readelf reports (options COMMAND) match WHAT.
has() { local what=$1 p n=0; shift; for p in "${programs[@]}"; do readelf "$@" "$p" | grep -q -- "$what" && n=$((n + 1)); done; echo $n; }
e2e_check "programs are position-independent" "$(has 'Flags:.*PIE' -d)" "4"
e2e_check "programs bind at start (BIND_NOW)" "$(has 'BIND_NOW' -d)" "4"
e2e_check "programs have read-only relocations" "$(has 'GNU_RELRO' -lW)" "4"
e2e_check "programs guard their stacks" "$(has '__stack_chk_fail' --dyn-syms -W)" "4"
e2e_check "programs call the fortified functions" "$(has '__[a-z]*_chk@' --dyn-syms -W)" "4"
e2e_check "programs link no library they do not use" "$(ldd -u -r "${programs[@]}" 2>&1 | grep -A9 'Unused' | tr '\n\t' '  ')" ""

installed_reference
installed_render "unpacked" "$root/usr/bin/sunmarrow-capture"
folders=$(env -u DISPLAY "$root/usr/bin/sunmarrow" --help | grep -A2 '^  data ' | tail -n2)
e2e_check "the unpacked player looks in the unpacked data set after data/, then in /usr's" \
    "$(echo $folders)" "$root/usr/share/sunmarrow/data /usr/share/sunmarrow/data"

if [ "$E2E_FAILURES" -ne 0 ]; then
    cat "$E2E_TMP/package.log" "$E2E_TMP"/unpacked.err 2>/dev/null
    exit 1
fi
echo "all Debian package checks passed"

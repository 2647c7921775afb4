#!/usr/bin/env bash
# The Debian package: cpack -G DEB makes sunmarrow_VERSION_ARCH.deb whose control data
# name the package, the project's version and the libraries the programs link
# (dpkg-shlibdeps); it holds the stripped programs, the data set and the desktop files;
# unpacked into a scratch root with dpkg -x, its capture tool renders the real show
# from / and its player names the unpacked data folder. About 10 s.
# Usage: debian_package.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/player_lib.bash"
source "$here/lib/installed.sh"
installed_skip_without cpack dpkg-deb dpkg-shlibdeps file
[ -f "$BUILD_DIR/CPackConfig.cmake" ] || { echo "FAIL: $BUILD_DIR/CPackConfig.cmake is missing"; exit 1; }

(cd "$E2E_TMP" && cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$E2E_TMP/package") \
    >"$E2E_TMP/cpack.log" 2>&1 || { echo "FAIL: cpack -G DEB"; cat "$E2E_TMP/cpack.log"; exit 1; }
version=$("$BUILD_DIR/sunmarrow" --version | sed -n 's/^sunmarrow //p')
arch=$(dpkg --print-architecture)
deb=$E2E_TMP/package/sunmarrow_${version}_${arch}.deb
[ -f "$deb" ] || { echo "FAIL: no $deb"; ls "$E2E_TMP/package"; exit 1; }

info=$(dpkg-deb -I "$deb")
echo "$info" | sed -n '/^ Package:/,$p'
field() { echo "$info" | sed -n "s/^ $1: //p"; }
e2e_check "package name" "$(field Package)" "sunmarrow"
e2e_check "package version is the project's" "$(field Version)" "$version"
e2e_check "maintainer is named" "$(field Maintainer | grep -c '<.*@.*>')" "1"
depends=$(field Depends)
for lib in libc6 libstdc++6 libsdl2-2.0-0 libgtk-3-0 libmpg123-0 libglut libglu1 libpng16-16 \
    libfreetype6 libmp3lame0 libgl1 libegl1; do
    e2e_check "depends on $lib" "$(echo "$depends" | tr ',' '\n' | grep -c "^ *$lib")" "1"
done

dpkg-deb -c "$deb" | awk '{print $NF}' >"$E2E_TMP/contents.list"
for f in usr/bin/sunmarrow usr/bin/sunmarrow-capture usr/bin/sunmarrow-scene usr/bin/sunmarrow-data \
    usr/share/sunmarrow/data/sunmarrow.mp3 usr/share/applications/org.tessaly.Sunmarrow.desktop \
    usr/share/icons/hicolor/256x256/apps/org.tessaly.Sunmarrow.png \
    usr/share/metainfo/org.tessaly.Sunmarrow.metainfo.xml; do
    e2e_check "package holds $f" "$(grep -cx "\./$f" "$E2E_TMP/contents.list")" "1"
done

root=$E2E_TMP/root
dpkg -x "$deb" "$root"
e2e_check "programs are stripped" "$(file -L "$root"/usr/bin/sunmarrow* | grep -c ', stripped')" "4"
installed_reference
installed_render "unpacked" "$root/usr/bin/sunmarrow-capture"
e2e_check "the unpacked player looks in the unpacked data set after data/" \
    "$(env -u DISPLAY "$root/usr/bin/sunmarrow" --help | grep -A1 '^  data ' | tail -n1)" "  $root/usr/share/sunmarrow/data"

if [ "$E2E_FAILURES" -ne 0 ]; then
    cat "$E2E_TMP/cpack.log" "$E2E_TMP"/unpacked.err 2>/dev/null
    exit 1
fi
echo "all Debian package checks passed"

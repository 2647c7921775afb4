#!/usr/bin/env bash
# cmake --install into a clean prefix: exactly the four programs and their manual pages,
# the build's data set, the desktop entry, the icon at each size, the AppStream metadata,
# which validate (desktop-file-validate, appstreamcli validate --no-net, and the tree as
# a whole), and the copyright and changelog of both packages; each installed program
# says its name and version; then the installed capture tool, started from /, renders
# the real show from the installed data set, and the installed player names that
# folder. About 5 s.
# Usage: install.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/player_lib.bash"
source "$here/lib/installed.sh"
installed_skip_without cmake desktop-file-validate appstreamcli identify

prefix=$E2E_TMP/prefix
cmake --install "$BUILD_DIR" --prefix "$prefix" >"$E2E_TMP/install.log" 2>&1 ||
    { echo "FAIL: cmake --install"; cat "$E2E_TMP/install.log"; exit 1; }

id=org.tessaly.Sunmarrow
sizes=(16 22 24 32 48 64 128 256)
{
    printf 'bin/%s\n' sunmarrow sunmarrow-capture sunmarrow-data sunmarrow-scene
    printf 'share/applications/%s.desktop\n' "$id"
    for s in "${sizes[@]}"; do printf 'share/icons/hicolor/%sx%s/apps/%s.png\n' "$s" "$s" "$id"; done
    printf 'share/metainfo/%s.metainfo.xml\n' "$id"
    printf 'share/man/man1/%s.1.gz\n' sunmarrow sunmarrow-capture sunmarrow-data sunmarrow-scene
    printf 'share/doc/%s/copyright\nshare/doc/%s/changelog.gz\n' sunmarrow sunmarrow sunmarrow-data sunmarrow-data
    (cd "$BUILD_DIR/data" && ls | sed 's|^|share/sunmarrow/data/|')
} | sort >"$E2E_TMP/want.list"
(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$E2E_TMP/got.list"
e2e_check "installed files" "$(diff "$E2E_TMP/want.list" "$E2E_TMP/got.list" | grep '^[<>]' | tr '\n' ' ')" ""
e2e_check "data set installed as built" "$(diff -r "$BUILD_DIR/data" "$prefix/share/sunmarrow/data" >/dev/null && echo same)" "same"
for s in "${sizes[@]}"; do
    e2e_check "icon ${s}x${s}" "$(identify -format '%wx%h %[channels]' "$prefix/share/icons/hicolor/${s}x${s}/apps/$id.png" 2>&1)" "${s}x${s} srgba"
done

desktop-file-validate "$prefix/share/applications/$id.desktop" >"$E2E_TMP/desktop.log" 2>&1
e2e_check "desktop entry validates" "$?$(cat "$E2E_TMP/desktop.log")" "0"
e2e_check "desktop entry starts the installed player" \
    "$(sed -n 's/^Exec=//p' "$prefix/share/applications/$id.desktop")" "sunmarrow"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$E2E_TMP/metainfo.log" 2>&1
e2e_check "AppStream metadata validates" "$?" "0"
appstreamcli validate-tree --no-net "$prefix" >"$E2E_TMP/tree.log" 2>&1
e2e_check "metadata, desktop entry and icons validate together" "$?" "0"

e2e_check "manual pages name no build folder" "$(zgrep -l "$BUILD_DIR" "$prefix"/share/man/man1/*)" ""
version=$("$BUILD_DIR/sunmarrow" --version)
for p in sunmarrow-capture sunmarrow-data sunmarrow-scene; do
    e2e_check "$p --version" "$("$prefix/bin/$p" --version)" "${version/sunmarrow/$p}"
done

installed_reference
installed_render "installed" "$prefix/bin/sunmarrow-capture"
e2e_check "the installed player looks in the installed data set after data/" \
    "$(env -u DISPLAY "$prefix/bin/sunmarrow" --help | grep -A1 '^  data ' | tail -n1)" "  $prefix/share/sunmarrow/data"

if [ "$E2E_FAILURES" -ne 0 ]; then
    cat "$E2E_TMP"/*.log "$E2E_TMP"/installed.err 2>/dev/null
    exit 1
fi
echo "all install checks passed"

# Helpers for the install and package scripts (sourced after player_lib.bash, not a
# test of its own): the skip when the build has no data set to install, the frame the
# build's capture tool renders beside the build's data set, and the check that a capture
# tool installed elsewhere, started from / or beside a stray data/, renders that same
# picture from the data set installed with it. Callers set BUILD_DIR first.

INSTALLED_TIME=60.2     # the path into the trees, with a caption
INSTALLED_SIZE=160x120

# installed_skip_without TOOL...: exit 77 naming the first tool that is missing, or the
# data set when the build did not generate one.
installed_skip_without() {
    local tool
    for tool in "$@" convert; do
        command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
    done
    [ -f "$BUILD_DIR/data/sunmarrow.mp3" ] ||
        { echo "skipped: the build generated no data set to install (SUNMARROW_DATA is OFF)"; exit 77; }
    [ ! -e /data ] || { echo "skipped: /data exists here, so a run from / would read it"; exit 77; }
}

# installed_reference: $E2E_TMP/reference.png, rendered by the build's own capture tool
# in a working directory whose data/ is the build's data set.
installed_reference() {
    mkdir -p "$E2E_TMP/reference"
    ln -s "$BUILD_DIR/data" "$E2E_TMP/reference/data"
    (cd "$E2E_TMP/reference" && SDL_VIDEODRIVER=offscreen "$BUILD_DIR/sunmarrow-capture" frame \
        --time "$INSTALLED_TIME" --size "$INSTALLED_SIZE" --out "$E2E_TMP/reference.png" >/dev/null) ||
        { echo "FAIL: the build's capture tool did not render the reference frame"; exit 1; }
}

# installed_render WHAT CAPTURE: renders the frame with CAPTURE from /, and again from a
# folder whose stray data/ holds one file (not a data set, so it must be passed over),
# and checks each is the real picture: status 0, no "Error reading file", not black, the
# reference's pixels.
installed_render() {
    local what=$1 capture=$2 from where out mean
    mkdir -p "$E2E_TMP/stray/data"
    cp "$BUILD_DIR/data/texture.raw" "$E2E_TMP/stray/data/"
    for from in / "$E2E_TMP/stray"; do
        where="$what, from $from"
        out=$E2E_TMP/$what.png
        (cd "$from" && SDL_VIDEODRIVER=offscreen "$capture" frame --time "$INSTALLED_TIME" \
            --size "$INSTALLED_SIZE" --out "$out" >"$E2E_TMP/$what.out" 2>"$E2E_TMP/$what.err")
        e2e_check "$where: the frame renders" "$?" "0"
        e2e_check "$where: every data file is read" "$(grep -c 'Error' "$E2E_TMP/$what.out")" "0"
        mean=$(convert "$out" -colorspace Gray -format '%[fx:int(mean*1000)]' info: 2>/dev/null)
        e2e_check "$where: the frame is not black (mean ${mean:-none}/1000)" "$((${mean:-0} > 100))" "1"
        e2e_check "$where: the frame is the build's own" "$(cmp -s "$out" "$E2E_TMP/reference.png" && echo same)" "same"
    done
}

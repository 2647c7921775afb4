#!/usr/bin/env bash
# A truly fresh Debian 12: a minimal root made with debootstrap (variant minbase, the
# mirror read from this machine's apt sources) proves two promises.
#   1. The README's set-up is enough: in a copy of the root, scripts/deps.sh then
#      scripts/build.sh build the programs and generate the data set, and cpack makes
#      the packages.
#   2. The packages' Depends are enough: in another copy, apt installs those packages
#      with no recommends, and from / `sunmarrow --help` answers, `sunmarrow-capture
#      frame` paints a picture that is not black, `sunmarrow-data` writes the same data
#      set as the build, and the player plays under Xvfb for a few seconds.
# Root, debootstrap and a reachable mirror are needed; without them the check skips,
# and in CI (CI set) it fails instead. What can be kept is kept in BUILD_DIR/fresh-root:
# the packages downloaded (seeded from this machine's apt cache) and the pristine root.
# Ten to fifteen minutes from nothing; about half that with the cache.
# Usage: fresh_root.sh BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
SOURCE_DIR=$(cd "${2:?source dir}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/player_lib.bash"

# cannot_run WHY: a skip here, a failure in CI, where this check must run.
cannot_run() {
    case ${CI:-} in
        "" | false | 0) echo "skipped: $1"; exit 77 ;;
        *) echo "FAIL: the fresh-root check cannot run in CI: $1"; exit 1 ;;
    esac
}
[ "$(id -u)" = 0 ] || cannot_run "making a root with debootstrap needs root"
for tool in debootstrap chroot mount umount findmnt convert Xvfb; do
    command -v "$tool" >/dev/null 2>&1 || cannot_run "$tool is not installed"
done

# The first bookworm mirror in apt's sources (one-line or deb822 form).
mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /\]$/) { if ($(i + 1) == "bookworm") { print $i; exit } break } }')
[ -n "$mirror" ] || mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '
    /^$/ { if (uri != "" && suites ~ /(^| )bookworm( |$)/) { print uri; exit } uri = ""; suites = "" }
    /^URIs:/ { uri = $2 } /^Suites:/ { $1 = ""; suites = $0 }
    END { if (uri != "" && suites ~ /(^| )bookworm( |$)/) print uri }' | head -n1)
[ -n "$mirror" ] || cannot_run "no bookworm mirror in apt's sources"

cache=$BUILD_DIR/fresh-root
debs=$cache/debs
work=$cache/work
mkdir -p "$debs"

# Every mount under the roots, deepest first; the roots are removed only when none is left.
unmount_roots() {
    local target
    findmnt -rn -o TARGET | grep "^$work/" | sort -r | while read -r target; do umount -l "$target"; done
}
remove_roots() {
    unmount_roots
    if findmnt -rn -o TARGET | grep -q "^$work/"; then
        echo "left $work in place: something is still mounted under it"
        return
    fi
    rm -rf "$work"
}
trap 'remove_roots; e2e_cleanup' EXIT
remove_roots
mkdir -p "$work"

# Packages this machine has downloaded already serve the roots too.
find /var/cache/apt/archives -maxdepth 1 -name '*.deb' -exec cp -n -l -t "$debs" {} + 2>/dev/null ||
    find /var/cache/apt/archives -maxdepth 1 -name '*.deb' -exec cp -n -t "$debs" {} + 2>/dev/null

# --- the pristine root, made once and kept as a tar
base=$cache/minbase.tar
if [ ! -s "$base" ]; then
    echo "debootstrap --variant=minbase bookworm from $mirror"
    started=$SECONDS
    debootstrap --variant=minbase --cache-dir="$debs" bookworm "$work/base" "$mirror" >"$work/debootstrap.log" 2>&1 ||
        { tail -n 30 "$work/debootstrap.log"; cannot_run "debootstrap could not make a root from $mirror"; }
    tar -C "$work/base" -cf "$base.part" . && mv "$base.part" "$base"
    rm -rf "$work/base"
    echo "made the minimal root in $((SECONDS - started)) s"
fi

# new_root NAME: a fresh copy of the pristine root at $work/NAME with this machine's apt
# sources and settings for reaching them, the packages already downloaded (hard links
# where they can be), and /proc.
new_root() {
    local root=$work/$1
    mkdir -p "$root"
    tar -C "$root" -xf "$base"
    rm -f "$root"/etc/apt/sources.list "$root"/etc/apt/sources.list.d/*
    cp -t "$root/etc/apt" /etc/apt/sources.list 2>/dev/null
    find /etc/apt/sources.list.d -maxdepth 1 \( -name '*.list' -o -name '*.sources' \) -exec cp -t "$root/etc/apt/sources.list.d" {} +
    grep -lis acquire /etc/apt/apt.conf.d/* | xargs -r cp -t "$root/etc/apt/apt.conf.d"
    [ -d /etc/apt/auth.conf.d ] && cp -r /etc/apt/auth.conf.d "$root/etc/apt/"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    cp -l -n -t "$root/var/cache/apt/archives" "$debs"/*.deb 2>/dev/null ||
        cp -n -t "$root/var/cache/apt/archives" "$debs"/*.deb 2>/dev/null
    mount -t proc proc "$root/proc" 2>/dev/null || echo "note: no /proc in $1 (mount refused)" >&2
    echo "$root"
}

# keep_packages ROOT: what apt downloaded in ROOT stays for the next run.
keep_packages() {
    cp -l -n -t "$debs" "$1"/var/cache/apt/archives/*.deb 2>/dev/null ||
        cp -n -t "$debs" "$1"/var/cache/apt/archives/*.deb 2>/dev/null
}

# in_root ROOT LOG COMMAND: COMMAND in bash inside ROOT, as root with a plain
# environment, its output to LOG; its status.
in_root() {
    env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        CI="${CI:-}" DEBIAN_FRONTEND=noninteractive ${DISPLAY:+DISPLAY=$DISPLAY} \
        chroot "$1" /bin/bash -c "$3" >"$2" 2>&1
}

# --- 1. the README's set-up and build
builder=$(new_root builder)
mkdir -p "$builder/src"
if [ -e "$SOURCE_DIR/.git" ] && command -v git >/dev/null 2>&1; then
    (cd "$SOURCE_DIR" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - 2>/dev/null) |
        tar -C "$builder/src" -xf -
else
    tar -C "$SOURCE_DIR" --exclude="./${BUILD_DIR#"$SOURCE_DIR"/}" -cf - . | tar -C "$builder/src" -xf -
fi
started=$SECONDS
in_root "$builder" "$E2E_TMP/deps.log" "cd /src && scripts/deps.sh"
e2e_check "fresh root: scripts/deps.sh installs the build's needs ($((SECONDS - started)) s)" "$?" "0"
keep_packages "$builder"
started=$SECONDS
in_root "$builder" "$E2E_TMP/build.log" "cd /src && BUILD_DIR=/build scripts/build.sh -DSUNMARROW_TESTS=OFF \
    -DSUNMARROW_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr && cd /build && cpack -G DEB -B /packages"
e2e_check "fresh root: scripts/build.sh builds, generates the data set and packages ($((SECONDS - started)) s)" "$?" "0"
e2e_check "fresh root: the data set is whole" "$(ls "$builder/build/data" 2>/dev/null | wc -l)" "14"
packages=$(find "$builder/packages" -maxdepth 1 -name '*.deb' -printf '%f ' 2>/dev/null)
echo "packages: $packages"
if [ "$E2E_FAILURES" -ne 0 ] || [ -z "$packages" ]; then
    tail -n 40 "$E2E_TMP/deps.log" "$E2E_TMP/build.log"
    exit 1
fi

# --- 2. the packages' Depends alone
player=$(new_root player)
mkdir -p "$player/packages"
cp "$builder"/packages/*.deb "$player/packages/"
started=$SECONDS
in_root "$player" "$E2E_TMP/install.log" "apt-get update -qq && apt-get install -y -qq --no-install-recommends /packages/*.deb"
e2e_check "fresh root: apt installs the packages with their Depends alone ($((SECONDS - started)) s)" "$?" "0"
keep_packages "$player"

in_root "$player" "$E2E_TMP/help.log" "cd / && sunmarrow --help"
e2e_check "fresh root: sunmarrow --help" "$?$(grep -c '^usage: sunmarrow ' "$E2E_TMP/help.log")" "01"

in_root "$player" "$E2E_TMP/frame.log" "cd / && SDL_VIDEODRIVER=offscreen sunmarrow-capture frame --time 60.2 \
    --size 160x120 --out /tmp/frame.png"
e2e_check "fresh root: sunmarrow-capture frame from /" "$?$(grep -c Error "$E2E_TMP/frame.log")" "00"
mean=$(convert "$player/tmp/frame.png" -colorspace Gray -format '%[fx:int(mean*1000)]' info: 2>/dev/null)
e2e_check "fresh root: the frame is painted, not black (mean ${mean:-none}/1000)" "$((${mean:-0} > 100))" "1"

in_root "$player" "$E2E_TMP/data.log" "cd / && sunmarrow-data --out /tmp/data"
e2e_check "fresh root: sunmarrow-data" "$?" "0"
e2e_check "fresh root: sunmarrow-data writes the build's data set" \
    "$(diff -r "$builder/build/data" "$player/tmp/data" >/dev/null && echo same)" "same"

# The player on this machine's display server (its abstract socket reaches into the root).
e2e_start_display 640x480
in_root "$player" "$E2E_TMP/player.log" "cd / && SDL_AUDIODRIVER=dummy timeout 6 sunmarrow --windowed --size 640x480"
e2e_check "fresh root: the player still plays after 6 s" "$?" "124"

if [ "$E2E_FAILURES" -ne 0 ]; then
    tail -n 20 "$E2E_TMP"/{install,help,frame,data,player}.log 2>/dev/null
    exit 1
fi
echo "all fresh-root checks passed"

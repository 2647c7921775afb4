#!/bin/sh
# A program's --help or --version as help2man reads it for the manual page. PROGRAM is
# a copy set up in STAGE as if installed in PREFIX: STAGE is named PREFIX (each folder
# is then listed once, as by a program installed there). "usage:" becomes help2man's
# "Usage:" and the further forms of it "or:", so they make the SYNOPSIS; each line of
# an indented list (commands, folders) is a paragraph of its own, which help2man would
# otherwise join into one.
# Usage: man_help.sh PROGRAM STAGE PREFIX ARG...
program=$1 stage=$2 prefix=$3
shift 3
out=$(cd / && "$program" "$@") || exit
printf '%s\n' "$out" | sed "s|$stage|$prefix|g" | awk -v name="${program##*/}" '
    /^  \// && seen[$0]++ { next }
    /^usage: / { sub(/^usage:/, "Usage:"); usage = 1; print; next }
    usage && $0 ~ ("^ +" name " ") { sub(/^ +/, "  or:  "); print; next }
    { usage = 0 }
    /^  [^ -]/ && listed { print "" }
    { listed = /^  [^ -]/; print }'

#!/usr/bin/env bash
# No product code calls the ANSI form of a Windows function: text reaches Windows as UTF-16, so a
# name outside the system's code page survives on every Windows, whatever the manifest says. Read
# from what the product's own object files import (not libqpdf's, the runtime's or the tests'):
# __imp_NameA counts when mingw's import libraries also have NameW, so a name that merely ends in A
# does not. And the Windows layer has one of each text helper, no narrow twin beside a wide one.
# Usage: no-ansi-calls.sh NM IMPORT_LIBRARY_DIR BUILD_DIR WIN_SOURCE_DIR
set -uo pipefail
nm=$1 libraries=$2 build=$3 win=$4
# Functions that keep their ANSI form, each with why: [NameA]="reason". None so far.
declare -A allowed=()

cd "$build" || exit 1
mapfile -t objects < <(find common settings saveprompt settingsdesk win tools printing -name '*.obj' 2>/dev/null)
[ "${#objects[@]}" -gt 0 ] || { echo "no object files of the product under $build: build it first"; exit 1; }
# "NameA folder/File.cpp" for every ANSI-looking import; then the names whose W form exists.
imports=$("$nm" -u -A "${objects[@]}" | sed -n 's|^\([^/]*\)/CMakeFiles/[^/]*\.dir/\(.*\)\.obj:.* U __imp_\(.*A\)$|\3 \1/\2|p' | sort -u)
wide=$(grep -aoxFf <(cut -d' ' -f1 <<<"$imports" | sed 's/A$/W/; s/^/__imp_/' | sort -u) \
  <(cat "$libraries"/lib*.a | tr '\0' '\n') | sort -u)
failed=0
while read -r name file; do
  [ -n "$name" ] && grep -qx "__imp_${name%A}W" <<<"$wide" && [ -z "${allowed[$name]+set}" ] || continue
  echo "ANSI call $name in $file"; failed=1
done <<<"$imports"
for helper in ForEachEntry ProgramFolder ErrorText; do
  declared=$(grep -hE "\b${helper}W?\(" "$win"/*.h)
  [ "$(grep -c . <<<"$declared")" -eq 1 ] || { echo "win/ is to declare $helper once, not:"$'\n'"$declared"; failed=1; }
done
exit "$failed"

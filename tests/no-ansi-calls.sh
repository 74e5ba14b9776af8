#!/usr/bin/env bash
# No product code calls a Windows function's ANSI form (NameA where mingw's import libraries also
# have NameW), read from what the product's own object files import: not libqpdf, the runtime or
# the tests. And win/ declares one of each text helper, no narrow twin beside the wide one.
# Usage: no-ansi-calls.sh NM IMPORT_LIBRARY_DIR BUILD_DIR WIN_SOURCE_DIR
set -uo pipefail
nm=$1 libraries=$2 build=$3 win=$4
allowed=()  # functions that keep their ANSI form, each with why beside it: none
cd "$build" || exit 1
mapfile -t objects < <(find common settings saveprompt settingsdesk win tools printing -name '*.obj' 2>/dev/null)
[ "${#objects[@]}" -gt 0 ] || { echo "no object files of the product under $build: build it first"; exit 1; }
imports=$("$nm" -u -A "${objects[@]}" | sed -n 's|^\([^/]*\)/CMakeFiles/[^/]*\.dir/\(.*\)\.obj:.* U __imp_\(.*\)A$|\3 \1/\2|p' | sort -u)
wide=$(grep -aoxFf <(cut -d' ' -f1 <<<"$imports" | sed 's/.*/__imp_&W/') <(cat "$libraries"/lib*.a | tr '\0' '\n'))
awk -v allowed=" ${allowed[*]} " 'NR == FNR { sub(/^__imp_/, ""); sub(/W$/, ""); wide[$0]; next }
  NF && ($1 in wide) && !index(allowed, " " $1 "A ") { print "ANSI call " $1 "A in " $2; found = 1 } END { exit found }' \
  <(echo "$wide") - <<<"$imports" || failed=1
for helper in ForEachEntry ProgramFolder ErrorText; do
  declared=$(grep -hE "\b${helper}W?\(" "$win"/*.h)
  [ "$(grep -c . <<<"$declared")" -eq 1 ] || { echo "win/ is to declare $helper once, not:"$'\n'"$declared"; failed=1; }
done
exit "${failed:-0}"

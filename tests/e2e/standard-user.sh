#!/usr/bin/env bash
# Print jobs as a standard user. Wine maps file access to the Linux permissions of the user who runs
# it (root ignores them), so a non-root Linux user owns a fresh prefix with the product installed,
# and the system folder and the program folder lose their write permission, as Windows keeps them
# for a standard user; the scratch folder stays writable, as the installer leaves it. The user's
# temporary folder has a blank in its name, as many Windows user names do.
# Usage: standard-user.sh INSTALLER UIDRIVER WORKDIR   (inside an X display; as root the user is made)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
installer=$(realpath "$1") uidriver=$(realpath "$2") work=$(mkdir -p "$3" && realpath "$3")

if [ "$(id -u)" -eq 0 ]; then
  user=folvarek-standard
  id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user" || { echo "cannot add $user"; exit 1; }
  as_user=(runuser -u "$user" --)
else
  user=$(id -un) as_user=()
fi
prefix="$work/prefix"
# A previous run left read-only folders behind.
chmod -R u+w "$prefix" 2>/dev/null; rm -rf "$prefix"
chown "$user" "$work"
# The display of this run, for the other user too.
if [ -n "${XAUTHORITY:-}" ]; then cp "$XAUTHORITY" "$work/Xauthority" && chown "$user" "$work/Xauthority"; fi

wine_as_user() {
  "${as_user[@]}" env HOME="$(getent passwd "$user" | cut -d: -f6)" DISPLAY="$DISPLAY" XAUTHORITY="$work/Xauthority" \
    WINEPREFIX="$prefix" FOLVAREK_BUILD="$work" bash -c 'source "$0/scripts/wine-env"; "$@"' "$root" "$@"
}

# Wine's drive Z: is the Linux root.
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }

drive_c="$prefix/drive_c"
app="$drive_c/Program Files/Folvarek"
sys32="$drive_c/windows/system32"
own_temp="C:\\users\\$user\\Local Temp"
sample="$work/Quarterly report.pdf"
passed=0 failed=0

# One job: `system` is the system folder's state (read-only or writable), `staging` the Windows
# folder the stamp line must name.
job() {
  local name=$1 system=$2 staging=$3 ok=1 pid
  fail() { echo "  FAIL [$name] $*"; ok=0; }
  [ "$system" = writable ] && chmod u+w "$sys32" || chmod a-w "$sys32"
  "${as_user[@]}" cp "$sample" "$app/temp/"
  wine_as_user env WINEDEBUG=+process wine 'C:\Program Files\Folvarek\saveprompt.exe' 2>"$work/trace.log" </dev/null &
  pid=$!
  wine_as_user wine "$(windows_path "$uidriver")" save "Save File As" "$name" || fail "no Save File As dialog"
  timeout 120 tail --pid="$pid" -f /dev/null || { fail "saveprompt still running after 120 s"; kill "$pid"; }

  python3 "$root/tests/e2e/check_pdf.py" "$drive_c/Out/$name.pdf" --pages 3 --stamp --text "Quarterly Report" \
    --encrypted yes --print withheld --extract withheld --metadata Folvarek || fail "result checks"
  # Wine's trace writes the started command line with its backslashes doubled.
  local line
  line=$(grep -a 'cmdline' "$work/trace.log" | grep -a 'background' | head -1)
  for file in temp.pdf stamp.pdf; do
    [[ "$line" == *"${staging//\\/\\\\}\\\\$file"* ]] || fail "the stamp line does not name $staging\\$file: $line"
  done
  for f in temp.pdf stamp.pdf Kestrix.exe; do [ ! -e "$sys32/$f" ] || fail "$f left in the system folder"; done
  [ ! -e "$drive_c/users/$user/Local Temp/Folvarek" ] || fail "left in the user's folder: $(ls -A "$drive_c/users/$user/Local Temp/Folvarek")"
  [ -z "$(ls -A "$app/temp")" ] || fail "the scratch folder still holds: $(ls "$app/temp")"
  if [ "$ok" -eq 1 ]; then passed=$((passed + 1)); echo "  ok   $name"; else failed=$((failed + 1)); fi
}

echo "standard user $user: fresh prefix $prefix"
wine_as_user folvarek_new_prefix
trap 'wine_as_user folvarek_end_prefix; chmod -R u+w "$prefix"' EXIT
wine_as_user wine "$(windows_path "$installer")" /S || { echo "install failed"; exit 1; }
groff -ms -t -Tpdf -dpaper=a4 -P-pa4 "$root/tests/e2e/sample-document.ms" > "$sample"
mkdir -p "$drive_c/Out" "$drive_c/users/$user/Local Temp" && chown "$user" "$drive_c/Out" "$drive_c/users/$user/Local Temp"
for setting in 'SaveLocation\Path C:\Out' 'Password\Opt 0' 'AllowCopy\Opt 1' 'AllowPrint\Opt 1' 'ViewPDF\Opt 0' \
  'HKCU\Environment TEMP' 'HKCU\Environment TMP'; do
  read -r key value <<<"$setting"
  case $key in
    HKCU*) wine_as_user wine reg add "$key" /v "$value" /d "$own_temp" /f ;;
    *) wine_as_user wine reg add "HKLM\\SOFTWARE\\Folvarek\\$key" /ve /d "$value" /f ;;
  esac >/dev/null 2>&1
done
chmod a-w "$app"

job "standard user" read-only "$own_temp\\Folvarek"
job "writable system folder" writable 'C:\windows\system32'

echo "standard user: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

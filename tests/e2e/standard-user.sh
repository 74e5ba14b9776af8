#!/usr/bin/env bash
# Print jobs as a standard user: Wine maps file access to the Linux permissions of its (non-root)
# user, who owns a fresh prefix with the product installed, whose system and program folders are
# made read-only (as Windows leaves them for a standard user). The job's PDF comes in the user's own
# scratch folder; the user's temporary folder has a blank, as many Windows user names do.
# Usage: standard-user.sh INSTALLER UIDRIVER TOOL_DOUBLE WORKDIR   (inside an X display; as root the user is made)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
installer=$(realpath "$1") uidriver=$(realpath "$2") tool_double=$(realpath "$3") work=$(mkdir -p "$4" && realpath "$4")

if [ "$(id -u)" -eq 0 ]; then
  user=folvarek-standard
  id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user" || { echo "cannot add $user"; exit 1; }
  as_user=(runuser -u "$user" --)
else
  user=$(id -un) as_user=()
fi
prefix="$work/prefix"
export WINEPREFIX="$prefix"
source "$root/scripts/wine-env"
# A previous run left read-only folders behind.
chmod -R u+w "$prefix" 2>/dev/null; rm -rf "$prefix"
chown "$user" "$work"
# The display of this run, for the other user too.
if [ -n "${XAUTHORITY:-}" ]; then cp "$XAUTHORITY" "$work/Xauthority" && chown "$user" "$work/Xauthority"; fi

wine_as_user() {
  "${as_user[@]}" env HOME="$(getent passwd "$user" | cut -d: -f6)" DISPLAY="$DISPLAY" XAUTHORITY="$work/Xauthority" \
    WINEPREFIX="$prefix" FOLVAREK_BUILD="$work" FOLVAREK_RUN_PID="${FOLVAREK_RUN_PID:-}" bash -c 'source "$0/scripts/wine-env"; "$@"' "$root" "$@"
}

drive_c="$prefix/drive_c"
app="$drive_c/Program Files/Folvarek"
sys32="$drive_c/windows/system32"
own_temp="C:\\users\\$user\\Local Temp"
scratch="$drive_c/users/$user/AppData/Local/Folvarek/temp"
sample="$work/Quarterly report.pdf"
passed=0 failed=0

# One job, a row of the table below: the job's PDF (the sample, or an empty one), pdfenc (the
# installed one, or the tool double told to leave an empty file), and what the user must get: the
# result stamped from the Windows folder named, or message 3 with this text after the line break
# (without a Save dialog for an empty job PDF).
job() {
  local name=$1 input=$2 pdfenc=$3 expected=$4 ok=1 pid
  fail() { echo "  FAIL [$name] $*"; ok=0; }
  "${as_user[@]}" mkdir -p "$scratch"
  if [ "$input" = empty ]; then "${as_user[@]}" touch "$scratch/$name.pdf"; else "${as_user[@]}" cp "$sample" "$scratch/"; fi
  [ "$pdfenc" = empty ] && cp "$tool_double" "$app/pdfenc.exe" && echo "mode=empty" > "$work/doubles/pdfenc.control"
  touch "$work/job-start"
  wine_as_user env WINEDEBUG=+process FOLVAREK_DOUBLES="$(folvarek_windows_path "$work/doubles")" \
    wine 'C:\Program Files\Folvarek\saveprompt.exe' 2>"$work/trace.log" </dev/null &
  pid=$!
  if [[ "$expected" == refused* ]]; then
    local box refused=${expected#refused }
    box=$(wine_as_user wine "$(folvarek_windows_path "$uidriver")" --timeout 60000 box "Folvarek  [Options]" OK | tr -d '\r')
    [ "$box" = "Folvarek  [Options] | Folvarek could not save to $refused\\${sample##*/}: Access denied. Choose where to save it. | OK | exclamation" ] ||
      fail "message: $box"
    expected="staged $own_temp\\Folvarek"
  fi
  [ "$input" = empty ] || wine_as_user wine "$(folvarek_windows_path "$uidriver")" --timeout 60000 save "Save File As" "$name" || fail "no Save File As dialog"
  if [[ "$expected" == message* ]]; then
    local box message="Folvarek could not write the file on the specified path due to follwing error\r\n${expected#message }"
    box=$(wine_as_user wine "$(folvarek_windows_path "$uidriver")" --timeout 60000 box "Folvarek - Options" OK | tr -d '\r')
    [ "$box" = "Folvarek - Options | $message | OK | stop" ] || fail "message: $box"
    [ ! -e "$drive_c/Out/$name.pdf" ] || fail "$name.pdf was left in the save folder"
  fi
  # A job left waiting on a message nobody answers is ended with everything else Wine runs.
  timeout 90 tail --pid="$pid" -f /dev/null || { fail "saveprompt still running after 90 s"; wine_as_user wineserver -k; }

  if [[ "$expected" == staged* ]]; then
    local staging=${expected#staged } line
    python3 "$root/tests/e2e/check_pdf.py" "$drive_c/Out/$name.pdf" --pages 3 --stamp --text "Quarterly Report" \
      --encrypted yes --print withheld --extract withheld --metadata Folvarek || fail "result checks"
    # Wine's trace shows the started command line with its backslashes doubled.
    line=$(grep -a 'cmdline' "$work/trace.log" | grep -a 'background' | head -1)
    for file in temp.pdf stamp.pdf; do
      [[ "$line" == *"${staging//\\/\\\\}\\\\$file"* ]] || fail "the stamp line does not name $staging\\$file: $line"
    done
  fi
  local written
  written=$(folvarek_shared_writes_since "$work/job-start")
  [ -z "$written" ] || fail "the job wrote under Program Files or the system folder: $written"
  [ ! -e "$drive_c/users/$user/Local Temp/Folvarek" ] || fail "left in the user's folder: $(ls -A "$drive_c/users/$user/Local Temp/Folvarek")"
  [ -z "$(ls -A "$scratch" 2>/dev/null)" ] || fail "the scratch folder still holds: $(ls "$scratch")"
  cp "$work/pdfenc.exe" "$app/pdfenc.exe"
  if [ "$ok" -eq 1 ]; then passed=$((passed + 1)); echo "  ok   $name"; else failed=$((failed + 1)); fi
}

echo "standard user $user: fresh prefix $prefix"
FOLVAREK_RUN_PID=$$ wine_as_user folvarek_new_prefix
trap 'wine_as_user folvarek_end_prefix; chmod -R u+w "$prefix"' EXIT
# The jobs here start saveprompt themselves: without a print driver in this prefix the installer
# puts the programs in place and says, with 4, that it set up no print path.
wine_as_user wine "$(folvarek_windows_path "$installer")" /S
rc=$?; [ "$rc" -eq 4 ] || { echo "install ended with $rc, not 4 (programs without the print path)"; exit 1; }
groff -ms -t -Tpdf -dpaper=a4 -P-pa4 "$root/tests/e2e/sample-document.ms" > "$sample"
mkdir -p "$drive_c/Out" "$drive_c/users/$user/Local Temp" && chown "$user" "$drive_c/Out" "$drive_c/users/$user/Local Temp"
for setting in 'SaveLocation\Path=C:\Out' 'Password\Opt=0' 'AllowCopy\Opt=1' 'AllowPrint\Opt=1' 'ViewPDF\Opt=0'; do
  wine_as_user wine reg add "HKLM\\SOFTWARE\\Folvarek\\${setting%%=*}" /ve /d "${setting#*=}" /f >/dev/null 2>&1
done
for name in TEMP TMP; do wine_as_user wine reg add 'HKCU\Environment' /v $name /d "$own_temp" /f >/dev/null 2>&1; done
chmod a-w "$app" "$sys32"
mkdir -p "$work/doubles" && chown "$user" "$work/doubles" && cp "$app/pdfenc.exe" "$work/pdfenc.exe"

#   name                  job PDF  pdfenc     expected
job "standard user"       sample   installed  "staged $own_temp\\Folvarek"
# Saved without asking into a folder the user may not write to: told why, then asked.
mkdir -p "$drive_c/Shared" && chmod a-w "$drive_c/Shared"
for setting in 'Opt=1' 'Path=C:\Shared'; do wine_as_user wine reg add 'HKLM\SOFTWARE\Folvarek\AutoSave\'"${setting%%=*}" /ve /d "${setting#*=}" /f >/dev/null 2>&1; done
job "read-only folder"    sample   installed  'refused C:\Shared'
wine_as_user wine reg add 'HKLM\SOFTWARE\Folvarek\AutoSave\Opt' /ve /d 0 /f >/dev/null 2>&1
job "empty job PDF"       empty    installed  "message The print job's PDF is empty: C:\\users\\$user\\AppData\\Local\\Folvarek\\temp\\empty job PDF.pdf"
job "empty pdfenc result" sample   empty      'message pdfenc did not write C:\Out\empty pdfenc result.pdf'

echo "standard user: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# The installed product: a silent install into a fresh Wine prefix, the options set through
# settingsdesk by the UI driver, print jobs through the pipeline stand-in with the driver answering
# the prompts, the results checked with Linux tools, and the uninstall.
# Usage: installed.sh INSTALLER UIDRIVER WORKDIR SETTINGS_TABLE   (inside an X display, e.g. under xvfb-run)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
installer=$(realpath "$1") uidriver=$(realpath "$2") work=$(mkdir -p "$3" && realpath "$3") table=$(realpath "$4")
export FOLVAREK_BUILD="$work"
unset WINEPREFIX
source "$root/scripts/wine-env"

failed=0
app="$WINEPREFIX/drive_c/Program Files/Folvarek"
sys32="$WINEPREFIX/drive_c/windows/system32"
out="$WINEPREFIX/drive_c/Out"
local_data="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Folvarek"
staging="$WINEPREFIX/drive_c/users/$(id -un)/Temp/Folvarek"
sample="$work/Quarterly report.pdf"
# A job's first window comes after two program starts (the queue runner, saveprompt): on a loaded
# machine that can take longer than the driver's usual wait.
first_window_ms=60000
driver() { folvarek_drive "$uidriver" "$@"; }
fail() { echo "  FAIL [$current] $*"; failed=$((failed + 1)); }
expect_eq() { [ "$1" == "$2" ] || fail "expected: $2"$'\n'"         got:      $1"; }
# Waits (bounded) for a background process started by this script.
wait_pid() { timeout 60 tail --pid="$1" -s 0.2 -f /dev/null || { fail "process $1 still running after 60 s"; kill "$1"; }; }

# settingsdesk, played by the driver: password, copy, print, view, 256-bit AES (0 or 1 each; "-" for
# the last: no key length stored at all), folder C:\Out.
set_options() {
  local title="Folvarek Settings" box
  wine "C:\\Program Files\\Folvarek\\settingsdesk.exe" >/dev/null 2>&1 &
  local pid=$! flags=("$@")
  driver wait "$title" || { fail "settingsdesk did not open"; return; }
  driver type "$title" 1 'C:\Out'
  for box in "Ask if you want to set a password when creating your PDF file" "Stop users copying from PDF files you create" \
    "Stop users printing from PDF files you create" "Automatically open PDF file after creation" \
    "Encrypt with 256-bit AES (PDF readers from 2010 on)"; do
    [ "${flags[0]}" = - ] || driver check "$title" "$box" "${flags[0]}"
    flags=("${flags[@]:1}")
  done
  driver click "$title" "OK"
  wait_pid "$pid"
  [ "$5" != - ] || wine reg delete 'HKLM\SOFTWARE\Folvarek\KeyLength' /f >/dev/null 2>&1
}
stored() { wine reg query "HKLM\\SOFTWARE\\Folvarek\\$1" /ve 2>/dev/null </dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }

# One print job: the sample goes through the pipeline stand-in, the driver answers the prompts
# (a password, "-" for none; then "overwrite" or "view"), and the result is checked.
print_job() {
  local name=$1 password=$2 step=$3 pid
  shift 3
  touch "$work/job-start"
  pid=$("$root/scripts/print-job" "$sample")
  if [ "$password" != "-" ]; then
    driver --timeout "$first_window_ms" type "Enter PDF file password" 1 "$password"
    driver type "Enter PDF file password" 2 "$password"
    driver click "Enter PDF file password" "OK"
  fi
  driver --timeout "$first_window_ms" save "Save File As" "$name" || fail "no Save File As dialog"
  case $step in
    overwrite) expect_eq "$(driver box "Folvarek  [Options]" Yes | tr -d '\r')" \
      "Folvarek  [Options] | C:\\Out\\$name already exists\\r\\nDo you want to over write ? | Yes,No | none" ;;
    view) expect_eq "$(driver box "Folvarek Options" No | tr -d '\r')" \
      "Folvarek Options | Unable to open the pdf files because Adobe Acrobat reader is not installed on your system\\r\\nDo You want to download Adobe Acrobat reader | Yes,No | none" ;;
  esac
  wait_pid "$pid"
  [ "$password" = - ] && password=""
  python3 "$root/tests/e2e/check_pdf.py" "$out/${name%.pdf}.pdf" --password "$password" "$@" --pages 3 --stamp \
    --text "Quarterly Report" || fail "result checks"
  local written
  written=$(folvarek_shared_writes_since "$work/job-start")
  [ -z "$written" ] || fail "the job wrote under Program Files or the system folder: $written"
  [ -z "$(ls -A "$local_data/temp" 2>/dev/null)" ] || fail "the scratch folder still holds: $(ls "$local_data/temp")"
  [ ! -e "$staging" ] || fail "staged files left: $(ls -A "$staging")"
}

echo "installed product: fresh prefix $WINEPREFIX"
trap folvarek_end_prefix EXIT
folvarek_installed_prefix "$installer" || exit 1
groff -ms -t -Tpdf -dpaper=a4 -P-pa4 "$root/tests/e2e/sample-document.ms" > "$sample"
[ -e "$app/saveprompt.exe" ] && [ -e "$sys32/Kestrix.tlb" ] && [ -e "$sys32/Kestrix.dll" ] &&
  [ -e "$app/policy/Folvarek.admx" ] && [ -e "$app/policy/en-US/Folvarek.adml" ] || { echo "install incomplete"; exit 1; }
# This machine is to have no PDF viewer (a fresh prefix hands PDF files to winebrowser).
wine reg delete 'HKLM\Software\Classes\.pdf' /f >/dev/null 2>&1
wine reg delete 'HKLM\Software\Classes\pdffile' /f >/dev/null 2>&1
current="a new install stores the settings table's defaults (AES-256)"
while IFS='|' read -r key installed; do  # a missing or empty table fails too
  expect_eq "$key: $(stored "$key")" "$key: $installed"
done < <(awk -F'\t' '{ print $1 "\\" $2 "|" $6 } END { if (!NR) print "no table|?" }' "$table" || echo "no table|?")

# scenario | options | file name | password | step | what the result must show
while IFS='|' read -r current options name password step checks; do
  before=$failed
  set_options $options
  [ "$step" != overwrite ] || echo "old content" > "$out/$name"
  eval "print_job \"$name\" '$password' '$step' $checks"
  [ "$failed" -eq "$before" ] && echo "  ok   $current"
done <<'TABLE'
no options|0 0 0 0 1|plain|-|-|--encrypted no
password only|1 0 0 0 1|secret|pa ss"w\|-|--encrypted yes --revision 6 --print allowed --extract allowed --metadata Folvarek
copying and printing stopped|0 1 1 0 1|locked|-|-|--encrypted yes --revision 6 --print withheld --extract withheld --metadata Folvarek
everything, no viewer|1 1 1 1 1|all|pw|view|--encrypted yes --revision 6 --print withheld --extract withheld --metadata Folvarek
non-ASCII target name, copying stopped|0 1 0 0 1|Отчёт за квартал|-|-|--encrypted yes --revision 6 --print allowed --extract withheld
a non-ASCII password|1 0 1 0 1|umlaut|Pässwörd€|-|--encrypted yes --revision 6 --print withheld --extract allowed
256-bit AES cleared: AES-128|1 1 0 0 0|aes128|pw|-|--encrypted yes --revision 4 --print allowed --extract withheld --metadata Folvarek
no key length stored: AES-128|0 0 1 0 -|nokey|-|-|--encrypted yes --revision 4 --print withheld --extract allowed --metadata Folvarek
an existing target replaced after Yes|0 0 0 0 1|again.pdf|-|overwrite|--encrypted no
TABLE
expect_eq "$(wine reg query 'HKLM\SOFTWARE\Folvarek\SaveLocation\Path' /ve | tr -d '\r' | sed -n 's/.*REG_SZ *//p')" 'C:\Out'

# Installing again keeps the key length the user chose, and settings of an older install, which
# have none (AES-128), stay without one; the oldest supported Windows takes it.
current="installing again keeps the stored key length"
build() { wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber /d "$1" /f >/dev/null 2>&1; }
build 14393
wine reg add 'HKLM\SOFTWARE\Folvarek\KeyLength\Opt' /ve /d 128 /f >/dev/null 2>&1
wine "$(folvarek_windows_path "$installer")" /S || fail "the second install failed"
expect_eq "$(stored 'KeyLength\Opt')" 128
wine reg delete 'HKLM\SOFTWARE\Folvarek\KeyLength' /f >/dev/null 2>&1
wine "$(folvarek_windows_path "$installer")" /S || fail "the install over older settings failed"
expect_eq "$(stored 'KeyLength\Opt')" ""

current=uninstall before=$failed
folvarek_uninstall || fail "the uninstaller failed"
for f in "$app/saveprompt.exe" "$app/settingsdesk.exe" "$app/pdfenc.exe" "$sys32/Kestrix.tlb" "$sys32/Kestrix.dll" "$app/policy"; do
  [ ! -e "$f" ] || fail "$f left after uninstall"
done
[ -e "$out/plain.pdf" ] || fail "the user's PDFs were removed"
wine reg query 'HKLM\SOFTWARE\Folvarek\SaveLocation\Path' /ve >/dev/null 2>&1 || fail "the settings were removed without asking"
[ "$failed" -eq "$before" ] && echo "  ok   uninstall"

# An older Windows is refused before anything is copied: 4, and its reason when not silent.
current="Windows before build 14393 refused" before=$failed
build 14392
wine "$(folvarek_windows_path "$installer")" /S; expect_eq "$?" 4
wine "$(folvarek_windows_path "$installer")" & pid=$!
expect_eq "$(driver box "Folvarek Setup" OK | tr -d '\r')" "Folvarek Setup | Folvarek needs Windows 10 version 1607 or Windows Server 2016 (build 14393) or later; this Windows is build 14392. Nothing of Folvarek was installed.\\r\\n | OK | stop"
wait_pid "$pid"; wait "$pid"; expect_eq "$?" 4
[ ! -e "$app/saveprompt.exe" ] || fail "installed all the same"
[ "$failed" -eq "$before" ] && echo "  ok   $current"
echo "installed product: $failed failure(s)"
[ "$failed" -eq 0 ]

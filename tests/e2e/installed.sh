#!/usr/bin/env bash
# The end-to-end suite on the installed product: a silent install into a fresh Wine prefix, the
# options set through settingsdesk by the UI driver, print jobs through the pipeline stand-in with
# the driver answering the prompts, the results checked with Linux tools, and the uninstall.
# Usage: installed.sh INSTALLER UIDRIVER WORKDIR   (run inside an X display, e.g. under xvfb-run)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
installer=$(realpath "$1") uidriver=$(realpath "$2") work=$(mkdir -p "$3" && realpath "$3")
export FOLVAREK_BUILD="$work"
unset WINEPREFIX
source "$root/scripts/wine-env"

passed=0 failed=0
app="$WINEPREFIX/drive_c/Program Files/Folvarek"
sys32="$WINEPREFIX/drive_c/windows/system32"
out="$WINEPREFIX/drive_c/Out"
sample="$work/Quarterly report.pdf"
current=""

driver() { wine "$(winepath -w "$uidriver")" "$@"; }
fail() { echo "  FAIL [$current] $*"; scenario_ok=0; }
expect_eq() { [ "$1" == "$2" ] || fail "expected: $2"$'\n'"         got:      $1"; }

# Waits (bounded) for a background process started by this script.
wait_pid() {
  for _ in $(seq 1 300); do kill -0 "$1" 2>/dev/null || { wait "$1" 2>/dev/null; return 0; }; sleep 0.2; done
  fail "process $1 still running after 60 s"; kill "$1" 2>/dev/null; return 1
}

# settingsdesk, played by the driver: folder, then password, copy, print, view (0 or 1 each).
set_options() {
  local folder=$1 password=$2 copy=$3 print=$4 view=$5 title="Folvarek Settings"
  wine "C:\\Program Files\\Folvarek\\settingsdesk.exe" >/dev/null 2>&1 &
  local pid=$!
  driver wait "$title" || { fail "settingsdesk did not open"; return; }
  driver type "$title" 1 "$folder"
  driver check "$title" "Ask if you want to set a password when creating your PDF file" "$password"
  driver check "$title" "Stop users copying from PDF files you create" "$copy"
  driver check "$title" "Stop users printing from PDF files you create" "$print"
  driver check "$title" "Automatically open PDF file after creation" "$view"
  driver click "$title" "OK"
  wait_pid "$pid"
}

# One print job: the sample goes through the pipeline stand-in; the driver answers the prompts.
#   print_job NAME PASSWORD(or -) [overwrite] [view]
print_job() {
  local name=$1 password=$2 pid
  pid=$("$root/scripts/print-job" "$sample")
  if [ "$password" != "-" ]; then
    driver type "Enter PDF file password" 1 "$password"
    driver type "Enter PDF file password" 2 "$password"
    driver click "Enter PDF file password" "OK"
  fi
  driver save "Save File As" "$name" || fail "no Save File As dialog"
  shift 2
  for step in "$@"; do
    case $step in
      overwrite) expect_eq "$(driver box "Folvarek  [Options]" Yes | tr -d '\r')" \
        "Folvarek  [Options] | C:\\Out\\$name already exists\\r\\nDo you want to over write ? | Yes,No | none" ;;
      view) expect_eq "$(driver box "Folvarek Options" No | tr -d '\r')" \
        "Folvarek Options | Unable to open the pdf files because Adobe Acrobat reader is not installed on your system\\r\\nDo You want to download Adobe Acrobat reader | Yes,No | none" ;;
    esac
  done
  wait_pid "$pid"
}

check_clean() {
  [ ! -e "$app/temp" ] || [ -z "$(ls -A "$app/temp")" ] || fail "the scratch folder still holds: $(ls "$app/temp")"
  for f in temp.pdf stamp.pdf Kestrix.exe; do [ ! -e "$sys32/$f" ] || fail "staged $f left in the system folder"; done
}

check_pdf() { python3 "$root/tests/e2e/check_pdf.py" "$@" --pages 3 --stamp --text "Quarterly Report" || fail "result checks"; }

scenario() {
  current=$1; scenario_ok=1; shift
  "$@"
  if [ "$scenario_ok" -eq 1 ]; then passed=$((passed + 1)); echo "  ok   $current"; else failed=$((failed + 1)); fi
}

no_options() {
  set_options 'C:\Out' 0 0 0 0
  expect_eq "$(wine reg query 'HKLM\SOFTWARE\Folvarek\SaveLocation\Path' /ve | tr -d '\r' | grep REG_SZ | sed 's/.*REG_SZ *//')" 'C:\Out'
  print_job "plain" -
  check_pdf "$out/plain.pdf" --encrypted no
  check_clean
}

password_only() {
  set_options 'C:\Out' 1 0 0 0
  print_job "secret" "pa ss\"w\\"
  check_pdf "$out/secret.pdf" --password "pa ss\"w\\" --encrypted yes --print allowed --extract allowed --metadata Folvarek
  check_clean
}

restrictions_without_password() {
  set_options 'C:\Out' 0 1 1 0
  print_job "locked" -
  check_pdf "$out/locked.pdf" --encrypted yes --print withheld --extract withheld --metadata Folvarek
  check_clean
}

everything_and_no_viewer() {
  # A fresh Wine prefix hands PDF files to winebrowser; this machine is to have no PDF viewer.
  wine reg delete 'HKLM\Software\Classes\.pdf' /f >/dev/null 2>&1
  wine reg delete 'HKLM\Software\Classes\pdffile' /f >/dev/null 2>&1
  set_options 'C:\Out' 1 1 1 1
  print_job "all" "pw" view
  check_pdf "$out/all.pdf" --password pw --encrypted yes --print withheld --extract withheld --metadata Folvarek
  check_clean
}

non_ascii_name() {
  set_options 'C:\Out' 0 1 0 0
  print_job "Отчёт за квартал" -
  check_pdf "$out/Отчёт за квартал.pdf" --encrypted yes --print allowed --extract withheld --metadata Folvarek
  check_clean
}

overwrite_after_yes() {
  set_options 'C:\Out' 0 0 0 0
  echo "old content" > "$out/again.pdf"
  print_job "again.pdf" - overwrite
  check_pdf "$out/again.pdf" --encrypted no
  check_clean
}

uninstall() {
  wine "C:\\Program Files\\Folvarek\\uninstall.exe" /S
  # The uninstaller copies itself away and finishes in the background.
  for _ in $(seq 1 150); do [ -e "$app/saveprompt.exe" ] || [ -e "$sys32/Kestrix.tlb" ] || break; sleep 0.2; done
  for f in "$app/saveprompt.exe" "$app/settingsdesk.exe" "$app/pdfenc.exe" "$sys32/Kestrix.tlb" "$sys32/Kestrix.dll"; do
    [ ! -e "$f" ] || fail "$f left after uninstall"
  done
  [ -e "$out/plain.pdf" ] || fail "the user's PDFs were removed"
  wine reg query 'HKLM\SOFTWARE\Folvarek\SaveLocation\Path' /ve >/dev/null 2>&1 || fail "the settings were removed without asking"
}

echo "installed product: fresh prefix $WINEPREFIX"
folvarek_new_prefix
trap folvarek_end_prefix EXIT
groff -ms -t -Tpdf -dpaper=a4 -P-pa4 "$root/tests/e2e/sample-document.ms" > "$sample"
folvarek_standin_driver || { echo "no stand-in print driver"; exit 1; }
wine "$(winepath -w "$installer")" /S || { echo "install failed"; exit 1; }
[ -e "$app/saveprompt.exe" ] && [ -e "$sys32/Kestrix.tlb" ] && [ -e "$sys32/Kestrix.dll" ] || { echo "install incomplete"; exit 1; }

scenario "no options" no_options
scenario "password only" password_only
scenario "stop copying and printing without password" restrictions_without_password
scenario "all options, view on, no viewer" everything_and_no_viewer
scenario "non-ASCII target name" non_ascii_name
scenario "existing target overwritten after Yes" overwrite_after_yes
scenario "uninstall" uninstall

echo "installed product: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

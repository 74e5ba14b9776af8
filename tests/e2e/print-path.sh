#!/usr/bin/env bash
# The print path end to end on the installed product: a fresh Wine prefix with a stand-in
# "Microsoft Print To PDF" driver, a silent install, then real RAW jobs printed to the printer
# "Folvarek" while the UI driver answers the dialogs, the results checked with Linux tools.
# Usage: print-path.sh INSTALLER UIDRIVER PRINTPDF WORKDIR   (inside an X display)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
installer=$(realpath "$1") uidriver=$(realpath "$2") printpdf=$(realpath "$3") work=$(mkdir -p "$4" && realpath "$4")
export FOLVAREK_BUILD="$work"
unset WINEPREFIX
source "$root/scripts/wine-env"

passed=0 failed=0 current=""
app="$WINEPREFIX/drive_c/Program Files/Folvarek"
out="$WINEPREFIX/drive_c/Out"
user_home="$WINEPREFIX/drive_c/users/$(id -un)"
local_data="$user_home/AppData/Local/Folvarek"
queue="$local_data/jobs"
scratch="$local_data/temp"
staging="$user_home/Temp/Folvarek"
sample="$work/sample.pdf"
event_source='HKLM\System\CurrentControlSet\Services\EventLog\Application\Folvarek'
uninstall_entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Folvarek'

driver() { folvarek_drive "$uidriver" "$@"; }
fail() { echo "  FAIL [$current] $*"; scenario_ok=0; }
expect_eq() { [ "$1" == "$2" ] || fail "expected: $2"$'\n'"         got:      $1"; }

# Prints FILE titled TITLE in the background; the process ends once the queue runner is done.
print_bg() { wine "$(folvarek_windows_path "$printpdf")" --wait --title "$1" "$(folvarek_windows_path "$2")" >"$work/print.log" 2>&1 & printed=$!; }
wait_printed() {
  for _ in $(seq 1 600); do
    kill -0 "$printed" 2>/dev/null || { wait "$printed" || fail "the print program failed: $(tr -d '\r' < "$work/print.log")"; return; }
    sleep 0.2
  done
  fail "the print program still waits after 2 minutes"; kill "$printed"; return 1
}

# Once the queue runner is done: it ended, or it waits with nothing left in the queue.
queue_done() { wine "$(folvarek_windows_path "$printpdf")" --wait || fail "the queue runner was not done"; }
# This prefix's queue runners: other test runs on the machine have their own.
runner_pids() {
  local p
  for p in $(pgrep -f '^C:.*\\jobrunner\.exe'); do grep -qzxF "WINEPREFIX=$WINEPREFIX" "/proc/$p/environ" 2>/dev/null && echo -n "$p "; done
}
# The user's runners end as at a logoff; the installer ends them so too.
end_runners() { wine "C:\\Program Files\\Folvarek\\printsetup.exe" end-runners "C:\\Program Files\\Folvarek" >/dev/null; }
# The runner as the Run entry starts it at logon, once it has looked at the queue (an abandoned part-written
# file goes at its first look): from then on it holds its lock and sees every job queued.
logon_runner() {
  mkdir -p "$queue" && touch -d '2 hours ago' "$queue/Abandoned.part"
  wine "C:\\Program Files\\Folvarek\\jobrunner.exe" &
  for _ in $(seq 1 100); do [ -e "$queue/Abandoned.part" ] || return 0; sleep 0.1; done
  fail "the runner at logon did not look at the queue"
}

# The next Save dialog: the name it proposes, then NAME chosen in it.
answer_save() {
  driver wait "Save File As" || { fail "no Save File As dialog for \"$1\""; return; }
  expect_eq "$(driver name "Save File As" | tr -d '\r')" "$1"
  driver save "Save File As" "$2"
  driver gone "Save File As" || fail "the Save dialog stayed open"
}

# After the jobs: nothing queued, and the user's scratch folder and staged files cleared.
check_empty() {
  [ -z "$(ls -A "$queue" 2>/dev/null)" ] || fail "the queue still holds: $(ls "$queue")"
  [ -z "$(ls -A "$scratch" 2>/dev/null)" ] || fail "the scratch folder still holds: $(ls "$scratch")"
  [ -z "$(ls -A "$staging" 2>/dev/null)" ] || fail "the staging folder still holds: $(ls "$staging")"
}

# Settings as a user's settingsdesk leaves them: stop copying, no password, no viewer. One PDF or more.
check_result() {
  python3 "$root/tests/e2e/check_pdf.py" "$@" --pages 3 --stamp --text "Quarterly Report" --encrypted yes \
    --extract withheld --print allowed --metadata Folvarek || fail "result checks for $*"
}

# The sample printed as TITLE; it and the jobs QUEUED before it saved as proposed, checked, nothing left.
print_saved() { # print_saved TITLE [QUEUED...]
  local name
  print_bg "$1" "$sample"
  for name in "${@:2}" "$1"; do answer_save "$name" "$name"; done
  wait_printed
  for name in "${@:2}" "$1"; do check_result "$out/$name.pdf"; done
  check_empty
}

# Four programs printing five jobs each at once: every job a program was told had printed is asked
# for and saved, and nothing stays queued.
four_programs_at_once() {
  local p j i pids=() expected=() seen=() name
  rm -f "$work"/printed.*
  for p in 1 2 3 4; do
    ( for j in 1 2 3 4 5; do
        wine "$(folvarek_windows_path "$printpdf")" --first-job-id $((p * 100 + j * 10)) --title "Program $p job $j" \
          "$(folvarek_windows_path "$sample")" >/dev/null 2>&1 \
          && echo "Program $p job $j" >> "$work/printed.$p"
      done ) & pids+=($!)
  done
  for i in $(seq 1 20); do
    driver wait "Save File As" || break
    name=$(driver name "Save File As" | tr -d '\r')
    driver save "Save File As" "$name"; driver gone "Save File As" || fail "the Save dialog stayed open"
    seen+=("$name")
  done
  wait "${pids[@]}"
  queue_done
  mapfile -t expected < <(cat "$work"/printed.* 2>/dev/null | sort)
  expect_eq "${#expected[@]}" 20
  expect_eq "$(printf '%s\n' "${seen[@]}" | sort)" "$(printf '%s\n' "${expected[@]}")"
  for name in "${expected[@]}"; do [ -e "$out/$name.pdf" ] || fail "no $name.pdf"; done
  check_empty
}

# The disk under the queue fills up part way (a 64 KB file system mounted there): the printing program
# is told the job went (a failed port call would hold the printer for everyone), no file stays in the
# queue, the user hears why from the queue runner, and the event log says what was lost.
write_fails() {
  { printf '%%PDF-1.4\n'; head -c 200000 /dev/zero | tr '\0' 'x'; } > "$work/big.pdf"
  # A waiting runner watches the folder the mount hides; the monitor starts one for the mount, ended before it goes.
  end_runners && mkdir -p "$queue"
  mount -t tmpfs -o size=64k folvarek-full "$queue" || { fail "cannot mount a small file system on the queue (needs root)"; return; }
  WINEDEBUG=-all,warn+eventlog wine "$(folvarek_windows_path "$printpdf")" --title "Too big" "$(folvarek_windows_path "$work/big.pdf")" \
    >/dev/null 2>"$work/events.log" || fail "the print program was told the job failed"
  grep -q 'Print job \\"Too big\\" was dropped: cannot write the job' "$work/events.log" || fail "no event: $(cat "$work/events.log")"
  local said; said=$(driver box "Folvarek" OK | tr -d '\r')
  case "$said" in
    "Folvarek | The print job \"Too big\" could not be made into a PDF file: cannot write the job's data: "*"Please print it again. | OK | exclamation") ;;
    *) fail "told: $said" ;;
  esac
  queue_done
  check_empty
  end_runners; umount "$queue" || umount -l "$queue"
}

# Every string of both levels of a port record is there, as the Ports page and Add Printer list them.
ports_listed() {
  expect_eq "$(wine "$(folvarek_windows_path "$printpdf")" --ports 1 | tr -d '\r' | grep FOLVAREK)" "FOLVAREK:"
  expect_eq "$(wine "$(folvarek_windows_path "$printpdf")" --ports 2 | tr -d '\r' | grep FOLVAREK)" "FOLVAREK:|Folvarek Port|Folvarek PDF port"
}

# Jobs printed while the first one's dialog is open, two of them with one title: each is asked for,
# in print order.
burst_while_dialog_open() {
  local title name
  print_bg "Burst one" "$sample"
  driver wait "Save File As" || fail "no dialog for the first job"
  for title in "Same title" "Same title" "Burst three"; do
    wine "$(folvarek_windows_path "$printpdf")" --title "$title" "$(folvarek_windows_path "$sample")" || fail "$title not printed"
  done
  for name in "Burst one" "Same title" "Same title (2)" "Burst three"; do answer_save "$name" "$name"; done
  wait_printed
  for name in "Burst one" "Same title" "Same title (2)" "Burst three"; do check_result "$out/$name.pdf"; done
  check_empty
}

postscript_kept_aside() {
  groff -ms -t -Tps "$root/tests/e2e/sample-document.ms" > "$work/drawing.ps"
  print_bg "Drawing" "$work/drawing.ps"
  local kept="C:\\users\\$(id -un)\\AppData\\Local\\Folvarek\\not PDF\\Drawing.prn"
  expect_eq "$(driver box "Folvarek" OK | tr -d '\r')" \
    "Folvarek | The print job \"Drawing\" did not arrive as PDF, so no PDF file was made from it.\\n\\nThe printer \"Folvarek\" must use the \"Microsoft Print To PDF\" driver. The job's data is kept in:\\n$kept | OK | exclamation"
  wait_printed
  cmp -s "$work/drawing.ps" "$local_data/not PDF/Drawing.prn" || fail "the PostScript data was not kept byte for byte"
  [ ! -e "$out/Drawing.pdf" ] || fail "a PDF was made from PostScript"
  print_saved "After the drawing"
}

# Titles as programs give them: a row per title and the name the dialog proposes; it is saved, and
# the jobs write only in their user's own folders, nothing under Program Files or the system folder.
titles() {
  local long cut written
  long=$(printf 'Annual figures %.0s' $(seq 1 20)); long=${long:0:300}
  cut=$(printf '%s' "${long:0:120}" | sed 's/ *$//')
  local rows=(
    "Quarterly report"    "Quarterly report"
    ""                    "Print job"
    "$long"               "$cut"
    'a/b:c*?"<>|'         "a_b_c______"
    "Отчёт за квартал"    "Отчёт за квартал"
  )
  touch "$work/before-job"
  for ((i = 0; i < ${#rows[@]}; i += 2)); do
    print_bg "${rows[i]}" "$sample"
    answer_save "${rows[i + 1]}" "${rows[i + 1]}"
    wait_printed
    check_result "$out/${rows[i + 1]}.pdf"
  done
  check_empty
  written=$(folvarek_shared_writes_since "$work/before-job")
  [ -z "$written" ] || fail "the jobs wrote: $written"
}

# A file where the queue folder should be, while the runner waits: the job still leaves the printer, one
# event says why, and the next job, in the folder made again, is asked for by that runner.
no_queue_folder() {
  rm -rf "$queue" && touch "$queue"
  WINEDEBUG=-all,warn+eventlog wine "$(folvarek_windows_path "$printpdf")" --title "Nowhere" "$(folvarek_windows_path "$sample")" \
    >/dev/null 2>"$work/events.log" || fail "the print program was told the job failed"
  expect_eq "$(grep -c ':eventlog:' "$work/events.log")" 1
  grep -q 'Print job \\"Nowhere\\" was dropped: cannot create the queue folder' "$work/events.log" || fail "the event: $(cat "$work/events.log")"
  rm -f "$queue" && mkdir -p "$queue"
  print_saved "Afterwards"
}

# saveprompt missing, then a dialog that ends without taking the job: each time the job stays queued
# and the user is told; the runner at logon asks for it.
saveprompt_cannot_start() {
  local jobs="C:\\users\\$(id -un)\\AppData\\Local\\Folvarek\\jobs"
  mv "$app/saveprompt.exe" "$app/saveprompt.held"
  print_bg "Held back" "$sample"
  expect_eq "$(driver box "Folvarek" OK | tr -d '\r')" \
    "Folvarek | Folvarek could not start C:\\Program Files\\Folvarek\\saveprompt.exe: File not found. (error 2).\\n\\nThe print job \"Held back\" stays queued in $jobs and is asked for at the next print job or logon. | OK | exclamation"
  wait_printed
  [ -e "$queue/Held back.pdf" ] || fail "the job left the queue"
  cp "$printpdf" "$app/saveprompt.exe"  # ends at once, taking nothing
  wine "C:\\Program Files\\Folvarek\\jobrunner.exe" &
  expect_eq "$(driver box "Folvarek" OK | tr -d '\r')" \
    "Folvarek | The job dialog ended without taking the print job \"Held back\".\\n\\nIt stays queued in $jobs and is asked for at the next print job or logon. | OK | exclamation"
  wait $!
  [ -e "$queue/Held back.pdf" ] || fail "the job was not put back in the queue"
  mv "$app/saveprompt.held" "$app/saveprompt.exe"
  wine "C:\\Program Files\\Folvarek\\jobrunner.exe" &
  answer_save "Held back" "Held back"
  queue_done
  check_result "$out/Held back.pdf"
  check_empty
}

# A file left in the scratch folder would be taken first and then cleared away with this job.
scratch_not_empty() {
  mkdir -p "$scratch" && cp "$sample" "$scratch/Left over.pdf"
  print_bg "Careful" "$sample"
  expect_eq "$(driver box "Folvarek" OK | tr -d '\r')" \
    "Folvarek | The scratch folder still holds \"Left over.pdf\" from an earlier job, so the print job \"Careful\" waits in C:\\users\\$(id -un)\\AppData\\Local\\Folvarek\\jobs.\\n\\nMove that file out of C:\\users\\$(id -un)\\AppData\\Local\\Folvarek\\temp, then print again or log on again. | OK | exclamation"
  wait_printed
  cmp -s "$sample" "$scratch/Left over.pdf" || fail "the file left in the scratch folder was touched"
  [ -e "$queue/Careful.pdf" ] || fail "the job left the queue"
  rm "$scratch/Left over.pdf"
  print_saved "Next" "Careful"
}

# Started at logon with nothing queued, the runner waits: a job queued then is its to ask for, and so is
# one printed after, with no runner started for it (the monitor's is made to name a missing program, so
# that an attempt would be an event) and the same runner process before and after.
runner_waits_from_logon() {
  local key='HKLM\System\CurrentControlSet\Control\Print\Monitors\Folvarek Port' runners
  end_runners && logon_runner
  cp "$sample" "$queue/From logon.part" && mv "$queue/From logon.part" "$queue/From logon.pdf"
  answer_save "From logon" "From logon"
  runners=$(runner_pids)
  wine reg add "$key" /v Runner /d 'C:\nowhere\jobrunner.exe' /f >/dev/null
  WINEDEBUG=-all,+eventlog print_saved "Printed later"
  wine reg add "$key" /v Runner /d 'C:\Program Files\Folvarek\jobrunner.exe' /f >/dev/null
  ! grep -q ':eventlog:' "$work/print.log" || fail "a runner was started: $(cat "$work/print.log")"
  expect_eq "$(runner_pids)" "$runners"
}

# A hundred jobs printed back to back with saving without asking on, half of them with one title, to the
# runner waiting since logon: a hundred PDFs under distinct names, each secured and stamped, and no
# dialog or message on the way (one would hold the queue, and the count stop growing).
hundred_unattended() {
  local auto="$WINEPREFIX/drive_c/Auto" i count=0 last=-1 still=0
  for setting in 'Opt=1' 'Path=C:\Auto' 'Name={title}'; do
    wine reg add "HKLM\\SOFTWARE\\Folvarek\\AutoSave\\${setting%%=*}" /ve /d "${setting#*=}" /f >/dev/null
  done
  for i in $(seq 1 100); do
    wine "$(folvarek_windows_path "$printpdf")" --title "$([ $((i % 2)) -eq 0 ] && echo "Job $((i / 2))" || echo "Same title")" \
      "$(folvarek_windows_path "$sample")" || fail "job $i not printed"
  done
  while [ "$count" -lt 100 ] && [ "$still" -lt 120 ]; do
    sleep 0.5
    count=$(find "$auto" -name '*.pdf' ! -name '*(~*' 2>/dev/null | wc -l)
    if [ "$count" -eq "$last" ]; then still=$((still + 1)); else still=0 last=$count; fi
  done
  [ "$count" -eq 100 ] || { fail "$count PDFs, no more for a minute: $(ls "$auto")"; return; }
  queue_done
  ! driver --timeout 500 wait "Save File As" 2>/dev/null || fail "a Save dialog was shown"
  ! driver --timeout 500 wait "Folvarek  [Options]" 2>/dev/null || fail "a message was shown"
  # A title still queued when the next job of that title comes is queued as "TITLE (2)": names vary, their count not.
  for i in $(seq 1 50); do [ -e "$auto/Job $i.pdf" ] || fail "no Job $i.pdf"; done
  expect_eq "$(ls "$auto" | grep -c '^Same title.*\.pdf$')" 50
  check_result "$auto"/*
  check_empty
  wine reg add 'HKLM\SOFTWARE\Folvarek\AutoSave\Opt' /ve /d 0 /f >/dev/null
}

# The event log source as the install registers it: the monitor DLL's message table, three types.
event_source_registered() {
  local values; values=$(wine reg query "$event_source" 2>/dev/null | tr -d '\r')
  grep -q 'EventMessageFile *REG_EXPAND_SZ *%SystemRoot%\\System32\\folvarekmon.dll$' <<<"$values" &&
    grep -q 'TypesSupported *REG_DWORD *0x7$' <<<"$values"
}
# A program's whole exit code (the shell gets its low byte only): the installer's, or ARGS...'s.
exit_code() {
  [ $# -gt 0 ] || set -- "$(folvarek_windows_path "$installer")" /S
  driver --timeout 300000 run "$@" | tr -d '\r'
}

# No part of the print path is left: printer, port, monitor, logon entry, monitor DLL, event source.
check_no_print_path() {
  [ ! -e "$WINEPREFIX/drive_c/windows/system32/folvarekmon.dll" ] || fail "the monitor DLL is there"
  ! wine reg query "$event_source" >/dev/null 2>&1 || fail "the event log source is there"
  ! wine reg query 'HKLM\System\CurrentControlSet\Control\Print\Printers\Folvarek' >/dev/null 2>&1 || fail "the printer is there"
  ! wine reg query 'HKLM\System\CurrentControlSet\Control\Print\Monitors\Folvarek Port' >/dev/null 2>&1 || fail "the monitor is there"
  ! wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v Folvarek >/dev/null 2>&1 || fail "the Run entry is there"
}

# The installer run silently again over the running install. With the monitor DLL held open its
# copy fails: 1, and the spooler it stopped runs again. With a job's dialog open, saveprompt and the
# runner are replaced at the next restart: 3010. With a job queued: the job, the settings and the
# PDFs survive, the programs are the new ones, and the printer still prints.
reinstall() {
  # wineboot -i leaves a new prefix two service managers, under which no service starts (1053): a
  # restarted Wine server has one, as Windows after a restart, and the spooler runs.
  wineserver -k; wineserver -w; wineserver -p; wine sc start spooler >/dev/null
  logon_runner
  coproc held { driver hold 'C:\windows\system32\folvarekmon.dll'; }
  read -r -t 20 _ <&"${held[0]}" || fail "could not hold the monitor DLL"
  expect_eq "$(exit_code)" 1
  [ -z "$(runner_pids)" ] || fail "the runner waiting at logon was not ended for the copy"
  expect_eq "$(wine sc query spooler | tr -d '\r' | sed -n 's/ *STATE *: [0-9]* *//p')" RUNNING
  exec {held[1]}>&- && wait "$held_PID"
  print_bg "Open during the reinstall" "$sample"
  driver wait "Save File As" || fail "no Save File As dialog"
  expect_eq "$(exit_code)" 3010
  wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations |
    grep -qF 'saveprompt.exe.new\0!\??\C:\Program Files\Folvarek\saveprompt.exe' || fail "saveprompt.exe is not replaced at the restart"
  answer_save "Open during the reinstall" "Open during the reinstall" && wait_printed
  # Queued while its user is logged off: no runner waits to take it.
  end_runners && mkdir -p "$queue" && cp "$sample" "$queue/Queued before.pdf"
  echo stale > "$app/saveprompt.exe"
  expect_eq "$(exit_code)" 0
  event_source_registered || fail "the event log source is not registered"
  cmp -s "$app/saveprompt.exe" "$(dirname "$installer")/../saveprompt/saveprompt.exe" || fail "saveprompt.exe was not replaced"
  [ -e "$queue/Queued before.pdf" ] || fail "the queued job was lost"
  expect_eq "$(wine reg query 'HKLM\SOFTWARE\Folvarek\SaveLocation\Path' /ve | tr -d '\r' | sed -n 's/.*REG_SZ *//p')" 'C:\Out'
  print_saved "After the reinstall" "Queued before"
}

# A monitor whose key cannot be deleted fails the uninstall: 1 (from a run with _?=, which waits),
# and the uninstaller, printsetup and their Add/Remove Programs entry stay; a second run finishes.
uninstall() {
  local locked='System\CurrentControlSet\Control\Print\Monitors\Folvarek Port\Locked' f
  end_runners && mkdir -p "$queue" && cp "$sample" "$queue/Waiting.pdf"
  driver lock-key "$locked"
  expect_eq "$(exit_code 'C:\Program Files\Folvarek\uninstall.exe' '/S _?=C:\Program Files\Folvarek')" 1
  for f in uninstall.exe printsetup.exe; do [ -e "$app/$f" ] || fail "$f went with the failed uninstall"; done
  wine reg query "$uninstall_entry" >/dev/null 2>&1 || fail "the Add/Remove Programs entry went with the failed uninstall"
  driver unlock-key "$locked"
  folvarek_uninstall || fail "the uninstaller failed"
  [ ! -e "$app" ] || fail "left after uninstall: $(ls "$app")"
  ! wine reg query "$uninstall_entry" >/dev/null 2>&1 || fail "the Add/Remove Programs entry is there"
  check_no_print_path
  [ -e "$queue/Waiting.pdf" ] || fail "a queued job was removed"
  [ -e "$out/Quarterly report.pdf" ] || fail "the user's PDFs were removed"
}

# A silent install that cannot set up the print path: its exit code says why, the programs are
# there, nothing of the print path is.
install_fails_with() {
  local expected=$1 rc
  wine "$(folvarek_windows_path "$installer")" /S; rc=$?
  expect_eq "$rc" "$expected"
  [ -e "$app/saveprompt.exe" ] || fail "the programs were not installed"
  check_no_print_path
  folvarek_uninstall || fail "the uninstaller failed"
}

# Windows protected print mode on, as its group policy records it.
protected_print_mode() {
  local policy='HKLM\SOFTWARE\Policies\Microsoft\Windows NT\Printers\WPP'
  wine reg add "$policy" /v WindowsProtectedPrintGroupPolicyState /t REG_DWORD /d 1 /f >/dev/null
  install_fails_with 3
  wine reg delete "$policy" /f >/dev/null
}

# Without "Microsoft Print To PDF" (and Wine cannot turn the feature on): no half print path.
no_pdf_driver() {
  wine reg delete 'HKLM\System\CurrentControlSet\Control\Print\Environments\Windows x64\Drivers\Version-3\Microsoft Print To PDF' /f >/dev/null 2>&1
  install_fails_with 4
}

# A folder outside Program Files inherits what users may change there: refused, nothing copied.
folder_outside_program_files() {
  local rc
  wine "$(folvarek_windows_path "$installer")" /S /D=C:\\Folvarek; rc=$?
  expect_eq "$rc" 5
  [ ! -e "$WINEPREFIX/drive_c/Folvarek" ] || fail "files were copied to C:\\Folvarek"
}

scenario() {
  current=$1; scenario_ok=1; shift
  "$@"
  if [ "$scenario_ok" -eq 1 ]; then passed=$((passed + 1)); echo "  ok   $current"; else failed=$((failed + 1)); fi
}

echo "print path: fresh prefix $WINEPREFIX"
trap folvarek_end_prefix EXIT
folvarek_installed_prefix "$installer" || exit 1
groff -ms -t -Tpdf -dpaper=a4 -P-pa4 "$root/tests/e2e/sample-document.ms" > "$sample"
wine reg query 'HKLM\System\CurrentControlSet\Control\Print\Printers\Folvarek' >/dev/null 2>&1 || { echo "no printer Folvarek"; exit 1; }
event_source_registered || { echo "no event log source Folvarek"; exit 1; }
wine reg add 'HKLM\SOFTWARE\Folvarek\SaveLocation\Path' /ve /d 'C:\Out' /f >/dev/null
for flag in Password:0 AllowCopy:1 AllowPrint:0 ViewPDF:0; do
  wine reg add "HKLM\\SOFTWARE\\Folvarek\\${flag%%:*}\\Opt" /ve /d "${flag#*:}" /f >/dev/null
done

scenario "the port listed whole at both levels" ports_listed
scenario "titles: plain, empty, 300 characters, forbidden characters, non-ASCII; each secured and stamped, written only in the user's folders" titles
scenario "four programs printing five jobs each at once" four_programs_at_once
scenario "a job whose data cannot be written: it leaves the printer, no file left, the user told, one event" write_fails
scenario "jobs in a burst, a title already queued among them, asked in print order" burst_while_dialog_open
scenario "PostScript kept aside, the next job still works" postscript_kept_aside
scenario "no queue folder: the job leaves the printer, one event, the next job prints" no_queue_folder
scenario "saveprompt cannot start or ends without the job: it stays queued for the runner at logon" saveprompt_cannot_start
scenario "a file left in the scratch folder holds the queue back" scratch_not_empty
scenario "the runner started at logon waits; jobs queued and printed then are asked for with no other runner started" runner_waits_from_logon
scenario "a hundred jobs saved without asking, half of one title: a hundred distinct PDFs, secured and stamped, no dialog" hundred_unattended
scenario "reinstall: a monitor DLL in use fails it with the spooler running and the runner waiting at logon ended; programs in use replaced at the restart (3010); over the running install it keeps the queue and prints" reinstall
scenario "uninstall: a monitor that stays keeps the uninstaller for a second run, which keeps queued jobs and PDFs" uninstall
scenario "a folder outside Program Files is refused" folder_outside_program_files
scenario "protected print mode on: no print path, exit code 3" protected_print_mode
scenario "no \"Microsoft Print To PDF\": no print path, exit code 4" no_pdf_driver

echo "print path: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

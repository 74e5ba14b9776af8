#!/usr/bin/env bash
# pdfenc and the stamp tool end to end, checked with the qpdf command line tool and poppler.
#   tools_test.sh PDFENC KESTRIX STAMP_PDF [RUNNER]
# RUNNER runs a Windows program under Wine (scripts/wine-run); the tools then get Windows paths.
set -uo pipefail
pdfenc=$1 kestrix=$2 stamp=$3 runner=${4:-}
source "$(dirname "$0")/make-pdf.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# A path as the tools get it: Wine's drive Z: is the Linux root.
arg_path() {
  if [ -n "$runner" ]; then
    local p=${1//\//\\}
    printf 'Z:%s' "$p"
  else
    printf '%s' "$1"
  fi
}

# run TOOL ARGS...: sets $rc and $output (stdout and stderr together).
run() {
  local tool=$1
  shift
  if [ -n "$runner" ]; then
    output=$("$runner" "$tool" "$@" 2>&1)
  else
    output=$("$tool" "$@" 2>&1)
  fi
  rc=$?
}

encrypt() { # encrypt IN OUT USER OWNER CODE BITS [CREATOR]
  run "$pdfenc" "$(arg_path "$1")" "$(arg_path "$2")" "$3" "$4" "$5" "$6" Creator "${7:-Folvarek}" Producer Folvarek
}
stamp_with() { # stamp_with IN STAMP OUT
  run "$kestrix" "$(arg_path "$1")" background "$(arg_path "$2")" output "$(arg_path "$3")"
}

expect_success() { # expect_success WHAT
  [ "$rc" -eq 0 ] || fail "$1: exit code $rc: $output"
}

# The body text of every test page sits well inside its TrimBox, as in any real document.
make_body_pdf() {
  local c=$work/content
  printf 'BT /F1 24 Tf 72 760 Td (Body one) Tj ET\n' >"$c.1"
  printf 'BT /F1 24 Tf 72 760 Td (Body two) Tj ET\n' >"$c.2"
  printf 'BT /F1 24 Tf 120 690 Td (Body three) Tj ET\n' >"$c.3"
  printf '0.2 0.4 0.8 rg 72 500 200 150 re f\n' >"$c.4"
  local font='/Resources << /Font << /F1 3 0 R >> >>'
  pdf_begin "$1"
  pdf_object '<< /Type /Catalog /Pages 2 0 R >>'
  pdf_object '<< /Type /Pages /Kids [4 0 R 6 0 R 9 0 R 11 0 R] /Count 4 >>'
  pdf_object '<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>'
  # 1: A4 with its own resources.
  pdf_object "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.276 841.89] $font /Contents 5 0 R >>"
  pdf_stream '' "$c.1"
  # 2: A4 turned by 90 degrees, resources inherited from an intermediate node.
  pdf_object "<< /Type /Pages /Parent 2 0 R /Kids [7 0 R] /Count 1 $font >>"
  pdf_object '<< /Type /Page /Parent 6 0 R /MediaBox [0 0 595.276 841.89] /Rotate 90 /Contents 8 0 R >>'
  pdf_stream '' "$c.2"
  # 3: Letter with a TrimBox off the centre of the MediaBox.
  pdf_object "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /TrimBox [100 150 562 742] $font /Contents 10 0 R >>"
  pdf_stream '' "$c.3"
  # 4: Letter without any resources.
  pdf_object '<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 12 0 R >>'
  pdf_stream '' "$c.4"
  pdf_end 1
}

body=$work/body.pdf
make_body_pdf "$body"
qpdf --check "$body" >/dev/null || { echo "the test document itself is broken" >&2; exit 1; }

# Words with their boxes as "page word xMin yMin xMax yMax", in the page's displayed orientation
# with the origin at the top left (pdftotext -bbox).
words() { # words PDF [pdftotext options]
  local pdf=$1
  shift
  pdftotext "$@" -bbox "$pdf" - 2>/dev/null | awk '
    /<page / { page++ }
    /<word / {
      match($0, />[^<]*</); w = substr($0, RSTART + 1, RLENGTH - 2)
      split($0, q, "\""); print page, w, q[2], q[4], q[6], q[8]
    }'
}

# ---------------------------------------------------------------------------------------------
# pdfenc: permissions, AES-128, passwords and names.

show() { qpdf --show-encryption --password="$2" "$1" 2>&1; }
has_line() { grep -qxF "$2" <<<"$1"; }

for code in 10100000 00000000 10000000 00100000; do
  out=$work/perm-$code.pdf
  encrypt "$body" "$out" u o "$code" 128
  expect_success "pdfenc $code"
  info=$(show "$out" u)
  print=$([ "${code:0:1}" = 1 ] && echo allowed || echo "not allowed")
  extract=$([ "${code:2:1}" = 1 ] && echo allowed || echo "not allowed")
  for line in "R = 4" "stream encryption method: AESv2" "file encryption method: AESv2" \
    "Supplied password is user password" "print high resolution: $print" "print low resolution: $print" \
    "extract for any purpose: $extract" "modify anything: not allowed"; do
    has_line "$info" "$line" || fail "pdfenc $code: no \"$line\" in: $info"
  done
  has_line "$(show "$out" o)" "Supplied password is owner password" || fail "pdfenc $code: owner password o does not open it as owner"
  qpdf --requires-password "$out"
  [ $? -eq 0 ] || fail "pdfenc $code: opens without the user password"
  qpdf --check --password=u "$out" >/dev/null || fail "pdfenc $code: qpdf --check finds errors"
  names=$(pdfinfo -upw u "$out")
  grep -qx 'Creator: *Folvarek' <<<"$names" && grep -qx 'Producer: *Folvarek' <<<"$names" ||
    fail "pdfenc $code: Creator and Producer are not Folvarek: $names"
done
[ "$(pdftotext -upw u "$work/perm-10100000.pdf" - | grep -c Body)" -eq 3 ] || fail "pdfenc lost the body text"

# Empty passwords: anyone opens the file, the restrictions hold and the owner password is not empty.
# The same password twice would likewise make every reader the owner.
for users in "/" "u/u"; do
  user=${users%/*} owner=${users#*/}
  out=$work/same-$user.pdf
  encrypt "$body" "$out" "$user" "$owner" 00000000 128
  expect_success "pdfenc with passwords \"$user\"/\"$owner\""
  info=$(show "$out" "$user")
  has_line "$info" "Supplied password is user password" && ! has_line "$info" "Supplied password is owner password" ||
    fail "passwords \"$user\"/\"$owner\": the user is the owner: $info"
  has_line "$info" "extract for any purpose: not allowed" || fail "passwords \"$user\"/\"$owner\": copying allowed: $info"
  has_line "$info" "print low resolution: not allowed" || fail "passwords \"$user\"/\"$owner\": printing allowed: $info"
done
qpdf --requires-password "$work/same-.pdf"
[ $? -eq 3 ] || fail "empty user password: the file does not open without a password"

# Key lengths, a password that 128-bit encryption can hold once encoded for it, one it cannot
# hold (AES-256 instead), and a name outside Latin-1.
encrypt "$body" "$work/rc4.pdf" u o 10100000 40
expect_success "pdfenc 40"
has_line "$(show "$work/rc4.pdf" u)" "R = 2" || fail "pdfenc 40 does not give RC4-40 (R 2)"
encrypt "$body" "$work/aes256.pdf" u o 10100000 256 "Folvárek Ωmega"
expect_success "pdfenc 256"
info=$(show "$work/aes256.pdf" u)
has_line "$info" "R = 6" && has_line "$info" "stream encryption method: AESv3" || fail "pdfenc 256 does not give AES-256: $info"
grep -qx 'Creator: *Folvárek Ωmega' <<<"$(pdfinfo -upw u "$work/aes256.pdf")" || fail "non-Latin creator name garbled"
encrypt "$body" "$work/umlaut.pdf" "Pässwort" o 10100000 128
expect_success "pdfenc with Pässwort"
# Readers turn the typed password into PDFDocEncoding, where ä is the single byte E4.
info=$(qpdf --show-encryption --suppress-password-recovery --password-mode=bytes --password="$(printf 'P\344sswort')" "$work/umlaut.pdf" 2>&1)
has_line "$info" "R = 4" && has_line "$info" "Supplied password is user password" || fail "Pässwort does not open its AES-128 file: $info"
encrypt "$body" "$work/cyrillic.pdf" "пароль" o 10100000 128
expect_success "pdfenc with пароль"
info=$(show "$work/cyrillic.pdf" "пароль")
has_line "$info" "R = 6" && has_line "$info" "Supplied password is user password" || fail "пароль does not open its file: $info"

# ---------------------------------------------------------------------------------------------
# The stamp tool.

# check_stamped PDF WHAT [OWNER_PASSWORD]: on every page the first content stream only draws a
# form XObject; the mark stands upright, centred at the foot of the TrimBox (listed below in
# displayed coordinates, top-left origin) within its lowest 28 points; the body text has not moved.
trim_boxes=("1 0 0 595.276 841.89" "2 0 0 841.89 595.276" "3 100 50 562 642" "4 0 0 612 792")
check_stamped() {
  local pdf=$1 what=$2 password=${3:-}
  local qpdf_options=() text_options=() pages page first data box mark
  if [ -n "$password" ]; then qpdf_options=(--password="$password") text_options=(-opw "$password"); fi
  pages=$(qpdf --show-pages "${qpdf_options[@]}" "$pdf") || { fail "$what: qpdf cannot read the pages"; return; }
  for page in 1 2 3 4; do
    first=$(awk -v p="page $page:" '$0 ~ "^"p { f = 1; next } f && /^ +[0-9]+ 0 R$/ { print $1; exit }' <<<"$pages")
    data=$(qpdf --show-object="$first" --filtered-stream-data "${qpdf_options[@]}" "$pdf" | tr '\n' ' ')
    [[ $data =~ ^[[:space:]]*q[[:space:]].*/Fx[0-9]+[[:space:]]+Do[[:space:]]+Q[[:space:]]*$ ]] ||
      fail "$what page $page: the first content stream does not just draw the stamp: $data"
  done
  mark=$(words "$pdf" "${text_options[@]}" | awk '$2 == "Folvarek"')
  for box in "${trim_boxes[@]}"; do
    read -r page left top right bottom <<<"$box"
    awk -v page="$page" -v l="$left" -v r="$right" -v b="$bottom" '
      $1 == page { found = 1
        ok = $3 >= l && $5 <= r && $6 <= b + 0.5 && $4 >= b - 28 &&
             ($3 + $5) / 2 - (l + r) / 2 < 1 && (l + r) / 2 - ($3 + $5) / 2 < 1 && $5 - $3 > 2 * ($6 - $4) }
      END { exit !(found && ok) }' <<<"$mark" ||
      fail "$what page $page: mark not upright at the foot of the TrimBox ($left $top $right $bottom): ${mark:-none}"
  done
  diff <(words "$body") <(words "$pdf" "${text_options[@]}" | grep -v Folvarek) >/dev/null ||
    fail "$what: the body text moved or changed"
  qpdf --check "${qpdf_options[@]}" "$pdf" >/dev/null || fail "$what: qpdf --check finds errors"
}

stamp_with "$body" "$stamp" "$work/stamped.pdf"
expect_success "stamp"
check_stamped "$work/stamped.pdf" "stamped body"

# An encrypted input (the job after pdfenc): opened with the password from the environment,
# stamped, and still encrypted exactly as before, Creator and Producer included.
for bits in 128 256; do
  encrypt "$body" "$work/enc-$bits.pdf" u o 00100000 "$bits"
  FOLVAREK_PDF_PASSWORD=u stamp_with "$work/enc-$bits.pdf" "$stamp" "$work/enc-stamped-$bits.pdf"
  expect_success "stamp AES-$bits input"
  [ "$(show "$work/enc-$bits.pdf" u)" = "$(show "$work/enc-stamped-$bits.pdf" u)" ] ||
    fail "stamp AES-$bits: encryption changed: $(show "$work/enc-stamped-$bits.pdf" u)"
  check_stamped "$work/enc-stamped-$bits.pdf" "stamped AES-$bits" o
  grep -qx 'Producer: *Folvarek' <<<"$(pdfinfo -upw u "$work/enc-stamped-$bits.pdf")" || fail "stamp AES-$bits lost the Producer"
done
# A password typed in UTF-8 opens a file whose password is stored in PDFDocEncoding.
FOLVAREK_PDF_PASSWORD="Pässwort" stamp_with "$work/umlaut.pdf" "$stamp" "$work/umlaut-stamped.pdf"
expect_success "stamp with Pässwort"
has_line "$(show "$work/umlaut-stamped.pdf" "Pässwort")" "Supplied password is user password" || fail "stamp with Pässwort: password lost"

# ---------------------------------------------------------------------------------------------
# Non-ASCII file and folder names, through both tools.

mkdir -p "$work/Отчёты über"
cp "$body" "$work/Отчёты über/Входной файл.pdf"
encrypt "$work/Отчёты über/Входной файл.pdf" "$work/Отчёты über/Zwischenstück ü.pdf" "" "" 10100000 128
expect_success "pdfenc with non-ASCII names"
stamp_with "$work/Отчёты über/Zwischenstück ü.pdf" "$stamp" "$work/Отчёты über/Итог «готов».pdf"
expect_success "stamp with non-ASCII names"
# With empty passwords the job's file stays encrypted (its permissions) and opens without one.
qpdf --requires-password "$work/Отчёты über/Итог «готов».pdf"
[ $? -eq 3 ] || fail "non-ASCII names: the result is not the encrypted file that opens without a password"

# ---------------------------------------------------------------------------------------------
# Bad input: a non-zero exit code, one line naming the problem, no output and nothing else left
# behind, and a file already at the target untouched.

head -c "$(($(stat -c %s "$body") * 6 / 10))" "$body" >"$work/truncated.pdf"
# A wrong cross-reference offset: qpdf repairs this, but a repaired file may have lost content.
sed '/^startxref$/{n;s/.*/17/}' "$body" >"$work/bad-xref.pdf"
printf 'Meeting notes, not a PDF.\n' >"$work/notes.pdf"
: >"$work/empty.pdf"

case_number=0
expect_failure() { # expect_failure TOOL_NAME MESSAGE_PART (after running into $target in $dir)
  local name=$1 part=$2
  if [ "$rc" -eq 0 ]; then
    fail "case $case_number: $name succeeded"
  elif [ "$(printf '%s\n' "$output" | wc -l)" -ne 1 ] || [[ $output != "$name: "* ]] || [[ $output != *"$part"* ]]; then
    fail "case $case_number: $name said \"$output\", expected one line with \"$part\""
  fi
  [ "$(ls -A "$dir")" = "target.pdf" ] && [ "$(cat "$dir/target.pdf")" = "earlier file" ] ||
    fail "case $case_number: $name left $(ls -A "$dir" | tr '\n' ' ') or changed the earlier target"
}
fresh_target() {
  case_number=$((case_number + 1))
  dir=$work/bad-$case_number
  mkdir -p "$dir"
  printf 'earlier file' >"$dir/target.pdf"
  target=$dir/target.pdf
}

for input in missing.pdf notes.pdf empty.pdf truncated.pdf bad-xref.pdf; do
  part=$([ "$input" = missing.pdf ] && echo "cannot read" || echo "is not a PDF file or is damaged")
  fresh_target
  encrypt "$work/$input" "$target" u o 10100000 128
  expect_failure pdfenc "$part"
  fresh_target
  stamp_with "$work/$input" "$stamp" "$target"
  expect_failure Kestrix "$part"
  fresh_target
  stamp_with "$body" "$work/$input" "$target"
  expect_failure Kestrix "$part"
done

fresh_target
run "$pdfenc" "$(arg_path "$body")" "$(arg_path "$target")" u o 10100000 128 Creator Folvarek
expect_failure pdfenc "wrong arguments"
fresh_target
run "$pdfenc" "$(arg_path "$body")" "$(arg_path "$target")" u o 10100000 128 Author Folvarek Producer Folvarek
expect_failure pdfenc "wrong arguments"
for code in 1010 101000000 10a00000 ""; do
  fresh_target
  encrypt "$body" "$target" u o "$code" 128
  expect_failure pdfenc "permission code \"$code\""
done
fresh_target
encrypt "$body" "$target" u o 10100000 64
expect_failure pdfenc "key length \"64\""
qpdf --empty "$work/no-pages.pdf"
fresh_target
stamp_with "$body" "$work/no-pages.pdf" "$target"
expect_failure Kestrix "has no page to lay under the document"
fresh_target
run "$kestrix" "$(arg_path "$body")" over "$(arg_path "$stamp")" output "$(arg_path "$target")"
expect_failure Kestrix "wrong arguments"
fresh_target
stamp_with "$work/enc-128.pdf" "$stamp" "$target"
expect_failure Kestrix "password in FOLVAREK_PDF_PASSWORD does not open it"
fresh_target
FOLVAREK_PDF_PASSWORD=wrong stamp_with "$work/enc-128.pdf" "$stamp" "$target"
expect_failure Kestrix "password in FOLVAREK_PDF_PASSWORD does not open it"

# An output that cannot be written: a folder that does not exist, and a folder in the way.
fresh_target
encrypt "$body" "$dir/no such folder/out.pdf" u o 10100000 128
expect_failure pdfenc "cannot write"
fresh_target
stamp_with "$body" "$stamp" "$dir/no such folder/out.pdf"
expect_failure Kestrix "cannot write"
fresh_target
mkdir "$dir/folder.pdf"
encrypt "$body" "$dir/folder.pdf" u o 10100000 128
rmdir "$dir/folder.pdf"
expect_failure pdfenc "cannot write"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all tool checks passed"

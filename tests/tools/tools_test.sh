#!/usr/bin/env bash
# pdfenc and the stamp tool end to end, checked with qpdf and poppler (tests/e2e/check_pdf.py).
#   tools_test.sh PDFENC KESTRIX STAMP_PDF [RUNNER]
# RUNNER runs a Windows program under Wine (scripts/wine-run); the tools then get Windows paths.
set -uo pipefail
pdfenc=$1 kestrix=$2 stamp=$3 runner=${4:-}
here=$(dirname "$0")
source "$here/make-pdf.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# A path as the tools get it: Wine's drive Z: is the Linux root.
arg_path() { if [ -n "$runner" ]; then local p=${1//\//\\}; printf 'Z:%s' "$p"; else printf '%s' "$1"; fi; }
run() { output=$(${runner:+"$runner"} "$@" 2>&1); rc=$?; }  # sets $rc and $output
encrypt() { run "$pdfenc" "$(arg_path "$1")" "$(arg_path "$2")" "$3" "$4" "$5" "$6" Creator "${7:-Folvarek}" Producer Folvarek; }
stamp_with() { run "$kestrix" "$(arg_path "$1")" background "$(arg_path "$2")" output "$(arg_path "$3")"; }
check() { # check WHAT PDF CHECK_PDF_OPTIONS...: the last tool succeeded and its result passes
  local what=$1
  shift
  [ "$rc" -eq 0 ] || fail "$what: exit code $rc: $output"
  python3 "$here/../e2e/check_pdf.py" "$@" >&2 || fail "$what"
}

# Four pages whose body text sits well inside the TrimBox: A4 with its own resources; A4 turned by
# 90 degrees with resources from an intermediate node; Letter with a TrimBox off the MediaBox's
# centre; Letter without any resources.
body=$work/body.pdf
printf 'BT /F1 24 Tf 72 760 Td (Body one) Tj ET\n' >"$work/c1"
printf 'BT /F1 24 Tf 72 760 Td (Body two) Tj ET\n' >"$work/c2"
printf 'BT /F1 24 Tf 120 690 Td (Body three) Tj ET\n' >"$work/c3"
printf '0.2 0.4 0.8 rg 72 500 200 150 re f\n' >"$work/c4"
font='/Resources << /Font << /F1 3 0 R >> >>'
pdf_begin "$body"
pdf_object '<< /Type /Catalog /Pages 2 0 R >>'
pdf_object '<< /Type /Pages /Kids [4 0 R 6 0 R 9 0 R 11 0 R] /Count 4 >>'
pdf_object '<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>'
pdf_object "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.276 841.89] $font /Contents 5 0 R >>"
pdf_stream '' "$work/c1"
pdf_object "<< /Type /Pages /Parent 2 0 R /Kids [7 0 R] /Count 1 $font >>"
pdf_object '<< /Type /Page /Parent 6 0 R /MediaBox [0 0 595.276 841.89] /Rotate 90 /Contents 8 0 R >>'
pdf_stream '' "$work/c2"
pdf_object "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /TrimBox [100 150 562 742] $font /Contents 10 0 R >>"
pdf_stream '' "$work/c3"
pdf_object '<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 12 0 R >>'
pdf_stream '' "$work/c4"
pdf_end 1
qpdf --check "$body" >/dev/null || { echo "the test document itself is broken" >&2; exit 1; }

# pdfenc: code, passwords and key length, and what qpdf must find. The job's own
# combinations (128 bits) are checked on the installed product.
while read -r code user owner bits revision print extract; do
  out=$work/$code-$user-$bits.pdf
  encrypt "$body" "$out" "$user" "$owner" "$code" "$bits"
  check "pdfenc $code \"$user\"/\"$owner\" $bits" "$out" --password "$user" --owner "$owner" --encrypted yes \
    --revision "$revision" --print "$print" --extract "$extract" --metadata Folvarek --pages 4 --text "Body three"
done <<'TABLE'
00100000 u o 128 4 withheld allowed
10100000 u o 40 2 allowed allowed
10100000 u o 256 6 allowed allowed
00100000 Pässwörd€ o 256 6 withheld allowed
10100000 пароль o 128 6 allowed allowed
TABLE
# A name outside Latin-1, and a password 128-bit encryption can hold once encoded as readers do
# (PDFDocEncoding, where ä is the single byte E4).
encrypt "$body" "$work/umlaut.pdf" "Pässwort" o 10100000 128 "Folvárek Ωmega"
grep -qx 'Creator: *Folvárek Ωmega' <<<"$(pdfinfo -opw o "$work/umlaut.pdf")" || fail "non-Latin creator garbled"
grep -qx "R = 4" <<<"$(qpdf --show-encryption --password-mode=bytes --password="$(printf 'P\344sswort')" "$work/umlaut.pdf" 2>&1)" ||
  fail "Pässwort does not open its AES-128 file"

# The stamp: drawn first on every page, the mark upright and centred at the foot of the TrimBox
# (displayed coordinates, top-left origin: page left top right bottom), the body text not moved.
check_stamped() { # check_stamped PDF WHAT [OWNER_PASSWORD]
  local pdf=$1 what=$2 password=${3:-} page left top right bottom mark
  check "$what" "$pdf" --password "$password" --stamp --pages 4
  local words=(pdftotext -bbox ${password:+-opw "$password"} "$pdf" -)
  mark=$("${words[@]}" 2>/dev/null | awk '/<page /{p++} /<word .*>Folvarek</{split($0,q,"\""); print p, q[2], q[4], q[6], q[8]}')
  for box in "1 0 0 595.276 841.89" "2 0 0 841.89 595.276" "3 100 50 562 642" "4 0 0 612 792"; do
    read -r page left top right bottom <<<"$box"
    awk -v page="$page" -v l="$left" -v r="$right" -v b="$bottom" '$1 == page { found = 1
      ok = $2 >= l && $4 <= r && $5 <= b + 0.5 && $3 >= b - 28 && ($2 + $4 - l - r) ^ 2 < 4 && $4 - $2 > 2 * ($5 - $3) }
      END { exit !(found && ok) }' <<<"$mark" || fail "$what page $page: mark not upright at the foot of the TrimBox: ${mark:-none}"
  done
  diff <(pdftotext -bbox "$body" - 2>/dev/null | grep '<word') <("${words[@]}" 2>/dev/null | grep '<word' | grep -v '>Folvarek<') >/dev/null ||
    fail "$what: the body text moved or changed"
}
stamp_with "$body" "$stamp" "$work/stamped.pdf"
check_stamped "$work/stamped.pdf" "stamp"
# An encrypted input, opened with the password from the environment, stays encrypted exactly as before.
for bits in 128 256; do
  encrypt "$body" "$work/enc-$bits.pdf" u o 00100000 "$bits"
  FOLVAREK_PDF_PASSWORD=u stamp_with "$work/enc-$bits.pdf" "$stamp" "$work/enc-stamped-$bits.pdf"
  check_stamped "$work/enc-stamped-$bits.pdf" "stamp AES-$bits" o
  [ "$(qpdf --show-encryption --password=u "$work/enc-$bits.pdf")" = "$(qpdf --show-encryption --password=u "$work/enc-stamped-$bits.pdf")" ] ||
    fail "stamp AES-$bits: the encryption changed"
  check "stamp AES-$bits" "$work/enc-stamped-$bits.pdf" --password u --metadata Folvarek
done
FOLVAREK_PDF_PASSWORD="Pässwort" stamp_with "$work/umlaut.pdf" "$stamp" "$work/umlaut-stamped.pdf"
check "stamp with Pässwort" "$work/umlaut-stamped.pdf" --password "Pässwort" --encrypted yes --stamp

# Non-ASCII file and folder names through both tools; empty passwords keep the permissions.
mkdir -p "$work/Отчёты über"
cp "$body" "$work/Отчёты über/Входной файл.pdf"
encrypt "$work/Отчёты über/Входной файл.pdf" "$work/Отчёты über/Zwischenstück ü.pdf" "" "" 10000000 128
stamp_with "$work/Отчёты über/Zwischenstück ü.pdf" "$stamp" "$work/Отчёты über/Итог «готов».pdf"
check "non-ASCII names" "$work/Отчёты über/Итог «готов».pdf" --encrypted yes --extract withheld --stamp

# Bad input: a non-zero exit code, one line naming the problem, nothing left behind, and a file
# already at the target untouched. Every line pdfenc refuses is in tests/common/PdfencLine_test.cpp.
head -c "$(($(stat -c %s "$body") * 6 / 10))" "$body" >"$work/truncated.pdf"
sed '/^startxref$/{n;s/.*/17/}' "$body" >"$work/bad-xref.pdf"  # repairable, but may have lost content
printf 'Meeting notes, not a PDF.\n' >"$work/notes.pdf"
: >"$work/empty.pdf"
qpdf --empty "$work/no-pages.pdf"
mkdir -p "$work/bad/folder.pdf"
n=0
while IFS='|' read -r tool message command; do
  n=$((n + 1))
  dir=$work/bad-$n target=$work/bad-$n/target.pdf
  mkdir -p "$dir"
  printf 'earlier file' >"$target"
  eval "$command"
  if [ "$rc" -eq 0 ] || [ "$(wc -l <<<"$output")" -ne 1 ] || [[ $output != "$tool: "*"$message"* ]]; then
    fail "case $n ($command): exit code $rc, said \"$output\"; expected \"$tool: ...$message...\""
  fi
  [ "$(ls -A "$dir")" = target.pdf ] && [ "$(cat "$target")" = "earlier file" ] || fail "case $n: left $(ls -A "$dir" | tr '\n' ' ')"
done <<'TABLE'
pdfenc|cannot read|encrypt "$work/missing.pdf" "$target" u o 10100000 128
Kestrix|cannot read|stamp_with "$work/missing.pdf" "$stamp" "$target"
Kestrix|cannot read|stamp_with "$body" "$work/missing.pdf" "$target"
pdfenc|is not a PDF file or is damaged|encrypt "$work/notes.pdf" "$target" u o 10100000 128
pdfenc|is not a PDF file or is damaged|encrypt "$work/empty.pdf" "$target" u o 10100000 128
pdfenc|is not a PDF file or is damaged|encrypt "$work/truncated.pdf" "$target" u o 10100000 128
Kestrix|is not a PDF file or is damaged|stamp_with "$work/bad-xref.pdf" "$stamp" "$target"
Kestrix|is not a PDF file or is damaged|stamp_with "$body" "$work/truncated.pdf" "$target"
pdfenc|wrong arguments|run "$pdfenc" "$(arg_path "$body")" "$(arg_path "$target")" u o 10100000 128 Author F Producer F
pdfenc|permission code "1010"|encrypt "$body" "$target" u o 1010 128
Kestrix|has no page to lay under the document|stamp_with "$body" "$work/no-pages.pdf" "$target"
Kestrix|wrong arguments|run "$kestrix" "$(arg_path "$body")" over "$(arg_path "$stamp")" output "$(arg_path "$target")"
Kestrix|password in FOLVAREK_PDF_PASSWORD does not open it|stamp_with "$work/enc-128.pdf" "$stamp" "$target"
Kestrix|password in FOLVAREK_PDF_PASSWORD does not open it|FOLVAREK_PDF_PASSWORD=wrong stamp_with "$work/enc-128.pdf" "$stamp" "$target"
pdfenc|cannot write|encrypt "$body" "$dir/no such folder/out.pdf" u o 10100000 128
Kestrix|cannot write|stamp_with "$body" "$stamp" "$dir/no such folder/out.pdf"
pdfenc|cannot write|encrypt "$body" "$work/bad/folder.pdf" u o 10100000 128
TABLE

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "all tool checks passed"

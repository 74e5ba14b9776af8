# Sourced by the tool tests and benchmarks: writes small PDFs object by object, with a correct
# cross-reference table, so every test document is made here rather than kept as a binary file.
#   pdf_begin FILE              start FILE
#   pdf_object TEXT             add the next object (numbered from 1) with TEXT as its body
#   pdf_stream DICT DATA_FILE   add the next object as a stream of DATA_FILE's bytes
#   pdf_end ROOT_NUMBER         write the cross-reference table and trailer
# A line of the cross-reference table is 20 bytes; a byte count is taken from the file itself.

pdf_begin() {
  _pdf_file=$1
  _pdf_offsets=()
  printf '%%PDF-1.7\n%%\342\343\317\323\n' >"$_pdf_file"
}

_pdf_next() {
  _pdf_offsets+=("$(stat -c %s "$_pdf_file")")
  printf '%d 0 obj\n' "${#_pdf_offsets[@]}" >>"$_pdf_file"
}

pdf_object() {
  _pdf_next
  printf '%s\nendobj\n' "$1" >>"$_pdf_file"
}

pdf_stream() {
  _pdf_next
  printf '<< %s /Length %d >>\nstream\n' "$1" "$(stat -c %s "$2")" >>"$_pdf_file"
  cat "$2" >>"$_pdf_file"
  printf '\nendstream\nendobj\n' >>"$_pdf_file"
}

pdf_end() {
  local xref count offset
  xref=$(stat -c %s "$_pdf_file")
  count=$((${#_pdf_offsets[@]} + 1))
  {
    printf 'xref\n0 %d\n0000000000 65535 f \n' "$count"
    for offset in "${_pdf_offsets[@]}"; do printf '%010d 00000 n \n' "$offset"; done
    printf 'trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n' "$count" "$1" "$xref"
  } >>"$_pdf_file"
}

#!/bin/sh
# A tool that the shell starts without handing back a process: under Wine, a Linux program. It
# writes its output at once to the Linux path in FOLVAREK_UNIX_OUT, or nothing when that is empty.
if [ -n "$FOLVAREK_UNIX_OUT" ]; then
  printf '%%PDF-unix\n' > "$FOLVAREK_UNIX_OUT"
fi

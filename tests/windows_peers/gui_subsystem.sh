#!/usr/bin/env bash
# Windowed programs are built for the Windows GUI subsystem: started from the
# shell they bring no console window with them.
#   gui_subsystem.sh OBJDUMP PROGRAM.exe...
set -euo pipefail
OBJDUMP="$1"
shift
status=0
for program in "$@"; do
  subsystem="$("$OBJDUMP" -p "$program" | sed -n 's/^Subsystem[[:space:]]*//p')"
  echo "$(basename "$program"): subsystem $subsystem"
  [[ "$subsystem" == *"Windows GUI"* ]] || { echo "FAIL: $(basename "$program") is not a GUI program"; status=1; }
done
exit "$status"

#!/usr/bin/env bash
# help2man runs this in place of the program named by VELORIN_MAN_PROGRAM. help2man finds a synopsis
# only in GNU's layout ("Usage: PROG ..." and "  or:  PROG ..." lines), so our usage's own layout is
# rewritten into that: lines that continue a form join it, and each further form becomes an "or:" line.
set -o pipefail
"$VELORIN_MAN_PROGRAM" "$@" | awk '
  NR == 1 && sub(/^usage: /, "Usage: ") { form = $0; inUsage = 1; next }
  inUsage && /^ +\[/ { sub(/^ +/, " "); form = form $0; next }
  inUsage && /^ +[a-z]/ { print form; sub(/^ +/, ""); form = "  or:  " $0; next }
  inUsage { print form; inUsage = 0 }
  { print }
  END { if (inUsage) print form }'

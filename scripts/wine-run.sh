#!/usr/bin/env bash
# Runs one Windows program under Wine for CTest. Wine's helper processes
# inherit the program's output handles and outlive it; giving them a file
# instead of CTest's pipe keeps CTest from waiting for them.
log=$(mktemp)
wine "$@" >"$log" 2>&1 </dev/null
rc=$?
cat "$log"
rm -f "$log"
exit $rc

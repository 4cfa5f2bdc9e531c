#!/bin/sh
# Runs a Windows program under Wine for CTest and for build steps. Helper processes Wine
# starts on the way (its desktop, its services) outlive the program and would hold its
# output pipe open, so the caller would wait for them: the output goes through a file.
out=$(mktemp) || exit 1
/usr/lib/wine/wine64 "$@" >"$out" 2>&1
status=$?
cat "$out"
rm -f "$out"
exit $status

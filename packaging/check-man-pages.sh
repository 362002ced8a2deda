#!/bin/sh
# Renders each man page given and fails on any warning of man's (or an empty page).
status=0
for page in "$@"; do
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null)
    if [ -n "$out" ]; then
        echo "$page:"; echo "$out"; status=1
    elif ! printf '%s\n' "$text" | grep -q '^NOME'; then
        echo "$page: rendered without a NOME section"; status=1
    fi
done
exit $status

#!/bin/sh
# lv2_validate over every Turtle file of a bundle; fails unless it finds
# 0 errors.
set -e
bundle="$1"
out="$(lv2_validate "$bundle"/*.ttl 2>&1)" || true
echo "$out" | grep -v '^Skipping' || true
echo "$out" | grep -q '^Found 0 errors'

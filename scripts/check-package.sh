#!/usr/bin/env bash
# Makes the Debian package in a built build directory (default build) and checks it: its
# contents list against packaging/contents.txt, its dependencies (dpkg-shlibdeps), its
# AppStream metainfo, and lintian, which must report no error.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
rm -f "$dir"/quendrix_*.deb
(cd "$dir" && cpack -G DEB >cpack.log 2>&1) || { cat "$dir/cpack.log"; exit 1; }
deb=$(ls "$dir"/quendrix_*_amd64.deb)

# Modes, owners and paths; sizes and dates change with every build.
if ! diff -u packaging/contents.txt <(dpkg-deb -c "$deb" | awk '{print $1, $2, $6}'); then
  echo "$deb: contents differ from packaging/contents.txt" >&2
  exit 1
fi
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || { echo "$deb: no Qt dependency" >&2; exit 1; }
appstreamcli validate --no-net packaging/org.quendrix.Quendrix.metainfo.xml >/dev/null
# lintian fails on an error; its warnings are printed and pass.
status=0
report=$(lintian --tag-display-limit 0 "$deb" 2>&1) || status=$?
grep -v "running with root privileges" <<<"$report" || true
[ "$status" -eq 0 ]
echo "$deb: contents, dependencies, metainfo and lintian: ok"

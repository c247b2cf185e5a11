#!/usr/bin/env bash
# Installs, with apt-get, whatever Quendrix needs to build and test and is missing.
set -euo pipefail

packages=(cmake g++ make clang clang-format libclang-rt-14-dev qt6-base-dev libcli11-dev
          libgtest-dev libgmock-dev libbenchmark-dev
          dpkg-dev fakeroot file help2man lintian appstream)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

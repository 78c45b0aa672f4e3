#!/usr/bin/env bash
# Installs, with apt-get, every Debian package that the build, the tests and
# the end-to-end runs need. Idempotent: packages already present are skipped.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libusb-1.0-0-dev libglib2.0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  umockdev libumockdev-dev
  libbiometric-dev
)
# Further packages a subsystem needs are listed one per line in
# scripts/packages.d/*.txt.
here=$(cd "$(dirname "$0")" && pwd)
if compgen -G "$here/packages.d/*.txt" >/dev/null; then
  while read -r p; do
    [[ -n "$p" && "$p" != \#* ]] && packages+=("$p")
  done < <(cat "$here"/packages.d/*.txt)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need.
# Quiet and quick when everything is already there.
set -euo pipefail

packages=(g++ make cmake clang libclang-rt-dev libgtest-dev libgmock-dev libbenchmark-dev python3 python3-pyasn1 openssl
          coreutils iproute2 libcurl4-openssl-dev)

missing=()
for pkg in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

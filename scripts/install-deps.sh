#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need.
# Quiet and quick when everything is already there.
# net-snmp's agent and trap receiver (snmpd, snmptrapd) are peers that the SNMP tests
# start themselves inside network namespaces: Debian's services of them are kept from
# starting, now and at boot.
set -euo pipefail

packages=(g++ make cmake ninja-build clang lld libclang-rt-dev libgtest-dev libgmock-dev libbenchmark-dev python3 python3-pyasn1 openssl
          coreutils iproute2 iputils-ping libcurl4-openssl-dev snmpd snmptrapd snmp)
snmp_services=(snmpd.service snmptrapd.service snmptrapd.socket)

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
# Services do not start while the packages install (unless a policy says so already).
policy=/usr/sbin/policy-rc.d
own_policy=0
if [[ ! -e $policy ]]; then
  printf '#!/bin/sh\nexit 101\n' | "${as_root[@]}" tee $policy >/dev/null
  "${as_root[@]}" chmod 755 $policy
  own_policy=1
fi
status=0
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" || status=$?
[[ $own_policy -eq 0 ]] || "${as_root[@]}" rm -f $policy
[[ $status -eq 0 ]] || exit $status
if command -v systemctl >/dev/null && [[ -d /run/systemd/system ]]; then
  "${as_root[@]}" systemctl disable --now "${snmp_services[@]}" >/dev/null 2>&1 || true
fi

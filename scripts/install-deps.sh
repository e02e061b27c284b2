#!/usr/bin/env bash
# Installs the Debian packages the project needs; quiet when all are there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  googletest libgtest-dev libgmock-dev
  libudt-dev nlohmann-json3-dev libcli11-dev libbenchmark-dev
  libmnl-dev libnftnl-dev libssl-dev uuid-dev
  gnuplot-nox iproute2 nftables patch
  clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
  wine64 debootstrap
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  echo "  updating the package lists ..."
  "${sudo_cmd[@]}" apt-get update -qq
  # One short line per package downloaded and set up, so a long install shows
  # that it is moving.
  "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}" |
    awk '/^Get:/ { print "  downloaded " $5; fflush() }
         /^Setting up / { print "  set up " $3; fflush() }'
fi

# The emulated 32-bit Windows lives in a root of its own, made once and kept.
"$(dirname "$0")/win32-env.sh" install

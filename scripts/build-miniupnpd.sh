#!/usr/bin/env bash
# Builds the test router's UPnP daemon from the miniupnpd 2.3.1 source beside
# the checkout, in a copy with our one-line patch (the daemon otherwise refuses
# the test network's outside address). Usage: build-miniupnpd.sh SOURCE OUTPUT
# leaves OUTPUT/miniupnpd; quiet and quick when it is already built.
set -euo pipefail
source_dir=$1
out_dir=$2
patch_file="$(cd "$(dirname "$0")/.." && pwd)/tests/e2e/router/test-wan-address.patch"

if [ -x "$out_dir/miniupnpd" ] && [ "$out_dir/miniupnpd" -nt "$patch_file" ]; then
  exit 0
fi
rm -rf "$out_dir"
mkdir -p "$out_dir"
cp -R "$source_dir/." "$out_dir/"
chmod -R u+w "$out_dir"
cd "$out_dir"
patch -p1 --forward --batch -i "$patch_file"
./configure --firewall=nftables >configure.log 2>&1 || { cat configure.log; exit 1; }
make -j2 miniupnpd >make.log 2>&1 || { tail -40 make.log; exit 1; }
echo "miniupnpd built in $out_dir"

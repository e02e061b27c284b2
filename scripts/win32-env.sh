#!/usr/bin/env bash
# The emulated 32-bit Windows: a Debian 12 root of its own holding the i386
# Wine and qemu-user, so that the host's packages (and its wine64) stay as
# they are. This machine cannot run 32-bit x86 code itself; qemu's user-mode
# emulation runs the i386 Wine, registered with binfmt_misc inside a user
# namespace of each run only.
#
#   win32-env.sh install
#       Makes the root once (about 400 MB, a few minutes) and keeps it; quiet
#       when it is there. Exits 0 with a message saying why when it cannot.
#   win32-env.sh run [--bind DIR]... -- PROGRAM [ARG]...
#       Runs PROGRAM inside the root, with each DIR mounted at its own path.
#
# The root lies in MS_WIN32_ROOT (default /var/cache/multishared/win32-root).
set -euo pipefail

root=${MS_WIN32_ROOT:-/var/cache/multishared/win32-root}
mirror=${MS_DEBIAN_MIRROR:-http://deb.debian.org/debian}
ready=$root/.multishared-ready

skip() {
  echo "32-bit Windows environment not installed: $*" >&2
  exit 0
}

# Runs a command in the partial root with /proc, /dev and /sys of the host,
# in a mount namespace of its own so that nothing stays mounted.
in_partial() {
  local partial=$1
  shift
  unshare --mount --propagation private --fork sh -c '
    r=$1; shift
    for d in proc dev sys; do mount --rbind /$d "$r/$d"; done
    exec chroot "$r" "$@"' sh "$partial" "$@"
}

install_root() {
  [ -f "$ready" ] && return 0
  [ "$(id -u)" -eq 0 ] || skip "making it needs root"
  [ "$(uname -m)" = x86_64 ] || skip "it is made for amd64 machines, this is $(uname -m)"
  if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap >/dev/null ||
      skip "debootstrap cannot be installed"
  fi
  local partial=$root.partial start=$SECONDS
  rm -rf "$partial"
  mkdir -p "$(dirname "$root")"
  echo "Making the 32-bit Windows environment in $root (once; about 400 MB) ..."
  echo "  debootstrap of Debian 12 from $mirror ..."
  debootstrap --variant=minbase bookworm "$partial" "$mirror" >"$partial.log" 2>&1 ||
    skip "debootstrap failed (see $partial.log)"
  # qemu 10 from the backports starts a 32-bit process in about a second,
  # bookworm's qemu 7.2 in about 90.
  cat >"$partial/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $mirror bookworm-backports main
EOF
  echo "  qemu-user from bookworm-backports, and the i386 Wine ..."
  if ! in_partial "$partial" sh -c '
      set -e
      export DEBIAN_FRONTEND=noninteractive
      dpkg --add-architecture i386
      apt-get update -qq
      apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user
      apt-get install -y -q --no-install-recommends wine wine32:i386
      apt-get clean' >>"$partial.log" 2>&1; then
    skip "the packages could not be installed in it (see $partial.log)"
  fi
  [ -x "$partial/usr/bin/qemu-i386" ] || skip "its qemu-user has no qemu-i386"
  rm -rf "$root"
  mv "$partial" "$root"
  mv "$partial.log" "$root.log"
  touch "$ready"
  echo "  made in $((SECONDS - start)) s"
}

run_in_root() {
  [ -f "$ready" ] || {
    echo "no 32-bit Windows environment in $root (scripts/win32-env.sh install)" >&2
    exit 125
  }
  local binds=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    [ "$1" = --bind ] || {
      echo "win32-env.sh run: unknown argument $1" >&2
      exit 2
    }
    binds+=("$(realpath "$2")")
    shift 2
  done
  shift
  # A user namespace owns a binfmt_misc of its own, so qemu-i386 is known to
  # this run and nothing else on the machine. The F flag opens the emulator
  # now, so it need not be found again inside the root.
  exec unshare --user --map-root-user --mount --propagation private --fork sh -c '
    set -e
    r=$1; shift
    while [ "$1" != -- ]; do mkdir -p "$r$1"; mount --rbind "$1" "$r$1"; shift; done
    shift
    for d in proc dev sys; do mount --rbind /$d "$r/$d"; done
    mount -t tmpfs tmpfs "$r/run"
    mkdir "$r/run/binfmt"
    mount -t binfmt_misc binfmt_misc "$r/run/binfmt"
    printf "%s" ":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$r/usr/bin/qemu-i386:F" \
      >"$r/run/binfmt/register"
    exec chroot "$r" "$@"' sh "$root" "${binds[@]}" -- "$@"
}

case "${1:-}" in
  install) install_root ;;
  run)
    shift
    run_in_root "$@"
    ;;
  *)
    echo "usage: $0 install | run [--bind DIR]... -- PROGRAM [ARG]..." >&2
    exit 2
    ;;
esac

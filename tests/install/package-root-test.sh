#!/usr/bin/env bash
# The Debian package installed as a user meets it: `package-root-test.sh BUILD` installs
# the package install_package made (BUILD/package-test) with dpkg into a scratch root,
# and shows that root as /usr in a mount namespace of its own (the machine's /usr below
# it), with a session bus and a home of the test's own. There:
#  - the file managers' entry adds a file before the program was ever started (the bus
#    starts it through the package's activation file);
#  - a start of the installed program writes no registration into the user's folders,
#    and takes away the copies an earlier copy of the program left there;
#  - once the package is removed, nothing of it is left but the user's library and
#    settings, and a call finds no service (instead of one that cannot be started).
set -euo pipefail
build="$(cd "$1" && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "${VELMORA_IN_NAMESPACE:-}" != 1 ]; then
  debs=("$build"/package-test/velmora_*.deb)
  [ -f "${debs[0]}" ] || fail "no package in $build/package-test: install_package makes it"
  [ ! -e /usr/lib/velmora ] || fail "Velmora is installed on this machine: the scratch root could not be told from it"
  command -v unshare >/dev/null || fail "unshare (util-linux) is missing"
  scratch="$(mktemp -d)"
  trap 'rm -rf "$scratch"' EXIT
  # The root's own package database: the package's dependencies are the machine's.
  root="$scratch/root"
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/usr"
  touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
  export PATH="$PATH:/usr/sbin:/sbin"
  dpkg --root="$root" --force-depends --force-not-root --log=/dev/null -i "${debs[0]}" >"$scratch/dpkg.log" 2>&1 \
    || fail "dpkg could not install the package into the scratch root: $(cat "$scratch/dpkg.log")"
  # A mount namespace (and a user namespace where the test is not root).
  ns=(unshare --mount --propagation private)
  [ "$(id -u)" = 0 ] || ns=(unshare --map-root-user --mount --propagation private)
  "${ns[@]}" true 2>/dev/null || fail "this machine refuses a mount namespace (${ns[*]}): the installed package cannot be run"
  VELMORA_IN_NAMESPACE=1 SCRATCH="$scratch" "${ns[@]}" bash "$0" "$build" phase-installed
  dpkg --root="$root" --force-not-root --log=/dev/null -r velmora >"$scratch/dpkg.log" 2>&1 \
    || fail "dpkg could not remove the package: $(cat "$scratch/dpkg.log")"
  left="$(find "$root/usr" ! -type d 2>/dev/null || true)"
  [ -z "$left" ] || fail "the removal left files of the package: $left"
  mkdir -p "$root/usr"   # dpkg took the empty folders too
  VELMORA_IN_NAMESPACE=1 SCRATCH="$scratch" "${ns[@]}" bash "$0" "$build" phase-removed
  echo "package root: ok"
  exit 0
fi

# Inside the namespace: the scratch root over /usr, a home and runtime folder of the
# test's own, and a private session bus that reads the standard service folders.
scratch="$SCRATCH"
mount -t overlay overlay -o "lowerdir=$scratch/root/usr:/usr" /usr
# The bus finds the user's data folder through the password database, not $HOME: named.
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=offscreen
export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config"
unset XDG_DATA_DIRS XDG_CONFIG_DIRS DBUS_SESSION_BUS_ADDRESS
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cd "$HOME"

# Every file below the user's data and configuration folders, where the desktop looks
# for registrations, but the library and the settings, which are the user's own and stay.
# (Libraries' caches, such as GStreamer's in ~/.cache, are no registration.)
user_files() {
  find "$HOME/.local/share" "$HOME/.config" ! -type d ! -path "$HOME/.local/share/Velmora/*" \
    ! -path "$HOME/.config/Velmora/*" 2>/dev/null | sort
}

# The installed programs this test started, ended (they end by themselves once idle).
wait_for_programs() {
  for _ in $(seq 120); do
    pgrep -f '^/usr/lib/velmora/velmora' >/dev/null || return 0
    sleep 0.5
  done
  fail "the installed program did not end"
}

case "$2" in
  phase-installed)
    # The library the installed program opens by default, made with a password, so
    # that a windowless add can take its key.
    tool() { VELMORA_PASSWORD='root test' velmora-tool "$@"; }
    tool init --data "$HOME/.local/share/Velmora" >/dev/null
    printf 'picture bytes' > photo.jpg
    printf 'other bytes' > photo2.jpg
    dbus-run-session -- bash -euc '
      velmora-add-files photo.jpg || { echo "FAIL: the entry before the first start: exit $?" >&2; exit 1; }
    ' || fail "the file managers' entry could not add before the first start"
    wait_for_programs
    tool ls --data "$HOME/.local/share/Velmora" | grep -q photo.jpg || fail "photo.jpg was not added"
    [ -z "$(user_files)" ] || fail "the bus-started program wrote for its user: $(user_files)"

    # What an earlier copy of the program (a build, an older package) left for the
    # user shadows the package's registration; an installed start takes it away.
    mkdir -p "$HOME/.local/share/dbus-1/services"
    printf '[D-BUS Service]\nName=Tarnel.tnApp\nExec=/opt/gone/velmora -embedding\n' \
      > "$HOME/.local/share/dbus-1/services/Tarnel.tnApp.service"
    velmora photo2.jpg || fail "the installed program's windowless add failed"
    wait_for_programs
    tool ls --data "$HOME/.local/share/Velmora" | grep -q photo2.jpg || fail "photo2.jpg was not added"
    [ -z "$(user_files)" ] || fail "an installed start left files in the user's folders: $(user_files)"
    ;;
  phase-removed)
    [ ! -e /usr/lib/velmora ] || fail "the program is still there"
    [ -f "$HOME/.local/share/Velmora/tndb.mdb" ] || fail "the user's library went with the package"
    [ -z "$(user_files)" ] || fail "files of the program outlived its removal: $(user_files)"
    # The bus knows no such service any more.
    answer="$(dbus-run-session -- gdbus call --session --dest Tarnel.tnApp --object-path /tnApp \
      --method Tarnel.ItnApp.AddFiles "'$HOME/photo.jpg'" 2>&1 || true)"
    [[ "$answer" == *org.freedesktop.DBus.Error.ServiceUnknown* ]] || fail "a call after the removal: $answer"
    ;;
esac

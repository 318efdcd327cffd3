#!/usr/bin/env bash
# The Debian package: built with CPack from the build folder given, its
# contents and dependencies, the desktop entry and AppStream metadata
# validators, and the installed program run from a read-only copy of the
# package's tree with a fresh home folder and no display.
set -euo pipefail

build=${1:?usage: check-package.sh BUILD_FOLDER}

# A test run is held under the build lock, and flock hands its descriptor on
# to everything it starts. Nothing here needs it: every inherited descriptor
# past the standard three is let go at once, so neither this script's
# programs nor anything they leave behind can keep the lock.
self=$(readlink -f "$0")
for fd in /proc/$$/fd/*; do
  fd=${fd##*/}
  [ "$fd" -gt 2 ] || continue
  [ "$(readlink "/proc/$$/fd/$fd" 2>/dev/null)" = "$self" ] && continue  # bash reads the script from it
  eval "exec $fd>&-"
done

work=$(mktemp -d -t tallix-package.XXXXXX)
root="$work/root"
tallix="$root/usr/bin/tallix"
# How long any one run of the installed program may take. The program in the
# background waits at its login for ever, so it runs under timeout: even a
# script killed outright (ctest's TIMEOUT) leaves nothing running for long.
limit=60

# The processes running the installed program, by their executable.
installed_running() {
  local p exe
  for p in /proc/[0-9]*; do
    exe=$(readlink "$p/exe" 2>/dev/null) || continue
    case "$exe" in "$root"/*) echo "${p#/proc/}" ;; esac
  done
}
stop_installed() {
  local pids
  pids=$(installed_running)
  [ -z "$pids" ] && return 0
  kill $pids 2>/dev/null || true
  for _ in $(seq 1 50); do
    [ -z "$(installed_running)" ] && return 0
    sleep 0.1
  done
  kill -KILL $(installed_running) 2>/dev/null || true
}
cleanup() {
  stop_installed
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/tallix_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { cat "$work/cpack.log"; fail "no package was made"; }
echo "package: $(basename "$deb")"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
expect=(
  ./usr/bin/tallix
  ./usr/share/tallix/custom.db
  ./usr/share/applications/com.example.tallix.desktop
  ./usr/share/metainfo/com.example.tallix.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/com.example.tallix.svg
)
for size in 16 24 32 48 64 128 256; do
  expect+=("./usr/share/icons/hicolor/${size}x${size}/apps/com.example.tallix.png")
done
for f in "${expect[@]}"; do
  grep -qx -- "$f" <<<"$contents" || fail "the package lacks $f"
done
# Nothing of a user's lies in the package: no config.ini, no backups.
! grep -q -e 'config\.ini' -e '/backups' <<<"$contents" || fail "the package holds a user's files"

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for d in libc6 libqt6core6 libqt6widgets6 libqt6sql6 libsqlite3-0 libqt6sql6-sqlite; do
  grep -Eq "(^|, )$d( |,|$)" <<<"$depends" || fail "Depends lacks $d"
done

dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/com.example.tallix.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.example.tallix.metainfo.xml" || fail "appstreamcli validate"
for size in 16 48 256; do
  png="$root/usr/share/icons/hicolor/${size}x${size}/apps/com.example.tallix.png"
  width=$(od -An -tu1 -j16 -N4 "$png" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
  [ "$width" = "$size" ] || fail "the ${size}x${size} icon is $width wide"
done

# The installed program, read-only, in a fresh home folder, without a display.
chmod -R a-w "$root"
home="$work/home"
mkdir -p "$home"
# Runs the installed program (with what comes before it, like env) under
# timeout, in a fresh home folder, without a display, with only the standard
# descriptors. Called in a subshell of its own, which it replaces, so that $!
# of "(installed ...) &" is timeout's.
installed() {
  for fd in /proc/$BASHPID/fd/*; do
    fd=${fd##*/}
    [ "$fd" -gt 2 ] && eval "exec $fd>&-"
  done
  exec timeout -k 5 "$limit" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME \
    -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME HOME="$home" "$@"
}
run() { (installed "$@"); }
before=$(find "$root" | sort)

[ "$(run "$tallix" --version)" = "Tallix 1.70" ] || fail "--version"
help=$(run "$tallix" --help)
grep -qF "settings  $home/.config/tallix/config.ini" <<<"$help" || { echo "$help"; fail "--help: settings"; }
grep -qF "database  $home/.local/share/tallix/custom.db" <<<"$help" || { echo "$help"; fail "--help: database"; }

# The first start makes the user's database from the template and the day's
# backup, then waits at the login.
(installed env QT_QPA_PLATFORM=offscreen "$tallix") </dev/null >"$work/gui.log" 2>&1 &
gui=$!
daily="$home/.local/share/tallix/backups/custom-daily-$(date +%F).db"
# A loaded machine may take a while to start it; well within $limit.
for _ in $(seq 1 450); do
  [ -f "$daily" ] && break
  kill -0 "$gui" 2>/dev/null || { cat "$work/gui.log"; fail "the program ended at its first start"; }
  sleep 0.1
done
[ -f "$daily" ] || { cat "$work/gui.log"; fail "no daily backup at the first start"; }
# The files the test run holds open past the standard three (the build lock
# among them): neither timeout nor the program may hold any of them.
held=$(for p in $$ $PPID; do
  for fd in /proc/$p/fd/*; do
    [ "${fd##*/}" -gt 2 ] || continue
    f=$(readlink "$fd" 2>/dev/null) || continue
    case "$f" in /dev/* | /proc/* | "$self") ;; /*) echo "$f" ;; esac
  done
done | sort -u)
for p in "$gui" $(installed_running); do
  for fd in /proc/$p/fd/*; do
    f=$(readlink "$fd" 2>/dev/null) || continue
    if [ -n "$held" ] && grep -qxF -- "$f" <<<"$held"; then fail "the installed program holds $f"; fi
  done
done
# $gui is timeout, which passes the signal on to the program.
kill "$gui"
wait "$gui" 2>/dev/null || true
for _ in $(seq 1 50); do
  [ -z "$(installed_running)" ] && break
  sleep 0.1
done
[ -z "$(installed_running)" ] || fail "the program went on running after it was told to end"
[ -f "$home/.local/share/tallix/custom.db" ] || fail "no database in the user's data folder"

status=0
run "$tallix" --backup "$home/nightly.db" || status=$?
[ "$status" = 0 ] || fail "--backup ended with $status"
[ "$(sqlite3 "$home/nightly.db" 'pragma integrity_check')" = ok ] || fail "the backup is not sound"

[ "$(find "$root" | sort)" = "$before" ] || fail "something was written into the installed tree"
echo "package checks passed"

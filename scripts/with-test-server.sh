#!/usr/bin/env bash
# Runs a command with a throwaway PostgreSQL server of its own: a fresh
# cluster in a temporary folder, listening on 127.0.0.1 and a socket in that
# folder only, run as an unprivileged user when started as root. The server
# holds a database tallix_template made by scripts/server-create-db.sh, as
# an office makes theirs (user Admin with an empty password); tests copy it
# for each case. The command finds the server in TALLIX_TEST_PG
# (postgresql://tallix@127.0.0.1:<port>; tallix is the cluster's superuser),
# and a command that stops and starts it in TALLIX_TEST_PG_CTL ("<ctl> stop",
# "<ctl> crash" (stopped at once, as a crash would), "<ctl> start"). The
# server is stopped and its folder removed when the command ends, whatever
# its result.
#
#   scripts/with-test-server.sh <command> [arguments...]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

fail() {
    echo "with-test-server: $*" >&2
    exit 1
}

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
[ -n "$bindir" ] && [ -x "$bindir/initdb" ] ||
    fail "the PostgreSQL server programs are not installed (scripts/install-deps.sh installs them)"
command -v psql >/dev/null || fail "psql is not installed"

work=$(mktemp -d /tmp/tallix-test-server.XXXXXX)
run=()
if [ "$(id -u)" -eq 0 ]; then
    # The server refuses to run as root.
    id postgres >/dev/null 2>&1 || fail "there is no user postgres to run the server as"
    chown postgres "$work"
    run=(runuser -u postgres --)
fi

# Runs a command with only the standard descriptors. The server outlives the
# command that starts it, and must not carry off a descriptor this script was
# given: flock hands on the build lock's, and a server left behind by a
# killed run would hold that lock for as long as it lives.
bare() {
    (
        for fd in /proc/$BASHPID/fd/*; do
            fd=${fd##*/}
            [ "$fd" -gt 2 ] && eval "exec $fd>&-"
        done
        exec "$@"
    )
}

stop() {
    if [ -f "$work/data/postmaster.pid" ]; then
        "${run[@]}" "$bindir/pg_ctl" -D "$work/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap stop EXIT

# A free port, starting from 55432.
port=55432
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do
    port=$((port + 1))
    [ "$port" -lt 55532 ] || fail "no free port between 55432 and 55531"
done

"${run[@]}" "$bindir/initdb" -D "$work/data" -U tallix -A trust -E UTF8 --locale=C >"$work/initdb.log" 2>&1 ||
    { cat "$work/initdb.log" >&2; fail "initdb could not make the test cluster"; }
cat >>"$work/data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$work'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 60
EOF
# User tallix is trusted; every other user must give a password, so tests
# can meet a refused password.
cat >"$work/data/pg_hba.conf" <<EOF
local all tallix trust
host  all tallix 127.0.0.1/32 trust
host  all all    127.0.0.1/32 scram-sha-256
EOF
bare "${run[@]}" "$bindir/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 30 start >/dev/null 2>&1 ||
    { cat "$work/server.log" >&2 2>/dev/null || true; fail "the test database server did not start"; }

TALLIX_ADMIN_PASSWORD= "$root/scripts/server-create-db.sh" "postgresql://tallix@127.0.0.1:$port/tallix_template" \
    >"$work/template.log" 2>&1 </dev/null ||
    { cat "$work/template.log" >&2; fail "scripts/server-create-db.sh could not make the template database"; }

cat >"$work/ctl" <<EOF
#!/usr/bin/env bash
# stop | crash | start: the test server, for tests of a server that goes away.
case "\$1" in
    stop) ${run[*]} "$bindir/pg_ctl" -D "$work/data" -m fast -w stop ;;
    crash) ${run[*]} "$bindir/pg_ctl" -D "$work/data" -m immediate -w stop ;;
    start) ${run[*]} "$bindir/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 30 start ;;
    *) echo "usage: \$0 stop|crash|start" >&2; exit 2 ;;
esac >/dev/null
EOF
chmod 755 "$work/ctl"

export TALLIX_TEST_PG="postgresql://tallix@127.0.0.1:$port"
export TALLIX_TEST_PG_CTL="$work/ctl"
echo "Test database server: $TALLIX_TEST_PG (template tallix_template)"
"$@"

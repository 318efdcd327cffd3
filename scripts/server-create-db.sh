#!/usr/bin/env bash
# Makes a Tallix database on a PostgreSQL server: the database named in the
# address, with the tables and first rows of a new Tallix database
# (db/server-schema.sql, db/seed.sql), and the roles and rights its users
# need (db/server-rights.sql): each Tallix user logs in as a server role of
# their own, and the server refuses what their level may not do.
#
#   scripts/server-create-db.sh postgresql://admin@dbhost:5432/tallix
#
# The user in the address becomes the database's owner and must be allowed
# to create databases and roles (CREATEDB, CREATEROLE). Its password comes
# from ~/.pgpass or PGPASSWORD, as for every PostgreSQL client. The password
# of the first Tallix user, Admin, is asked for on the terminal, or taken
# from TALLIX_ADMIN_PASSWORD; without either it stays empty. A database of
# that name that already exists is left alone.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 1 ] || { echo "usage: $0 postgresql://user@host:port/database" >&2; exit 2; }
address=$1
case "$address" in
    postgresql://*/* | postgres://*/*) ;;
    *) echo "$0: not a database server address with a database name: $address" >&2; exit 2 ;;
esac

# postgresql://user@host:port/name?options -> the name, and the same address
# naming the server's maintenance database instead.
base=${address%%\?*}
options=${address#"$base"}
name=${base##*/}
[ -n "$name" ] || { echo "$0: the address names no database: $address" >&2; exit 2; }
# The roles are named after the database, and a role name holds 63 bytes.
if ! [[ "$name" =~ ^[A-Za-z0-9_-]{1,40}$ ]]; then
    echo "$0: use a database name of at most 40 letters, digits, _ or - (its users' roles are named after it): $name" >&2
    exit 2
fi
maintenance="${base%/*}/postgres$options"

if psql "$maintenance" -Atqc "select 1 from pg_database where datname = '$name'" | grep -q 1; then
    echo "$0: the server already has a database $name; it was left as it is" >&2
    exit 1
fi
if ! psql "$maintenance" -Atqc "select rolsuper or (rolcreatedb and rolcreaterole) from pg_roles where rolname = current_user" |
    grep -q t; then
    echo "$0: the user in the address must be allowed to create databases and roles (CREATEDB, CREATEROLE)" >&2
    exit 1
fi

if [ "${TALLIX_ADMIN_PASSWORD+set}" = set ]; then
    admin_password=$TALLIX_ADMIN_PASSWORD
elif [ -t 0 ]; then
    while :; do
        read -rsp "Password for the Tallix user Admin (empty for none): " admin_password; echo
        read -rsp "The same password again: " again; echo
        [ "$admin_password" = "$again" ] && break
        echo "The two passwords differ; please type them again."
    done
else
    admin_password=
fi

# Byte order for names, as the embedded engine sorts.
psql "$maintenance" -v ON_ERROR_STOP=1 -q \
    -c "create database \"$name\" template template0 encoding 'UTF8' lc_collate 'C' lc_ctype 'C'"
made=
# Half made, it goes again, so that the script can simply be run again.
# The password reaches the server as data of a temporary table, never in a
# statement's text, and is made into a SCRAM verifier there.
setup=$(mktemp)
trap 'rm -f "$setup"; [ -n "$made" ] || psql "$maintenance" -qc "drop database if exists \"$name\"" >/dev/null 2>&1 || true' EXIT
cat >"$setup" <<'EOF'
\set ON_ERROR_STOP on
begin;
create temp table given (username text, password text) on commit drop;
\copy given from pstdin with (format csv)
create temp table tallix_passwords on commit drop as
    select a.id, g.password from admin a join given g on g.username = a.username;
\pset footer off
select user_name as "User", password_state as "Password" from tallix_setup_rights();
commit;
EOF
psql "$address" -v ON_ERROR_STOP=1 -q -f "$root/db/server-schema.sql" -f "$root/db/seed.sql" \
    -f "$root/db/server-rights.sql" >/dev/null
report=$(printf 'Admin,"%s"\n' "${admin_password//\"/\"\"}" | psql "$address" -q -f "$setup")
made=1

echo "Made the Tallix database $name. Its users log in as server roles of their own:"
echo "$report" | sed 's/^/  /'
echo "(the role of user Admin is $name.Admin; the login window lists the users as $name""_login)."
[ -n "$admin_password" ] ||
    echo "Admin has an empty password: log in as Admin and give it one (System > Change Password) at once."
echo "Point a workstation at it with Open Database, or write"
echo "  DBConn=${address/\/\/*@/\/\/}"
echo "into the [Config] section of its config.ini."

#!/usr/bin/env bash
# Makes a Tallix database on a PostgreSQL server: the database named in the
# address is created and given the tables and first rows of a new Tallix
# database (db/server-schema.sql, db/seed.sql).
#
#   scripts/server-create-db.sh postgresql://admin@dbhost:5432/tallix
#
# The user in the address must be allowed to create databases. The password
# comes from ~/.pgpass or PGPASSWORD, as for every PostgreSQL client. A
# database of that name that already exists is left alone.
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
maintenance="${base%/*}/postgres$options"

if psql "$maintenance" -Atqc "select 1 from pg_database where datname = '${name//\'/\'\'}'" | grep -q 1; then
    echo "$0: the server already has a database $name; it was left as it is" >&2
    exit 1
fi
# Byte order for names, as the embedded engine sorts.
psql "$maintenance" -v ON_ERROR_STOP=1 -q \
    -c "create database \"${name//\"/\"\"}\" template template0 encoding 'UTF8' lc_collate 'C' lc_ctype 'C'"
psql "$address" -v ON_ERROR_STOP=1 -q -f "$root/db/server-schema.sql" -f "$root/db/seed.sql" >/dev/null
echo "Made the Tallix database $name. Point a workstation at it with Open Database, or write"
echo "  DBConn=$address"
echo "into the [Config] section of its config.ini."

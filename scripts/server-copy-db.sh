#!/usr/bin/env bash
# Copies a Tallix database file (custom.db) into a Tallix database on a
# PostgreSQL server made by scripts/server-create-db.sh: every row of every
# table, keys kept, key counters moved past the copied keys. What the server
# database held is replaced; the copy is one transaction, so it is either
# complete or not made at all.
#
#   scripts/server-copy-db.sh build/bin/custom.db postgresql://admin@dbhost:5432/tallix
#
# Let nobody work on either database while it copies.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 custom.db postgresql://user@host:port/database" >&2; exit 2; }
file=$1
address=$2
[ -f "$file" ] || { echo "$0: no such database file: $file" >&2; exit 2; }
command -v sqlite3 >/dev/null || { echo "$0: sqlite3 is not installed" >&2; exit 1; }
command -v psql >/dev/null || { echo "$0: psql is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
script=$work/copy.sql

psql "$address" -Atqc "select 1 from information_schema.tables where table_name = 'custom'" | grep -q 1 ||
    { echo "$0: $address holds no Tallix database (make one with scripts/server-create-db.sh)" >&2; exit 1; }

{
    echo '\set ON_ERROR_STOP on'
    echo 'begin;'
} >"$script"

# Every table of the file that the server also has, with the columns both have.
for table in $(sqlite3 "$file" "select name from sqlite_master where type = 'table' and name not like 'sqlite_%' order by name"); do
    lower=$(echo "$table" | tr '[:upper:]' '[:lower:]')
    server_columns=$(psql "$address" -Atqc \
        "select column_name from information_schema.columns where table_schema = current_schema() and table_name = '$lower'")
    if [ -z "$server_columns" ]; then
        echo "$0: the server has no table $table; its rows are not copied" >&2
        continue
    fi
    columns=()
    while IFS= read -r column; do
        lc=$(echo "$column" | tr '[:upper:]' '[:lower:]')
        if grep -qx "$lc" <<<"$server_columns"; then columns+=("$column"); fi
    done < <(sqlite3 "$file" "select name from pragma_table_info('$table')")
    select_list=$(printf '"%s",' "${columns[@]}")
    copy_list=$(printf '"%s",' "${columns[@]}" | tr '[:upper:]' '[:lower:]')
    sqlite3 -csv -header "$file" "select ${select_list%,} from \"$table\"" >"$work/$lower.csv"
    echo "delete from \"$lower\";"
    echo "\\copy \"$lower\" (${copy_list%,}) from '$work/$lower.csv' with (format csv, header true)"
    # The key counter continues after the highest key copied.
    key=$(psql "$address" -Atqc "select a.attname from pg_index i join pg_attribute a on a.attrelid = i.indrelid
        and a.attnum = any(i.indkey) where i.indrelid = '\"$lower\"'::regclass and i.indisprimary")
    if [ -n "$key" ] && psql "$address" -Atqc "select pg_get_serial_sequence('\"$lower\"', '$key')" | grep -q .; then
        echo "select setval(pg_get_serial_sequence('\"$lower\"', '$key'), coalesce(max(\"$key\"), 1), max(\"$key\") is not null) from \"$lower\";"
    fi
done >>"$script"
echo 'commit;' >>"$script"

psql "$address" -q -f "$script" >/dev/null
echo "Copied $file into $address."

#!/usr/bin/env bash
# Copies a Tallix database file (custom.db) into a Tallix database on a
# PostgreSQL server made by scripts/server-create-db.sh: every row of every
# table exactly as stored, keys kept, each key counter set once past the
# copied keys. Each user of the file gets a server role to log in as: a
# password the file keeps in clear stays the user's password; a password
# the file keeps as a hash cannot be read back, so the script lists those
# users, and a super user gives each a new password (User Management). A
# user the server database already had by that name keeps the password it
# had there. What the server database held is replaced; the copy is one
# transaction, so it is either complete or not made at all.
#
#   scripts/server-copy-db.sh build/bin/custom.db postgresql://admin@dbhost:5432/tallix
#
# Run it as the owner of the server database. Let nobody work on either
# database while it copies.
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
psql "$address" -Atqc "select 1 from information_schema.tables where table_name = 'user_roles'" | grep -q 1 ||
    { echo "$0: $address was made by an earlier version: it has no roles for its users" >&2; exit 1; }

# A column's value in the text format of COPY: backslash, tab and line ends
# escaped, so that any text (a line holding only "\." included) arrives as
# it is stored; NULL as \N.
text_of() {
    local c="\"$1\""
    printf "case when %s is null then '\\\\N' else replace(replace(replace(replace(cast(%s as text), '\\\\', '\\\\\\\\'), char(9), '\\\\t'), char(10), '\\\\n'), char(13), '\\\\r') end" "$c" "$c"
}

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
        # Passwords never go into the server's tables: they become the
        # users' roles' passwords below.
        [ "$lower" = admin ] && [ "$lc" = password ] && continue
        if grep -qx "$lc" <<<"$server_columns"; then columns+=("$column"); fi
    done < <(sqlite3 "$file" "select name from pragma_table_info('$table')")
    select_list=
    for column in "${columns[@]}"; do select_list+="$(text_of "$column") || char(9) || "; done
    select_list=${select_list% || char(9) || }
    copy_list=$(printf '"%s",' "${columns[@]}" | tr '[:upper:]' '[:lower:]')
    sqlite3 -noheader -list "$file" "select $select_list from \"$table\"" >"$work/$lower.tsv"
    echo "delete from \"$lower\";"
    echo "\\copy \"$lower\" (${copy_list%,}) from '$work/$lower.tsv'"
    # The key counter continues after the highest key copied.
    key=$(psql "$address" -Atqc "select a.attname from pg_index i join pg_attribute a on a.attrelid = i.indrelid
        and a.attnum = any(i.indkey) where i.indrelid = '\"$lower\"'::regclass and i.indisprimary")
    if [ -n "$key" ] && psql "$address" -Atqc "select pg_get_serial_sequence('\"$lower\"', '$key')" | grep -q .; then
        echo "select setval(pg_get_serial_sequence('\"$lower\"', '$key'), coalesce(max(\"$key\"), 1), max(\"$key\") is not null) from \"$lower\";"
    fi
done >>"$script"

# The passwords the file keeps in clear (no password counts as an empty
# one) go to the server as data, never as statement text; hashes stay out.
sqlite3 -noheader -list "$file" \
    "select id || char(9) || $(text_of clear) from (select id, coalesce(password, '') as clear from admin
     where password is null or password not like '\$argon2%' or length(password) <= 50)" \
    >"$work/passwords.tsv"
cat >>"$script" <<EOF
create temp table tallix_passwords (id integer, password text) on commit drop;
\\copy tallix_passwords from '$work/passwords.tsv'
\\pset format unaligned
\\pset tuples_only on
\\pset fieldsep '\\t'
\\o '$work/users.txt'
select user_name, password_state from tallix_setup_rights();
\\o
commit;
EOF

psql "$address" -q -f "$script" >/dev/null
echo "Copied $file into $address."
needs=$(awk -F'\t' '$2 == "needs a new password" { print "  " $1 }' "$work/users.txt")
empty=$(awk -F'\t' '$2 == "empty password" { print "  " $1 }' "$work/users.txt")
if [ -n "$needs" ]; then
    echo "The file keeps these users' passwords as hashes, which cannot be read back; a super user gives"
    echo "each a new password in User Management before they can log in:"
    echo "$needs"
fi
if [ -n "$empty" ]; then
    echo "These users have an empty password; give them one soon:"
    echo "$empty"
fi

#!/usr/bin/env bash
# Builds a throw-away dispatcher database from db/dispatcher.sql and db/demo-data.sql the same way the
# test fixture does, and fails when isql reports any failed statement.
#   scripts/check-sql.sh            embedded engine, database in a temp folder
#   scripts/check-sql.sh --server   through the local server (SYSDBA password from the Debian package)
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

database="$work/d.fdb"
password="masterkey"
if [ "${1:-}" = "--server" ]; then
  # The server runs as its own user and must be able to create the file.
  chmod 777 "$work"
  database="localhost:$work/d.fdb"
  # shellcheck disable=SC1091
  password="$(. /etc/firebird/3.0/SYSDBA.password && echo "$ISC_PASSWORD")"
fi

cd "$repo"
output="$(printf "SET SQL DIALECT 3;\nCREATE DATABASE '%s' USER 'SYSDBA' PASSWORD '%s' PAGE_SIZE 4096 DEFAULT CHARACTER SET WIN1251;\nINPUT 'db/dispatcher.sql';\nCOMMIT;\nINPUT 'db/demo-data.sql';\nCOMMIT;\n" \
  "$database" "$password" | isql-fb -q -b -ch UTF8 2>&1)" || true

if [ -n "$output" ]; then
  echo "$output"
fi
if grep -q "Statement failed" <<<"$output" || grep -qi "error" <<<"$output"; then
  echo "check-sql: FAILED" >&2
  exit 1
fi
echo "check-sql: dispatcher.sql and demo-data.sql load cleanly ($database)"

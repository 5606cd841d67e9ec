#!/usr/bin/env bash
# Starts the local Firebird server on 127.0.0.1 when none runs, and waits until it answers.
# The SYSDBA password is the one the Debian package generated; it is read, never written down here.
set -euo pipefail

password_file=${TAXI_GPRS_SYSDBA_PASSWORD_FILE:-/etc/firebird/3.0/SYSDBA.password}

sysdba_password() {
  # The file is shell syntax: ISC_USER=... ISC_PASSWORD="..."
  (set +u; . "$password_file"; printf '%s' "$ISC_PASSWORD")
}

answers() {
  fbsvcmgr localhost:service_mgr -user SYSDBA -password "$(sysdba_password)" -info_server_version \
    >/dev/null 2>&1
}

if [ ! -r "$password_file" ]; then
  echo "firebird-server: $password_file is missing; run scripts/install-deps.sh first" >&2
  exit 1
fi

if answers; then
  echo "firebird-server: running"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if command -v systemctl >/dev/null 2>&1 && [ -d /run/systemd/system ]; then
  $SUDO systemctl start firebird3.0
else
  $SUDO /etc/init.d/firebird3.0 start
fi

for _ in $(seq 1 60); do
  if answers; then
    echo "firebird-server: running"
    exit 0
  fi
  sleep 0.5
done
echo "firebird-server: the server did not answer within 30 s" >&2
exit 1

#!/bin/sh
# Starts or stops a throwaway PostgreSQL cluster for the tests of the server
# database: its own folder, listening only on a socket in that folder, every
# local connection trusted but the login "kolva_pw", which must give its
# password "kolva-pw-test" (tests/support/serverdatabase.h); the superuser
# "kolva". Nothing is flushed to the disk: the cluster lives only as long as
# one test run.
#
#   pgcluster.sh start FOLDER    (an earlier cluster in FOLDER is stopped and wiped)
#   pgcluster.sh stop FOLDER
#
# The server refuses to run as root; then it runs as the postgres user (or
# nobody), which owns the folder.
set -eu
command=$1
folder=$2

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  echo "No PostgreSQL server found under /usr/lib/postgresql (tools/setup.sh --test installs it)" >&2
  exit 1
fi

as=""
owner=""
if [ "$(id -u)" -eq 0 ]; then
  if id postgres >/dev/null 2>&1; then owner=postgres; else owner=nobody; fi
  as="runuser -u $owner --"
fi

case "$command" in
start)
  if [ -f "$folder/data/postmaster.pid" ]; then
    $as "$bin/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1 || echo "an earlier cluster in $folder was not running" >&2
  fi
  rm -rf "$folder"
  mkdir -p "$folder/socket"
  if [ -n "$owner" ]; then chown -R "$owner" "$folder"; fi
  $as "$bin/initdb" -D "$folder/data" -U kolva --auth=trust -E UTF8 --locale=C.UTF-8 >"$folder/initdb.log" 2>&1 ||
    { cat "$folder/initdb.log" >&2; exit 1; }
  # The first line that matches decides: the password login's comes first.
  hba="$folder/data/pg_hba.conf"
  { echo "local all kolva_pw scram-sha-256"; cat "$hba"; } >"$hba.new"
  mv "$hba.new" "$hba"
  if [ -n "$owner" ]; then chown "$owner" "$hba"; fi
  $as "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
    -o "-c listen_addresses= -k $folder/socket -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" start >/dev/null ||
    { cat "$folder/server.log" >&2; exit 1; }
  # The password goes in on the standard input, not on a command line.
  echo "CREATE ROLE kolva_pw LOGIN PASSWORD 'kolva-pw-test'" |
    $as "$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$folder/socket" -U kolva -d postgres >/dev/null
  echo "postgresql:///postgres?host=$folder/socket&user=kolva"
  ;;
stop)
  $as "$bin/pg_ctl" -D "$folder/data" -m fast -w stop >/dev/null
  rm -rf "$folder"
  ;;
*)
  echo "usage: pgcluster.sh start|stop FOLDER" >&2
  exit 2
  ;;
esac

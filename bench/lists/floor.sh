#!/usr/bin/env bash
# The floor that public tools set for the street import: the sqlite3 shell
# importing the same names from a one-column CSV file into a scratch table
# and adding those not yet in the street list, on a copy of the same
# database.
#
#   floor.sh BASE_DATABASE NAMES_CSV RUNS
#
# Prints the best time of RUNS runs, in microseconds, and the streets after:
#   sqlite_us=N streets_after=N
set -euo pipefail
base=$1 csv=$2 runs=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }
best=""
for ((i = 0; i < runs; i++)); do
  cp "$base" "$work/floor.mdb"
  sync "$work/floor.mdb"
  start=$(now)
  sqlite3 "$work/floor.mdb" \
    "CREATE TABLE _names (StreetName TEXT)" \
    ".import --csv '$csv' _names" \
    "INSERT OR IGNORE INTO _Streets_Master (StreetName) SELECT StreetName FROM _names" \
    "DROP TABLE _names"
  us=$(( ($(now) - start) / 1000 ))
  if [ -z "$best" ] || [ "$us" -lt "$best" ]; then best=$us; fi
  streets=$(sqlite3 "$work/floor.mdb" "SELECT COUNT(*) FROM _Streets_Master")
done
echo "sqlite_us=$best streets_after=$streets"

#!/usr/bin/env bash
# The floor that public tools set for converting an Access KOLVA.MDB: mdb-export
# of every table into a CSV file, and the sqlite3 shell's .import of each
# into an empty copy of the KOLVA schema.
#
#   floor.sh ACCESS.MDB EMPTY_KOLVA_DB RUNS
#
# Prints the time of each run in microseconds, one per line, and then
# rows_after=N (the survey records in the last copy).
set -euo pipefail
access=$1 base=$2 runs=${3:-11}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tables=(_Archived_SurveyData Surveyors Species RiskZone Risk_Rating _Streets_Master Streets_PDA _tblCorrAction _tblCosts)
for ((i = 0; i < runs; i++)); do
  cp "$base" "$work/floor.mdb"
  sync "$work/floor.mdb"
  start=$(date +%s%N)
  for t in "${tables[@]}"; do
    mdb-export -T "%Y-%m-%d %H:%M:%S" "$access" "$t" > "$work/$t.csv"
    sqlite3 "$work/floor.mdb" ".import --csv --skip 1 '$work/$t.csv' $t"
  done
  echo $(( ($(date +%s%N) - start) / 1000 ))
done
echo "rows_after=$(sqlite3 "$work/floor.mdb" "SELECT COUNT(*) FROM _Archived_SurveyData")"

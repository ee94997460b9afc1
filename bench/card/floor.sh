#!/usr/bin/env bash
# The floor that public tools set for an import of field data: reading every
# .tree file of a folder (cat to /dev/null) plus the sqlite3 shell importing
# the same records from one CSV file into a copy of the same database.
#
#   floor.sh CARD_FOLDER BASE_DATABASE CSV_FILE RUNS
#
# Prints the best time of RUNS runs of each, in microseconds:
#   cat_us=N sqlite_us=N rows_after=N
set -euo pipefail
card=$1 base=$2 csv=$3 runs=${4:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }
best_cat=""
best_sqlite=""
for ((i = 0; i < runs; i++)); do
  start=$(now)
  find "$card" -maxdepth 1 -name '*.tree' -print0 | xargs -0 cat > /dev/null
  us=$(( ($(now) - start) / 1000 ))
  if [ -z "$best_cat" ] || [ "$us" -lt "$best_cat" ]; then best_cat=$us; fi

  cp "$base" "$work/floor.mdb"
  sync "$work/floor.mdb"
  start=$(now)
  sqlite3 "$work/floor.mdb" ".import --csv '$csv' _Archived_SurveyData"
  us=$(( ($(now) - start) / 1000 ))
  if [ -z "$best_sqlite" ] || [ "$us" -lt "$best_sqlite" ]; then best_sqlite=$us; fi
  rows=$(sqlite3 "$work/floor.mdb" "SELECT COUNT(*) FROM _Archived_SurveyData")
done
echo "cat_us=$best_cat sqlite_us=$best_sqlite rows_after=$rows"

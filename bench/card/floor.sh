#!/usr/bin/env bash
# The floor that public tools set for the import of field data, one run:
#  - reading every .tree file of the card folder (cat to /dev/null);
#  - the sqlite3 shell importing the same records from one CSV file into a
#    copy of the same database;
#  - moving the files into a backup folder: cp, sync, rm.
#
#   floor.sh CARD_FOLDER BASE_DATABASE CSV_FILE BACKUP_FOLDER
#
# Prints the times in microseconds and what is left:
#   cat_us=N sqlite_us=N move_us=N rows_after=N left=N
set -euo pipefail
card=$1 base=$2 csv=$3 backup=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
now() { date +%s%N; }

start=$(now)
find "$card" -maxdepth 1 -name '*.tree' -print0 | xargs -0 cat > /dev/null
cat_us=$(( ($(now) - start) / 1000 ))

cp "$base" "$work/floor.mdb"
sync "$work/floor.mdb"
start=$(now)
sqlite3 "$work/floor.mdb" ".import --csv '$csv' _Archived_SurveyData"
sqlite_us=$(( ($(now) - start) / 1000 ))
rows=$(sqlite3 "$work/floor.mdb" "SELECT COUNT(*) FROM _Archived_SurveyData")

rm -rf "$backup"
mkdir -p "$backup"
sync
start=$(now)
find "$card" -maxdepth 1 -name '*.tree' -print0 | xargs -0 cp -t "$backup"
sync
find "$card" -maxdepth 1 -name '*.tree' -print0 | xargs -0 rm -f
move_us=$(( ($(now) - start) / 1000 ))
left=$(find "$card" -maxdepth 1 -name '*.tree' | wc -l)
echo "cat_us=$cat_us sqlite_us=$sqlite_us move_us=$move_us rows_after=$rows left=$left"

#!/usr/bin/env bash
# The floor that public tools set for the import of a large card (the
# backup box clear), one run:
#  - sha256sum of every .tree file of the card folder, and their sizes (wc);
#  - the sqlite3 shell loading, in one transaction, the records from one CSV
#    file, one history row for each and the digest of each file, into the
#    database given (a copy of the one the import starts from).
#
#   floor_large.sh CARD_FOLDER DATABASE CSV_FILE FIRST_ID
#
# Prints the times in microseconds and what the database then holds:
#   sha_us=N sqlite_us=N rows_after=N history_after=N files_after=N
set -euo pipefail
card=$1 db=$2 csv=$3 first=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
now() { date +%s%N; }
export LC_ALL=C

start=$(now)
(cd "$card" && find . -maxdepth 1 -name '*.tree' -printf '%f\n' | sort > "$work/names" &&
  xargs -d '\n' -a "$work/names" sha256sum > "$work/digests" &&
  xargs -d '\n' -a "$work/names" wc -c | grep -v ' total$' > "$work/sizes")
sha_us=$(( ($(now) - start) / 1000 ))

start=$(now)
awk -v first="$first" -v q="'" '
  NR == FNR { size[substr($0, index($0, $2))] = $1; next }
  { name = substr($0, 67)
    printf "INSERT INTO _Imported_Files (Digest, File_Name, Byte_Size, Imported_At, Survey_ID) "
    printf "VALUES (X%s%s%s, %s%s%s, %d, %s2008-01-02 16:45:30%s, %d);\n", q, $1, q, q, name, q, size[name], q, q, first + FNR - 1 }
' "$work/sizes" "$work/digests" > "$work/files.sql"
sqlite3 "$db" <<SQL
BEGIN;
.import --csv '$csv' _Archived_SurveyData
INSERT INTO _Survey_History (Survey_ID, Action, Changed_At, Changed_By)
  SELECT ID, 'imported', '2008-01-02 16:45:30', 'floor' FROM _Archived_SurveyData WHERE ID >= $first ORDER BY ID;
.read '$work/files.sql'
COMMIT;
SQL
sqlite_us=$(( ($(now) - start) / 1000 ))
rows=$(sqlite3 "$db" "SELECT COUNT(*) FROM _Archived_SurveyData")
history=$(sqlite3 "$db" "SELECT COUNT(*) FROM _Survey_History")
files=$(sqlite3 "$db" "SELECT COUNT(*) FROM _Imported_Files")
echo "sha_us=$sha_us sqlite_us=$sqlite_us rows_after=$rows history_after=$history files_after=$files"

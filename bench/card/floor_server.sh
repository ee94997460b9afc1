#!/usr/bin/env bash
# The floor that public tools set for the card import on a PostgreSQL
# server, one run: psql's \copy of the same rows the import writes (the
# records, their history rows and the imported-files rows) from CSV files,
# in one transaction.
#
#   floor_server.sh URI RECORD_COLUMNS RECORDS_CSV HISTORY_CSV FILES_CSV
#
# Prints the time in microseconds and the records then in the database:
#   copy_us=N rows_after=N
set -euo pipefail
uri=$1 columns=$2 records=$3 history=$4 files=$5
now() { date +%s%N; }

start=$(now)
psql -X -q -v ON_ERROR_STOP=1 -1 "$uri" <<EOF2
\copy _Archived_SurveyData ($columns) FROM '$records' WITH (FORMAT csv)
\copy _Survey_History (Survey_ID, Action, Changed_At, Changed_By) FROM '$history' WITH (FORMAT csv)
\copy _Imported_Files (Digest, File_Name, Byte_Size, Imported_At, Survey_ID) FROM '$files' WITH (FORMAT csv)
EOF2
copy_us=$(( ($(now) - start) / 1000 ))
rows=$(psql -X -A -t "$uri" -c "SELECT COUNT(*) FROM _Archived_SurveyData")
echo "copy_us=$copy_us rows_after=$rows"

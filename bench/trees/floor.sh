#!/usr/bin/env bash
# The floor that a public tool sets for the Tree editor's work: the sqlite3
# shell counting a list and reading its first 200 rows (the grid's columns)
# in the same order, on the same database.
#
#   floor.sh DATABASE RUNS STREET SPECIES
#
# Prints the median of RUNS runs of each, in microseconds, as the shell's own
# timer gives them (the shell's start not counted):
#   open_us=N sort_us=N street_us=N species_us=N
set -euo pipefail
db=$1 runs=${2:-5} street=${3//\'/\'\'} species=${4//\'/\'\'}
cols="ID,Tree_ID,Date_Evaluated,Species,DBH,Site,Location,Hazard_Rating,Surveyor,StreetName,StreetNum"

# The real time of the statements given, summed, in microseconds.
run() {
  { echo ".timer on"; echo ".output /dev/null"; printf '%s;\n' "$@"; } | sqlite3 "$db" |
    awk '/^Run Time/ { s += $4 } END { printf "%d\n", s * 1000000 }'
}
measure() {
  for ((i = 0; i < runs; i++)); do run "$@"; done | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'
}

open=$(measure "SELECT COUNT(*) FROM _Archived_SurveyData" \
  "SELECT $cols FROM _Archived_SurveyData ORDER BY Tree_ID,Date_Evaluated,ID LIMIT 200")
sort=$(measure "SELECT COUNT(*) FROM _Archived_SurveyData" \
  "SELECT $cols FROM _Archived_SurveyData ORDER BY Date_Evaluated,Species,ID LIMIT 200")
streetq=$(measure "SELECT COUNT(*) FROM _Archived_SurveyData WHERE StreetName='$street'" \
  "SELECT $cols FROM _Archived_SurveyData WHERE StreetName='$street' ORDER BY Tree_ID,Date_Evaluated,ID LIMIT 200")
speciesq=$(measure "SELECT COUNT(*) FROM _Archived_SurveyData WHERE Species='$species'" \
  "SELECT $cols FROM _Archived_SurveyData WHERE Species='$species' ORDER BY Tree_ID,Date_Evaluated,ID LIMIT 200")
echo "open_us=$open sort_us=$sort street_us=$streetq species_us=$speciesq"

#!/usr/bin/env bash
# The floor that public tools set for the Tree editor's map: the sqlite3
# shell reading the map's columns of every record, and GDAL's gdal_rasterize
# drawing the same points into a raster of the map's size (from a FlatGeobuf
# file made once beforehand, not timed).
#
#   floor.sh DATABASE POINTS.fgb WIDTH HEIGHT "XMIN YMIN XMAX YMAX" RUNS
#
# Prints the medians of RUNS runs, in microseconds: read_us=N draw_us=N
set -euo pipefail
db=$1 points=$2 width=$3 height=$4 extent=$5 runs=${6:-5}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
now_us() { echo $(( $(date +%s%N) / 1000 )); }

read_us=$(for ((i = 0; i < runs; i++)); do
  { echo ".timer on"; echo ".output /dev/null"
    echo "SELECT ID,Latitude,Longitude,Hazard_Rating FROM _Archived_SurveyData;"; } | sqlite3 "$db" |
    awk '/^Run Time/ { s += $4 } END { printf "%d\n", s * 1000000 }'
done | median)

draw_us=$(for ((i = 0; i < runs; i++)); do
  rm -f "$out/map.tif"
  start=$(now_us)
  # shellcheck disable=SC2086
  gdal_rasterize -q -burn 255 -ot Byte -ts "$width" "$height" -te $extent -init 0 "$points" "$out/map.tif"
  echo $(( $(now_us) - start ))
done | median)

echo "read_us=$read_us draw_us=$draw_us"

#!/usr/bin/env bash
# Benchmark: whole-process runs of trasop on generated terrain grids, with the ratio against
# gdaldem where it is installed, measured in the same run. Prints figures; asserts nothing.
#
#   bench/run.sh [SIZE ...]      sizes are points per side (default: 1000 2000 4000)
#   RUNS=N bench/run.sh          runs per measurement (default 7)
#   SOAK=N bench/run.sh          also runs the differential tests N times longer
#   BASELINE=PROGRAM bench/run.sh   also times another build of trasop in the same rounds, and
#                                 checks that both write the same bytes
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${RUNS:-9}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 2000 4000)

scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" >/dev/null
trasop=$root/build/release/trasop
trasop_map=$root/build/release/trasop-map
baseline=${BASELINE:+$(realpath "$BASELINE")}
work=${BENCH_DIR:-/tmp/trasop-bench}
mkdir -p "$work"
cd "$work"
printf '0 224 224 224\n5 221 170 51\n20 187 85 102\n' >classes.txt

# Runs the commands given as labels (see `command_of`) in turn, RUNS rounds, so that a change in
# the machine's speed during the measurement falls on all of them alike. Each round starts with
# the next label, and every other round runs backwards, so that each command follows each other
# one about equally often: a run is faster right after one that has just given back much
# memory, which the next run's huge pages come from. Leaves the wall times in microseconds
# in $work/times.LABEL, one a line.
time_rounds() {
  local labels=("$@") label start end
  for label in "$@"; do : >"times.$label"; done
  for ((k = 0; k < runs; k++)); do
    for ((m = 0; m < ${#labels[@]}; m++)); do
      # Every other round runs the other way round, so that no command always follows the same
      # one.
      if ((k % 2 == 0)); then
        label=${labels[(k + m) % ${#labels[@]}]}
      else
        label=${labels[(k + ${#labels[@]} - m) % ${#labels[@]}]}
      fi
      start=$(date +%s%N)
      command_of "$label" >/dev/null 2>&1
      end=$(date +%s%N)
      echo $(((end - start) / 1000)) >>"times.$label"
    done
  done
}

# Median, minimum and maximum (seconds) of the times of a label.
stats() {
  sort -n "times.$1" | awk '{a[NR] = $1} END {
    printf "%.4f %.4f %.4f\n", a[int((NR + 1) / 2)] / 1e6, a[1] / 1e6, a[NR] / 1e6 }'
}

# The command behind a label, on the current grid ($grid, and $asc for gdaldem).
command_of() {
  case $1 in
    trasop) "$trasop" "$grid" ;;
    baseline) "$baseline" "$grid" ;;
    gdal_ascii) gdaldem slope -q -alg ZevenbergenThorne -of AAIGrid -co DECIMAL_PRECISION=2 \
      "$asc" out.asc ;;
    gdal_tiff) gdaldem slope -q -alg ZevenbergenThorne "$asc" out.tif ;;
    trasop_map) "$trasop_map" "$grid" ;;
    # A source at the grid's centre whose area of 50 H reaches the grid's edges.
    trasop_map_source) "$trasop_map" "$source" "$grid" ;;
    # A three-class picture the way a GIS user makes one: slopes in percent, then a colour table.
    gdal_map) gdaldem slope -q -p -alg ZevenbergenThorne "$asc" slope.tif &&
      gdaldem color-relief -q -nearest_color_entry -of PNG slope.tif "$work/classes.txt" map.png ;;
  esac
}

peak_kb() { /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -n 1; }

echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)," \
  "$(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "runs per figure: $runs, the programs taking turns (median, min, max of wall time; files in the page cache)"
have_gdal=false
command -v gdaldem >/dev/null 2>&1 && have_gdal=true

for n in "${sizes[@]}"; do
  grid=grid$n.dmna
  [ -f "$grid" ] || "$root/build/release/make_terrain" "$n" "$n" 20 >"$grid"
  points=$((n * n))
  source=--source=$((3500000 + 10 * n)),$((5400000 + 10 * n)),$((n / 5))
  bytes=$(stat -c %s "$grid")
  cat "$grid" >/dev/null
  asc=grid$n.asc
  labels=(trasop)
  [ -z "$baseline" ] || labels+=(baseline)
  [ ! -x "$trasop_map" ] || labels+=(trasop_map trasop_map_source)
  if $have_gdal; then
    [ -f "$asc" ] || "$root/build/release/make_terrain" "$n" "$n" 20 --asc >"$asc"
    labels+=(gdal_ascii gdal_tiff)
    [ ! -x "$trasop_map" ] || labels+=(gdal_map)
  fi
  time_rounds "${labels[@]}"
  read -r median low high < <(stats trasop)
  peak=$(peak_kb "$trasop" "$grid")
  echo
  echo "== ${n} x ${n} (${points} points, $((bytes / 1000000)) MB)"
  awk -v m="$median" -v l="$low" -v h="$high" -v p="$points" -v b="$bytes" -v k="$peak" 'BEGIN {
    printf "trasop:   %.3f s (min %.3f, max %.3f)  %.1f ns/point  %.0f MB/s  peak %.1f MiB = %.1f bytes/point\n",
           m, l, h, m * 1e9 / p, b / m / 1e6, k / 1024, k * 1024 / p }'
  if [ -n "$baseline" ]; then
    # Both builds must write the same bytes.
    "$trasop" "$grid" >/dev/null && mv "grid${n}_s.dmna" out.trasop
    "$baseline" "$grid" >/dev/null
    cmp -s out.trasop "grid${n}_s.dmna" || { echo "bench: trasop and the baseline differ" >&2; exit 1; }
    read -r base _ _ < <(stats baseline)
    base_peak=$(peak_kb "$baseline" "$grid")
    awk -v m="$median" -v b="$base" -v k="$base_peak" 'BEGIN {
      printf "baseline: %.3f s  peak %.1f MiB (trasop takes %.2f of its time)\n", b, k / 1024, m / b }'
  fi
  if [ -x "$trasop_map" ]; then
    read -r map_time map_low map_high < <(stats trasop_map)
    map_peak=$(peak_kb "$trasop_map" "$grid")
    awk -v m="$map_time" -v l="$map_low" -v h="$map_high" -v t="$median" -v k="$map_peak" \
      -v p="$points" 'BEGIN {
      printf "trasop-map: %.3f s (min %.3f, max %.3f), %.2f of trasop'"'"'s time, peak %.1f MiB = %.1f bytes/point\n",
             m, l, h, m / t, k / 1024, k * 1024 / p }'
    read -r source_time source_low source_high < <(stats trasop_map_source)
    source_peak=$(peak_kb "$trasop_map" "$source" "$grid")
    awk -v m="$source_time" -v l="$source_low" -v h="$source_high" -v t="$median" \
      -v k="$source_peak" -v p="$points" 'BEGIN {
      printf "trasop-map with a source (H = %d m, its area to the edges): %.3f s (min %.3f, max %.3f), %.2f of trasop'"'"'s time, peak %.1f MiB = %.1f bytes/point\n",
             '"$((n / 5))"', m, l, h, m / t, k / 1024, k * 1024 / p }'
    # Grids that once took more: a flat one (every slope the same, one bin of the percentiles),
    # isolated steep cells (a region each: h = 100 at every fourth i and second j), and an
    # incline in millimetres (the slopes in one bin, of many values).
    for shape in flat isolated incline; do
      special=$shape$n.dmna
      [ -f "$special" ] || awk -v n="$n" -v shape="$shape" 'BEGIN {
        srand(1)
        printf "delta\t20\nsequ\t\"i+,j+\"\nlowb\t0\t0\nhghb\t%d\t%d\n*\n", n - 1, n - 1
        for (i = 0; i < n; i++) {
          row = ""
          for (j = 0; j < n; j++) {
            if (shape == "flat") h = "100.0"
            else if (shape == "isolated") h = (i % 4 == 0 && j % 2 == 0) ? "100" : "0"
            else h = sprintf("%.3f", 100 + i + int(rand() * 1000) / 1000)
            row = row (j ? "\t" : "") h
          }
          print row
        } }' >"$special"
      special_peak=$(peak_kb "$trasop_map" "$special")
      awk -v k="$special_peak" -v p="$points" -v s="$shape" 'BEGIN {
        printf "trasop-map on a %s grid: peak %.1f MiB = %.1f bytes/point\n", s, k / 1024, k * 1024 / p }'
    done
    if $have_gdal; then
      read -r gdal_map gdal_low gdal_high < <(stats gdal_map)
      awk -v m="$map_time" -v g="$gdal_map" -v l="$gdal_low" -v h="$gdal_high" 'BEGIN {
        printf "gdaldem slope and color-relief to a PNG: %.3f s (min %.3f, max %.3f; trasop-map takes %.3f of it)\n",
               g, l, h, m / g }'
    fi
  fi
  # What the flush of the output to the disk before it replaces the old one costs a run (part of
  # the times above): the time spent in that call, as strace sees it.
  if command -v strace >/dev/null 2>&1; then
    flush=$(strace -T -e trace=fdatasync,fsync "$trasop" "$grid" 2>&1 >/dev/null |
      sed -n 's/.*<\([0-9.]*\)>$/\1/p' | awk '{t += $1} END {printf "%.3f", t}')
    awk -v f="$flush" -v m="$median" 'BEGIN {
      printf "flush:    %.3f s to put the output on the disk before it replaces the old (%.0f %% of a run)\n",
             f, f / m * 100 }'
  fi
  # The program's own work stage by stage, on the file held in memory.
  "$root/build/release/bench_stages" "$grid" "$runs" | tail -n +2 | sed 's/^/  stage:  /'
  # trasop-map's figure: its own work (layout, shading, contours, type, PNG) and its size.
  if [ -x "$root/build/release/bench_figure" ]; then
    "$root/build/release/bench_figure" "$grid" "$(( runs > 9 ? runs : 9 ))" | tail -n +2 |
      sed 's/^/  figure: /'
  fi
  if $have_gdal; then
    read -r g_ascii _ _ < <(stats gdal_ascii)
    read -r g_tiff _ _ < <(stats gdal_tiff)
    awk -v m="$median" -v a="$g_ascii" -v t="$g_tiff" 'BEGIN {
      printf "gdaldem:  %.3f s writing an ASCII grid (trasop takes %.2f of it), %.3f s writing GeoTIFF (%.2f)\n",
             a, m / a, t, m / t }'
  fi
done

if [ -n "${SOAK:-}" ]; then
  echo
  echo "== differential soak, ${SOAK} times the test's length"
  TRASOP_SOAK="$SOAK" "$root/build/release/tests/trasop_tests" \
    --gtest_filter='*AgreesWith*' --gtest_brief=1
fi

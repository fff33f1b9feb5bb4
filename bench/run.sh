#!/usr/bin/env bash
# Runs every benchmark and prints one table: figure, ours, reference, ratio,
# goal. The tuner's windows and the bare reference window start on a private
# Xvfb display; everything else draws offscreen. Times are on the real clock.
#
# usage: bench/run.sh [BUILD_DIR] [--quick] [--only GROUPS]
# GROUPS, comma-separated: transfer, ticks, dat, maptools, programming (or example and
# image apart), start, s19, resize, graph, vgt (or vgt-start, vgt-diff, vgt-exchanges and
# vgt-log apart). marlow-bench --help lists the other options.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
if [ $# -gt 0 ] && [[ $1 != -* ]]; then
  build=$1
  shift
fi
bench="$build/bench/marlow-bench"
if [ ! -x "$bench" ]; then
  echo "$bench is missing: build first (cmake --build $build)" >&2
  exit 2
fi
for tool in xvfb-run srec_cat; do
  command -v "$tool" >/dev/null || echo "note: $tool is not installed; its figures are left out" >&2
done

# The machine the table was measured on, for BENCHMARKS.md.
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
memory=$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
os=$(. /etc/os-release && echo "$PRETTY_NAME")
echo "Machine: $(nproc) cores, $cpu, $memory, $os, Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6)"
echo "Load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

status=0
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$bench" "$@" || status=$?
else
  "$bench" "$@" || status=$?
fi
echo
echo "Load average after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status

#!/bin/busybox sh
# Runs inside the test VM, after the transport check: two uhid modules of the
# same board at once, and two marlow-vgt processes, each driving its own module
# at the same time as the other. Prints one verdict line that the host reads
# from the serial console.
#
#   two-modules.sh MODULE MARLOW-VGT FACTORY.dat TOWING.dat
#
# Instance 0 is the module created first: the kernel numbers HID devices in the
# order they appear (0003:C1CA:FFFF.0001, .0002, ...) and hidapi lists hidraw
# nodes sorted by that sysfs path. The check below proves the order every run
# from the serial number each module gives itself ("module N").
module=$1
vgt=$2
factory=$3
towing=$4
out=/tmp/two-modules
rm -rf "$out"
mkdir -p "$out"
failures=0

say() { echo "two-modules: $*"; }
# A hung marlow-vgt ends as a failed check with its output shown, well inside
# the time limit the host gives the whole VM.
run() { timeout 30 "$@"; }
check() { # STATUS WHAT
  if [ "$1" -eq 0 ]; then
    say "ok   $2"
  else
    say "FAIL $2"
    failures=$((failures + 1))
  fi
}
show() { sed "s|^|two-modules:      $1: |" "$2"; }
hidraw_nodes() { ls /dev/hidraw* 2>/dev/null | wc -l; }
wait_for_nodes() {
  i=0
  while [ "$(hidraw_nodes)" -ne "$1" ]; do
    i=$((i + 1))
    [ $i -gt 100 ] && return 1
    sleep 0.1
  done
}
# Hundredths of a second since boot, whatever features busybox's date was built with.
now() {
  read -r up _ </proc/uptime
  echo "${up%.*}${up#*.}"
}

# One module after the other, so that their order is fixed.
"$module" 0 &
first=$!
wait_for_nodes 1 || say "module 0 made no hidraw node"
"$module" 1 &
second=$!
wait_for_nodes 2 || say "module 1 made no hidraw node"

run "$vgt" list >"$out/list" 2>&1
check $? "marlow-vgt list runs"
show list "$out/list"
for n in 0 1; do
  node=$(awk -v n=$n '$1 == n && $2 == "KTRM" { print $3 }' "$out/list")
  grep -qx "HID_UNIQ=module $n" "/sys/class/hidraw/${node#/dev/}/device/uevent" 2>/dev/null
  check $? "instance $n is $node, the uhid module created as module $n"
done

# Both at once: send with verify, then receive into a new file and compare
# with what was sent. Every exit code and output is kept for the checks.
drive() { # INSTANCE FILE
  n=$1
  now >"$out/start$n"
  run "$vgt" --instance "$n" send "$2" --verify >"$out/send$n" 2>&1
  echo $? >"$out/send$n.rc"
  now >"$out/end$n"
  run "$vgt" --instance "$n" receive "$out/received$n.dat" >"$out/receive$n" 2>&1
  echo $? >"$out/receive$n.rc"
  run "$vgt" diff "$out/received$n.dat" "$2" >"$out/diff$n" 2>&1
  echo $? >"$out/diff$n.rc"
}
drive 0 "$factory" &
zero=$!
drive 1 "$towing" &
one=$!
wait $zero
wait $one

# Exit code, then the whole output, of one command.
expect() { # NAME CODE OUTPUT WHAT
  [ "$(cat "$out/$1.rc" 2>/dev/null)" = "$2" ] && [ "$(cat "$out/$1")" = "$3" ]
  check $? "$4"
  [ "$(cat "$out/$1.rc" 2>/dev/null)" = "$2" ] || say "     exit code $(cat "$out/$1.rc" 2>/dev/null)"
  show "$1" "$out/$1"
}
for n in 0 1; do
  [ $n -eq 0 ] && file=$factory || file=$towing
  name=$(basename "$file")
  expect send$n 0 "$(printf 'Download Complete\nVerified OK')" "instance $n: send $name --verify exits 0"
  expect receive$n 0 "Save Complete" "instance $n: receive exits 0"
  expect diff$n 0 "No differences" "instance $n: what came back does not differ from $name"
  cmp -s "$out/received$n.dat" "$file"
  check $? "instance $n: what came back is $name byte for byte"
done

# Neither module holds the other's file.
run "$vgt" diff "$out/received0.dat" "$towing" >"$out/cross0" 2>&1
echo $? >"$out/cross0.rc"
run "$vgt" diff "$out/received1.dat" "$factory" >"$out/cross1" 2>&1
echo $? >"$out/cross1.rc"
for n in 0 1; do
  [ "$(cat "$out/cross$n.rc")" = 1 ] && grep -q '^map row 1, column 1 (RPM 0, load 0): ' "$out/cross$n"
  check $? "instance $n: diff against the other file exits 1 and names map row 1, column 1"
done

# The two sends really ran at the same time.
start0=$(cat "$out/start0") end0=$(cat "$out/end0") start1=$(cat "$out/start1") end1=$(cat "$out/end1")
[ "$start0" -lt "$end1" ] && [ "$start1" -lt "$end0" ]
check $? "the sends overlapped: instance 0 from $start0 to $end0, instance 1 from $start1 to $end1 (1/100 s)"

kill "$first" "$second"
if [ $failures -eq 0 ]; then
  echo "KERNEL CLI CHECK: PASS (two marlow-vgt in parallel: instance 0 got the factory file, instance 1 the towing" \
    "file, each received back with no difference and no cross-talk)"
else
  echo "KERNEL CLI CHECK: FAIL ($failures checks failed)"
fi

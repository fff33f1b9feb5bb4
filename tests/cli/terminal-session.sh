#!/usr/bin/env bash
# marlow-vgt at a terminal, on the pseudo-terminal script(1) gives it: the
# response to the reflash key is typed with echo off, and a second Ctrl+C
# during a send only says the send is finishing.
#
#   terminal-session.sh TOOL IMAGE.s19 CALIBRATION.dat
set -uo pipefail
tool=$1 image=$2 calibration=$3
typescript=$(mktemp)
trap 'rm -f "$typescript"' EXIT

fail() {
  printf 'terminal session: %s\n--- what the terminal showed ---\n%s\n' "$1" "$transcript" >&2
  exit 1
}

# Starts the tool under script(1); the shell's first line names the tool's
# process, as exec keeps the shell's.
start() {
  transcript=""
  coproc session { script -qfec "echo pid=\$\$; exec $tool --simulate $*" "$typescript" 2>&1; }
  script_pid=$session_PID
  IFS= read -r -t 10 -u "${session[0]}" line || fail "no process started"
  pid=${line//[!0-9]/}
}

# Reads what the terminal shows until a line holds $1, for at most $2 seconds.
read_until() {
  local line end=$((SECONDS + $2))
  while [ $SECONDS -le $end ] && IFS= read -r -t 1 -u "${session[0]}" line; do
    transcript+="$line"$'\n'
    [[ $line == *"$1"* ]] && return 0
  done
  return 1
}

finish() {
  local line
  while IFS= read -r -t 10 -u "${session[0]}" line; do transcript+="$line"$'\n'; done
  wait "$script_pid"
  status=$?
}

# The response is typed only once echo is off, so a tool that never turns
# it off is caught, and no typing races the tool's flush of the input.
start flash "$image"
read_until "Enter password for key of" 10 || fail "no key shown"
terminal=$(readlink "/proc/$pid/fd/0")
for _ in $(seq 100); do
  stty -F "$terminal" -a 2>/dev/null | grep -q -- ' -echo ' && break
  sleep 0.1
done
stty -F "$terminal" -a | grep -q -- ' -echo ' || fail "echo is on while the response is read"
printf '987654\r' >&"${session[1]}"
finish
[ "$status" -eq 1 ] || fail "a wrong response ended with status $status, not 1"
[[ $transcript != *987654* ]] || fail "the response was echoed"
[[ $transcript == *"marlow-vgt: The response does not belong to key "*"; nothing was sent."* ]] ||
  fail "no refusal of the response"

# One Ctrl+C lets the send run on in silence; the second only says so.
start send "$calibration"
read_until "Sending $calibration..." 10 || fail "no progress line on the terminal"
kill -INT "$pid"
! read_until "a moment, please" 0 || fail "the first Ctrl+C printed the second one's line"
kill -INT "$pid"
finish
[ "$status" -eq 5 ] || fail "a send cut by Ctrl+C ended with status $status, not 5"
expected=$'marlow-vgt: stopping where the module is left whole; a moment, please\r\n'
expected+="marlow-vgt: Interrupted: the module holds all of $calibration, as a send is never cut part-way."
[[ $transcript == *"$expected"* ]] || fail "not the lines of a send finished after two Ctrl+C"
[ "$(tr -dc '\000' <"$typescript" | wc -c)" -eq 0 ] || fail "a zero byte reached the terminal"
echo "terminal session: echo off for the response, a send finished through two Ctrl+C"

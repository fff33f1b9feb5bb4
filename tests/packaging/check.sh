#!/usr/bin/env bash
# One check of the Debian package this build made, run on the .deb itself and
# on a copy unpacked into a temporary root; nothing is installed.
#   check.sh contents|desktop_entry|metainfo|lintian|programs|about DEB [OUT_DIR]
set -euo pipefail
check=$1 deb=$2 out=${3:-.}
here=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
expect() { # what, expected, actual
  [ "$2" = "$3" ] || fail "$1: expected \"$2\", got \"$3\""
}
unpack() { dpkg-deb -x "$deb" "$root"; }

case $check in
  contents)
    # Mode, owner, path and link target of every entry; sizes and dates vary.
    dpkg-deb --contents "$deb" | awk '{ print $1, $2, $6 (NF > 6 ? " -> " $8 : "") }' >"$root/contents.txt"
    diff -u "$here/contents.txt" "$root/contents.txt" || fail "the package's files differ from contents.txt"
    if grep -q reflash-response "$root/contents.txt"; then fail "the service response tool is in the package"; fi
    ;;
  desktop_entry)
    unpack
    report=$(desktop-file-validate "$root/usr/share/applications/com.marlow.vgt_tuner.desktop" 2>&1) ||
      fail "desktop-file-validate: $report"
    expect "desktop-file-validate's hints" "" "$report"
    ;;
  metainfo)
    unpack
    appstreamcli validate --no-net --no-color "$root/usr/share/metainfo/com.marlow.vgt_tuner.metainfo.xml" ||
      fail "appstreamcli validate"
    ;;
  lintian)
    # No error and no warning; the informational tags are listed for the log.
    lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" || fail "lintian"
    ;;
  programs)
    unpack
    expect "the tuner's link" "../lib/marlow-vgt-tuner/marlow-vgt-tuner" "$(readlink "$root/usr/bin/marlow-vgt-tuner")"
    expect "marlow-vgt --version" "marlow-vgt 2.21" "$("$root/usr/bin/marlow-vgt" --version)"
    expect "marlow-vgt-tuner --version" "marlow-vgt-tuner 2.21" \
      "$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/marlow-vgt-tuner" --version)"
    expect "marlow-vgt --simulate list" "0  KTRM  virtual  may open" \
      "$("$root/usr/bin/marlow-vgt" --simulate list)"
    name() { zcat "$root/usr/share/man/man1/$1.1.gz" | sed -n '/^\.SH NAME$/{n;p;q}'; }
    expect "marlow-vgt(1)'s name" \
      'marlow-vgt \- read, write, compare and flash Marlow VGT modules from the command line' "$(name marlow-vgt)"
    expect "marlow-vgt-tuner(1)'s name" \
      'marlow-vgt-tuner \- tune a Marlow variable-geometry turbo controller over USB' "$(name marlow-vgt-tuner)"
    ;;
  about)
    # The tuner, started through its /usr/bin link under a virtual X server,
    # opens Help, About (the last item of the menu); the box is photographed
    # and read back by OCR. The box with the same title that says the help
    # file could not be read would fail the first line.
    unpack
    export QT_QPA_PLATFORM=xcb OMP_THREAD_LIMIT=1 root out
    timeout --kill-after=5 90 xvfb-run -a -s "-screen 0 1280x1024x24" bash -euo pipefail -c '
      "$root/usr/bin/marlow-vgt-tuner" --simulate </dev/null >"$root/tuner.log" 2>&1 &
      trap "kill $! 2>/dev/null || true" EXIT
      window=$(timeout 30 xdotool search --sync --onlyvisible --name "^Marlow VGT Tuner v" | head -1)
      xdotool windowfocus --sync "$window" key alt+h Up Return
      box=$(timeout 10 xdotool search --sync --onlyvisible --name "^Marlow VGT Tuner\$" | head -1)
      for attempt in 1 2 3 4 5; do
        sleep 0.5
        import -window "$box" "$out/about.png"
        tesseract "$out/about.png" "$root/about" 2>/dev/null
        [ "$(head -1 "$root/about.txt")" = "Marlow VGT Tuner 2.21" ] && break
      done' || true
    [ -f "$root/about.txt" ] || fail "no About box appeared; the tuner said: $(cat "$root/tuner.log" 2>/dev/null)"
    expect "About's first line" "Marlow VGT Tuner 2.21" "$(head -1 "$root/about.txt")"
    expect "About's headings" "Connecting Editing Files Communication" \
      "$(grep -xE 'Connecting|Editing|Files|Communication' "$root/about.txt" | paste -sd' ')"
    ;;
  *) fail "unknown check $check" ;;
esac
echo "$check: passed"

#!/usr/bin/env bash
# Runs the real transport against a real kernel HID stack: Debian's stock
# kernel boots under QEMU (software emulation, so no KVM is needed) from an
# initramfs that holds busybox, the uhid module program, the check program and
# marlow-vgt. The check program drives one module; then two modules run at once
# and two marlow-vgt processes drive one each in parallel (two-modules.sh).
#
#   kernel-hid-test.sh prepare CACHE            host packages, kernel unpacked into CACHE (once)
#   kernel-hid-test.sh run CACHE WORK MODULE CHECK MARLOW-VGT EXAMPLES [SECONDS]
#                                               builds the initramfs in WORK, boots, reads the verdicts
#
# The kernel is the one linux-image-amd64 stood for when CACHE was filled;
# delete CACHE to move to a newer one. The kernel package is only unpacked,
# never installed.
set -Eeuo pipefail

packages=(qemu-system-x86 busybox-static cpio)
# Each part of the run ends with one of these lines; every one must say PASS.
verdicts=('KERNEL HID CHECK: ' 'KERNEL CLI CHECK: ')

fail() {
  echo "kernel HID test: $*" >&2
  exit 1
}
trap 'echo "kernel HID test: stopped by a failing command at line $LINENO: $BASH_COMMAND" >&2' ERR

have_package() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

apt_update() {
  apt-get update -qq -o DPkg::Lock::Timeout=300 </dev/null || fail "apt-get update failed: no network or no package source"
}

ensure_host_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    have_package "$p" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
    fail "needs the Debian packages ${missing[*]}; install them as root (bash tools/bootstrap.sh test does)"
  fi
  echo "kernel HID test: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt_update
  apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}" </dev/null \
    || fail "could not install ${missing[*]}"
}

# The kernel package that linux-image-amd64 stands for today, e.g. linux-image-6.1.0-57-amd64.
kernel_package() {
  { apt-cache depends linux-image-amd64 2>/dev/null || true; } | sed -n 's/^ *Depends: *\(linux-image-[^ ]*\)$/\1/p' | head -n1
}

ensure_kernel() {
  local cache=$1
  if [ -f "$cache/kernel/ready" ]; then
    echo "kernel HID test: using $(cat "$cache/kernel/ready") from $cache/kernel"
    return 0
  fi
  command -v apt-get >/dev/null || fail "apt-get is missing: cannot fetch the kernel package"
  local package
  package=$(kernel_package)
  if [ -z "$package" ]; then
    [ "$(id -u)" -eq 0 ] || fail "apt knows no linux-image-amd64; run apt-get update as root"
    apt_update
    package=$(kernel_package)
    [ -n "$package" ] || fail "apt knows no linux-image-amd64: is a Debian package source configured?"
  fi

  local fetch="$cache/fetch"
  rm -rf "$fetch"
  mkdir -p "$fetch"
  echo "kernel HID test: fetching $package"
  # apt-get download drops root for the download when it can; the folder must let it.
  chmod 0777 "$fetch" 2>/dev/null || true
  if ! (cd "$fetch" && timeout 300 apt-get download -qq "$package" </dev/null); then
    # The package lists may name a build the mirror no longer has.
    [ "$(id -u)" -eq 0 ] && apt_update && package=$(kernel_package)
    (cd "$fetch" && timeout 300 apt-get download -qq "$package" </dev/null) \
      || fail "could not download $package: no network or no package source"
  fi
  local deb
  deb=$(find "$fetch" -maxdepth 1 -name '*.deb' -print -quit)
  [ -n "$deb" ] || fail "apt-get download left no .deb for $package"
  mkdir -p "$fetch/root"
  dpkg-deb -x "$deb" "$fetch/root" || fail "could not unpack $deb"
  rm -f "$deb"
  echo "$package" > "$fetch/root/ready"
  # Only a complete unpack becomes the cache.
  rm -rf "$cache/kernel"
  mv "$fetch/root" "$cache/kernel"
  rm -rf "$fetch"
  echo "kernel HID test: $package unpacked into $cache/kernel"
}

# Finds a module of the unpacked kernel by name; file names may spell its
# underscores as dashes.
module_file() {
  local tree=$1 name=${2//-/_}
  local found
  found=$(find "$tree/kernel" -regextype posix-extended -regex ".*/${name//_/[-_]}\.ko(\.(xz|zst|gz))?" -print -quit)
  [ -n "$found" ] && echo "$found"
}

# Copies a module into the initramfs as a plain .ko, which busybox insmod loads.
plain_module() {
  local src=$1 dest=$2
  case "$src" in
    *.ko) cp "$src" "$dest" ;;
    *.ko.xz) xz -dc "$src" > "$dest" ;;
    *.ko.zst) zstd -qdc "$src" > "$dest" ;;
    *.ko.gz) gzip -dc "$src" > "$dest" ;;
    *) fail "unknown module format: $src" ;;
  esac
}

# Appends NAME and, before it, everything it depends on to the load order.
# The package ships no modules.dep (depmod makes it on installation), so the
# dependencies come from each module's own "depends=" field, which is what
# depmod reads too.
load_order=()
add_module() {
  local tree=$1 name=${2//-/_} staging=$3
  local m
  for m in "${load_order[@]}"; do [ "$m" = "$name" ] && return 0; done
  local src
  src=$(module_file "$tree" "$name") || fail "the kernel package has no module $name"
  plain_module "$src" "$staging/modules/$name.ko"
  local deps
  deps=$(tr '\0' '\n' < "$staging/modules/$name.ko" | sed -n 's/^depends=//p')
  deps=${deps%%$'\n'*}
  local d
  for d in ${deps//,/ }; do add_module "$tree" "$d" "$staging"; done
  load_order+=("$name")
}

# Copies a program and every shared library ldd lists for it, at the same paths.
add_program() {
  local program=$1 staging=$2
  mkdir -p "$staging/opt/marlow"
  cp "$program" "$staging/opt/marlow/"
  local libs lib
  libs=$(ldd "$program") || fail "ldd cannot read $program"
  case "$libs" in
    *"not found"*)
      echo "$libs" >&2
      fail "$(basename "$program") needs a library that is not installed"
      ;;
  esac
  while IFS= read -r lib; do
    [ -n "$lib" ] || continue
    mkdir -p "$staging$(dirname "$lib")"
    cp -L "$lib" "$staging$lib"
  done < <(sed -n 's/.*=> \(\/[^ ]*\) .*/\1/p; s/^[[:space:]]*\(\/[^ ]*\) (.*/\1/p' <<<"$libs")
}

build_initramfs() {
  local kernel=$1 work=$2 module=$3 check=$4 vgt=$5 examples=$6
  local staging="$work/initramfs"
  rm -rf "$staging"
  mkdir -p "$staging"/{bin,dev,proc,sys,tmp,run,modules}
  [ -x /bin/busybox ] || fail "/bin/busybox is missing: install busybox-static"
  file_is_static /bin/busybox || fail "/bin/busybox is not the static one: install busybox-static"
  cp /bin/busybox "$staging/bin/busybox"

  local tree
  tree=$(find "$kernel/lib/modules" "$kernel/usr/lib/modules" -mindepth 1 -maxdepth 1 -type d -print -quit 2>/dev/null \
    || true)
  [ -n "$tree" ] || fail "the kernel package holds no modules folder"
  load_order=()
  for m in hid hid-generic uhid; do add_module "$tree" "$m" "$staging"; done

  add_program "$module" "$staging"
  add_program "$check" "$staging"
  add_program "$vgt" "$staging"
  local example
  for example in factory-calibration.dat towing-calibration.dat; do
    [ -f "$examples/$example" ] || fail "no $example in $examples"
    cp "$examples/$example" "$staging/opt/marlow/"
  done
  cp "$(dirname "${BASH_SOURCE[0]}")/two-modules.sh" "$staging/opt/marlow/two-modules.sh"

  local insmods="" m
  for m in "${load_order[@]}"; do
    insmods+="insmod /modules/$m.ko || say \"insmod $m failed\""$'\n'
  done
  cat > "$staging/init" <<EOF
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
say() { echo "init: \$*"; }
finish() { say "\$*"; poweroff -f; }
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
$insmods
[ -e /dev/uhid ] || finish "no /dev/uhid after loading the modules"
/opt/marlow/$(basename "$module") &
module=\$!
i=0
while ! ls /dev/hidraw* >/dev/null 2>&1; do
  i=\$((i + 1))
  [ \$i -gt 100 ] && finish "no hidraw device appeared"
  sleep 0.1
done
/opt/marlow/$(basename "$check")
say "check program exited with \$?"
# The programming run has moved that module on; the parallel part starts from
# two fresh ones, so its device goes first.
kill \$module
wait \$module
i=0
while ls /dev/hidraw* >/dev/null 2>&1; do
  i=\$((i + 1))
  [ \$i -gt 100 ] && finish "the hidraw device stayed after its module ended"
  sleep 0.1
done
sh /opt/marlow/two-modules.sh /opt/marlow/$(basename "$module") /opt/marlow/$(basename "$vgt") \
  /opt/marlow/factory-calibration.dat /opt/marlow/towing-calibration.dat
dmesg | grep -i -e uhid -e hidraw -e 'queue is full' | sed 's/^/dmesg: /'
poweroff -f
EOF
  chmod +x "$staging/init"
  (cd "$staging" && find . | cpio -o -H newc --quiet | gzip -1 > "$work/initramfs.cpio.gz") \
    || fail "could not pack the initramfs"
}

file_is_static() {
  # A static binary has no program interpreter, so ldd says so.
  ! ldd "$1" >/dev/null 2>&1
}

run_vm() {
  local kernel=$1 work=$2 seconds=$3
  local vmlinuz log="$work/console.log"
  vmlinuz=$(find "$kernel/boot" -maxdepth 1 -name 'vmlinuz-*' -print -quit 2>/dev/null || true)
  [ -n "$vmlinuz" ] || fail "no vmlinuz in $kernel/boot"
  command -v qemu-system-x86_64 >/dev/null || fail "qemu-system-x86_64 is missing: install qemu-system-x86"
  local started=$SECONDS status=0
  timeout -k 5 "$seconds" qemu-system-x86_64 -accel tcg -m 512 -nographic -no-reboot -nic none \
    -kernel "$vmlinuz" -initrd "$work/initramfs.cpio.gz" -append "console=ttyS0 quiet panic=-1" \
    </dev/null >"$log" 2>&1 || status=$?
  # The console speaks in CRLF and the BIOS writes terminal escapes before the kernel starts.
  sed -i 's/\r$//' "$log"
  grep -v -e 'SeaBIOS' -e 'Booting from ROM' "$log" | sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g; s/\x1bc//g' || true
  echo "kernel HID test: QEMU ran $((SECONDS - started)) s"
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    fail "QEMU did not finish within $seconds s"
  fi
  [ "$status" -eq 0 ] || fail "QEMU failed with status $status"
  local pattern verdict
  for pattern in "${verdicts[@]}"; do
    verdict=$(grep -a -m1 "^$pattern" "$log" || true)
    [ -n "$verdict" ] || fail "no verdict line starting \"$pattern\""
    case "$verdict" in
      *": PASS"*) echo "kernel HID test: $verdict" ;;
      *) fail "$verdict" ;;
    esac
  done
}

case "${1:-}" in
  prepare)
    [ $# -eq 2 ] || fail "usage: $0 prepare CACHE"
    mkdir -p "$2"
    ensure_host_packages
    ensure_kernel "$(cd "$2" && pwd)"
    ;;
  run)
    [ $# -ge 7 ] || fail "usage: $0 run CACHE WORK MODULE CHECK MARLOW-VGT EXAMPLES [SECONDS]"
    [ -f "$2/kernel/ready" ] || fail "no kernel in $2/kernel: run '$0 prepare $2' first"
    mkdir -p "$3"
    work=$(cd "$3" && pwd)
    build_initramfs "$2/kernel" "$work" "$(realpath "$4")" "$(realpath "$5")" "$(realpath "$6")" "$(realpath "$7")"
    run_vm "$2/kernel" "$work" "${8:-120}"
    ;;
  *)
    fail "usage: $0 prepare CACHE | run CACHE WORK MODULE CHECK MARLOW-VGT EXAMPLES [SECONDS]"
    ;;
esac

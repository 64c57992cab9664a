#!/usr/bin/env bash
# Boots Debian 12 in a container (systemd-nspawn), installs the built package there as an operator
# does, and checks the user service ndivantor-headless@studio as it runs after a real boot, with a
# receiver (ffmpeg) inside: the unit is active only once the copy is on air; the first frame shows
# the logo; the API's changes outlive kill -9 and a reboot; an upload to the files folder loads
# and shows; a stopped send loop is ended by the watchdog; stop ends with status 0; after the
# administrator's real-time step the send thread runs SCHED_FIFO. It prints how long the copy
# takes to come on air. Run as root after scripts/check-package.sh.
#
# The Debian root is made once (debootstrap, with the package's dependencies) and kept in
# $VANTOR_BOOTED_CACHE (/var/cache/ndivantor-booted); each run boots an overlay over it, so the
# package itself installs without the network. VANTOR_SKIP_BOOTED=1 turns "this machine cannot
# boot a container" into a skip; VANTOR_DEB names another package file; VANTOR_KEEP_RUN=1 keeps
# the run's folder (its overlay, the console's output) for a look afterwards.
set -uo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
say() { echo "check-service: $*"; }
die() { say "$*" >&2; exit 1; }
cannot_boot() {
  if [ "${VANTOR_SKIP_BOOTED:-0}" = 1 ]; then
    say "skipped: this machine cannot boot a container ($*)"
    exit 0
  fi
  say "this machine cannot boot a container: $*" >&2
  exit 1
}

[ "$(id -u)" = 0 ] || cannot_boot "not root"
for tool in systemd-nspawn debootstrap nsenter unshare chroot flock findmnt ffmpeg python3 dpkg-deb; do
  command -v "$tool" >/dev/null || cannot_boot "no $tool"
done
grep -qw overlay /proc/filesystems || modprobe overlay 2>/dev/null || cannot_boot "no overlay file system"
deb=${VANTOR_DEB:-$(ls "$PWD"/build/package/ndivantor_*_amd64.deb 2>/dev/null | head -1)}
[ -f "$deb" ] || die "no package in build/package: run scripts/check-package.sh first"

suite=bookworm
# The archives this machine's apt already uses for Debian 12, unless named.
archive() { apt-cache policy 2>/dev/null | awk -v want="$1/main" '$3 == want { print $2; exit }'; }
mirror=${VANTOR_DEBIAN_MIRROR:-$(archive "$suite")}
security=${VANTOR_DEBIAN_SECURITY:-$(archive "$suite-security")}
[ -n "$mirror" ] && [ -n "$security" ] ||
  cannot_boot "apt knows no archive of $suite and $suite-security (set VANTOR_DEBIAN_MIRROR and VANTOR_DEBIAN_SECURITY)"
cache=${VANTOR_BOOTED_CACHE:-/var/cache/ndivantor-booted}
# A booting systemd with lingering user managers and their session bus; the receiver, the API
# client and ps for the checks. The package's own dependencies come on top, so that it installs
# offline: what it recommends too, as apt installs that for an operator.
tools="systemd systemd-sysv dbus dbus-user-session libpam-systemd ffmpeg curl procps"
wants=$(for field in Pre-Depends Depends Recommends; do dpkg-deb -f "$deb" "$field"; done)
deps=$(tr ',' '\n' <<<"$wants" | sed -e 's/|.*//' -e 's/([^)]*)//g' -e 's/\[[^]]*\]//g' -e 's/:any//' |
       tr -d ' \t' | grep -v '^$' | sort -u)
# A change to any of this, the versions the package asks for included, makes the root anew.
recipe=$(printf '%s\n' "root 2: $suite $mirror $security" "$tools" "$wants")

run=""; root=""; nspawn=""; leader=""; cgroup=""; name=""; building=""
halt_container() {  # in order if it can, by force after 60 s
  [ -n "$nspawn" ] || return 0
  kill -TERM "$nspawn" 2>/dev/null  # systemd-nspawn asks the container's systemd to halt
  local end=$((SECONDS + 60))
  while kill -0 "$nspawn" 2>/dev/null && ((SECONDS < end)); do sleep 0.2; done
  if kill -0 "$nspawn" 2>/dev/null; then
    [ -n "$leader" ] && kill -KILL "$leader" 2>/dev/null
    kill -KILL "$nspawn" 2>/dev/null
  fi
  wait "$nspawn" 2>/dev/null
  nspawn="" leader=""
}
cleanup() {
  halt_container
  if [ -n "$building" ] && mountpoint -q "$building/proc"; then umount "$building/proc"; fi
  if [ -n "$root" ]; then
    mountpoint -q "$root/proc" && umount "$root/proc"
    mountpoint -q "$root" && { umount "$root" 2>/dev/null || umount -l "$root"; }
  fi
  [ -n "$cgroup" ] && [ -d "$cgroup" ] && find "$cgroup" -depth -type d -exec rmdir {} + 2>/dev/null
  [ -n "$name" ] && rmdir "/run/systemd/nspawn/propagate/$name" 2>/dev/null
  if [ -n "$run" ]; then
    if [ "${VANTOR_KEEP_RUN:-0}" = 1 ]; then say "kept $run"; else rm -rf "$run"; fi
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# --- The cached root: made once per recipe, under an exclusive lock; runs share it read-only.
build_root() {
  local new=$cache/root.new log=$cache/build.log
  say "making the Debian 12 root in $cache/root (once; a few minutes)"
  rm -rf "$cache/root" "$new" "$cache/stamp"
  building=$new
  if ! debootstrap --variant=minbase "$suite" "$new" "$mirror" >"$log" 2>&1; then
    tail -5 "$log" >&2
    cannot_boot "debootstrap of $suite from $mirror failed (see $log)"
  fi
  cat >"$new/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb $security $suite-security main
EOF
  # Nothing starts inside while it is made.
  printf '#!/bin/sh\nexit 101\n' >"$new/usr/sbin/policy-rc.d"
  chmod 755 "$new/usr/sbin/policy-rc.d"
  mount -t proc proc "$new/proc"
  # shellcheck disable=SC2086  # the lists are words
  if ! { chroot "$new" apt-get update -qq &&
         chroot "$new" env DEBIAN_FRONTEND=noninteractive apt-get dist-upgrade -y -qq &&
         chroot "$new" env DEBIAN_FRONTEND=noninteractive \
           apt-get install -y -qq --no-install-recommends $tools $deps; } >>"$log" 2>&1; then
    tail -5 "$log" >&2
    cannot_boot "apt-get in the new root failed (see $log)"
  fi
  umount "$new/proc"
  chroot "$new" apt-get clean
  rm -f "$new/usr/sbin/policy-rc.d" "$new/etc/machine-id" "$new/var/lib/dbus/machine-id"
  mv "$new" "$cache/root"
  building=""
  printf '%s\n' "$recipe" >"$cache/stamp"
}

mkdir -p "$cache"
exec {lock}>"$cache/lock"
flock -w 1800 -x "$lock" || die "$cache stays locked by another run"
if [ ! -d "$cache/root" ] || [ "$(cat "$cache/stamp" 2>/dev/null)" != "$recipe" ]; then
  build_root
fi
flock -s "$lock"  # held to the end: the root stays as it is under this run's overlay

# --- This run's root: an overlay over the cached one, kept across the container's reboots.
run=$(mktemp -d /var/tmp/ndivantor-check.XXXXXX)
mkdir "$run/upper" "$run/work" "$run/root"
: >"$run/shown"  # journal lines already shown
root=$run/root
mount -t overlay overlay -o "lowerdir=$cache/root,upperdir=$run/upper,workdir=$run/work" "$root" ||
  cannot_boot "cannot mount an overlay over $cache/root"

user=studio
unit=ndivantor-headless@$user.service
token=studio-check-token
width=640 height=360
exchange=/var/tmp/vantor-check  # inside; the host reads what the checks leave there

tr -d - </proc/sys/kernel/random/uuid >"$root/etc/machine-id"  # also keeps first-boot set-up away
mkdir -p "$root/var/log/journal"                               # the journal outlives the reboot
cp "$deb" "$root/root/ndivantor.deb"
mount -t proc proc "$root/proc"
# Without a network: everything it needs must be in the cached root already.
if ! unshare --net chroot "$root" env DEBIAN_FRONTEND=noninteractive \
       apt-get install -y -q /root/ndivantor.deb >"$run/install.log" 2>&1; then
  tail -8 "$run/install.log" >&2
  die "the package does not install offline in the cached root"
fi
umount "$root/proc"
chroot "$root" useradd --create-home --shell /bin/bash "$user" || die "useradd failed"
uid=$(chroot "$root" id -u "$user")
gid=$(chroot "$root" id -g "$user")
mkdir -p "$root/var/lib/systemd/linger"
touch "$root/var/lib/systemd/linger/$user"  # its manager starts at boot, as loginctl enable-linger does
install -d -m 1777 "$root$exchange"

# systemd-nspawn covers /proc/kmsg with a file it has already deleted, so setting up any unit
# with ProtectKernelLogs=yes fails (226/NAMESPACE); a booted machine has the real one.
cat >"$root/etc/systemd/system/proc-kmsg-unmount.service" <<'EOF'
[Unit]
Description=Unmount systemd-nspawn's stand-in over /proc/kmsg
DefaultDependencies=no
Before=sysinit.target
ConditionPathIsMountPoint=/proc/kmsg

[Service]
Type=oneshot
ExecStart=/bin/umount /proc/kmsg

[Install]
WantedBy=sysinit.target
EOF
mkdir -p "$root/etc/systemd/system/sysinit.target.wants"
ln -s ../proc-kmsg-unmount.service "$root/etc/systemd/system/sysinit.target.wants/"

# The logos: a red 48 x 32 box inside a transparent 8-pixel margin, and a solid blue 32 x 24 box
# that is uploaded later.
home=$root/home/$user
mkdir -p "$home/logos" "$root/srv/logos" "$run/host"
ffmpeg -nostdin -v error -f lavfi -i "color=c=red:s=48x32,format=rgba,pad=64:48:8:8:color=0x00000000" \
  -frames:v 1 -y "$home/logos/red.png" || die "ffmpeg cannot make the logo"
ffmpeg -nostdin -v error -f lavfi -i "color=c=blue:s=32x24,format=rgba" \
  -frames:v 1 -y "$run/host/blue.png" || die "ffmpeg cannot make the second logo"
mkdir -p "$home/.config/ndivantor"
cat >"$home/.config/ndivantor/$user.conf" <<EOF
overlay=/home/$user/logos/red.png
corner=upper-left
offset=20,10
on=true
size=${width}x$height
rate=25
control=127.0.0.1:8080
control-token=$token
control-files=/srv/logos
EOF
units=$home/.config/systemd/user
mkdir -p "$units/$unit.d" "$units/default.target.wants"
printf '[Service]\nReadWritePaths=/srv/logos\n' >"$units/$unit.d/files.conf"
ln -s /usr/lib/systemd/user/ndivantor-headless@.service "$units/default.target.wants/$unit"
chown -R "$uid:$gid" "$home" "$root/srv/logos"

# --- The container.
# Commands inside, as root and as the user on the user's own service manager.
inside() { nsenter -t "$leader" -a -- env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
as_user() {
  inside runuser -u "$user" -- env HOME="/home/$user" XDG_RUNTIME_DIR="/run/user/$uid" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=/run/user/$uid/bus" "$@"
}
# The container's PID 1: the descendant of systemd-nspawn that is PID 1 in its own namespace.
container_init() {
  local child
  for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
    if awk '/^NSpid:/ { exit !(NF > 2 && $NF == 1) }' "/proc/$child/status" 2>/dev/null; then
      echo "$child"
      return 0
    fi
    container_init "$child" && return 0
  done
  return 1
}
name=ndivantor-check-${run##*.}
nspawn_options=(-q -b --private-network --console=read-only -D "$root" -M "$name")
# systemd-nspawn keeps CAP_SYS_RESOURCE from the container's root, so pam_limits there could not
# grant what limits.d says as it does on a real machine; it is passed on where the host has it.
if (( (0x$(awk '/^CapEff:/ { print $2 }' /proc/self/status) >> 24) & 1 )); then
  nspawn_options+=(--capability=CAP_SYS_RESOURCE)
fi
# Where there is no systemd on the host to hand out a scope, the container gets a cgroup of its
# own in the unified hierarchy, which its systemd then runs as it would run a whole machine.
if [ ! -d /run/systemd/system ]; then
  unified=$(findmnt -n -t cgroup2 -o TARGET | head -1)
  [ -n "$unified" ] || cannot_boot "no cgroup2 hierarchy is mounted"
  cgroup=$unified$(awk -F: '$1 == 0 { print $3 }' /proc/self/cgroup)/$name
  cgroup=${cgroup//\/\//\/}
  mkdir "$cgroup" || cannot_boot "cannot make the cgroup $cgroup"
  nspawn_options+=(--register=no --keep-unit)
fi

# A step that goes wrong says why in $problem.
problem=""
no() { problem=${*//$'\n'/ }; return 1; }
boots=0
boot() {  # starts the container and waits for its system and the user's manager
  boots=$((boots + 1))
  (
    [ -z "$cgroup" ] || echo "$BASHPID" >"$cgroup/cgroup.procs"
    SYSTEMD_NSPAWN_UNIFIED_HIERARCHY=1 exec systemd-nspawn "${nspawn_options[@]}"
  ) </dev/null >"$run/console-$boots.log" 2>&1 &
  nspawn=$!
  local end=$((SECONDS + 30)) state=""
  until leader=$(container_init "$nspawn"); do
    if ! kill -0 "$nspawn" 2>/dev/null; then
      wait "$nspawn"; nspawn=""
      no "systemd-nspawn ended: $(grep -v '^$' "$run/console-$boots.log" | tail -2 | tr '\n' ' ')"
      return
    fi
    ((SECONDS < end)) || { no "no init in the container after 30 s"; return; }
    sleep 0.1
  done
  end=$((SECONDS + 120))
  until state=$(inside systemctl is-system-running 2>/dev/null) &&
        [[ $state == running || $state == degraded ]]; do
    ((SECONDS < end)) || { no "its system is still '$state' after 120 s"; return; }
    sleep 0.2
  done
  [ "$state" = running ] ||
    say "the container's boot is degraded: $(inside systemctl --failed --plain --no-legend | tr '\n' ' ')"
  end=$((SECONDS + 60))
  until inside systemctl -q is-active "user@$uid.service"; do
    ((SECONDS < end)) || { no "the user's service manager did not start in 60 s"; return; }
    sleep 0.2
  done
}
reboot_container() {
  inside systemctl reboot >/dev/null 2>&1
  local end=$((SECONDS + 90))
  while kill -0 "$nspawn" 2>/dev/null && ((SECONDS < end)); do sleep 0.2; done
  halt_container  # by force, if the reboot hangs
  boot
}

# --- What the checks use inside: receivers of copy No 1 and the control API.
receivers='
frame() {  # one frame of a new connection, $1 frames in, as raw RGBA in the file $2
  rm -f "$2"
  timeout -k 2 20 ffmpeg -nostdin -v error -i tcp://127.0.0.1:5960 -vf "select=gte(n\,$1)" \
    -fps_mode passthrough -frames:v 1 -f rawvideo -pix_fmt rgba -y "$2" 2>"$2.err"
}
first_frame() {  # a receiver that tries every 50 ms for $1 s; says when it first got a frame
  local end=$((EPOCHSECONDS + $1))
  until timeout -k 1 10 ffmpeg -nostdin -v quiet -i tcp://127.0.0.1:5960 -frames:v 1 \
          -f rawvideo -pix_fmt rgba -y "$2"; do
    ((EPOCHSECONDS < end)) || { echo never; return 1; }
    sleep 0.05
  done
  echo "$EPOCHREALTIME"
}
'
# Runs a script inside as the user, with the receivers, in the folder the host reads.
user_script() { as_user bash -c "cd $exchange && unit=$unit && $receivers $1"; }
show() { as_user systemctl --user show -p "$1" --value "$unit"; }
# One API request: its status goes to $code, what it answered to $body.
api() {
  local out
  out=$(as_user curl -sS -m 30 -w '\n%{http_code}' -H "Authorization: Bearer $token" "$@" 2>&1)
  code=${out##*$'\n'} body=${out%$'\n'*}
}
post() { api -X POST -H 'Content-Type: application/json' -d "$2" "http://127.0.0.1:8080$1"; }
json() { python3 -c 'import json, sys; d = json.load(sys.stdin); print(eval(sys.argv[1]))' "$1" <<<"$body" 2>/dev/null; }
# Waits until the API answers GET /api/state, bounded.
state_answers() {
  local end=$((SECONDS + ${1:-20}))
  until api http://127.0.0.1:8080/api/state && [ "$code" = 200 ]; do
    ((SECONDS < end)) || return 1
    sleep 0.2
  done
}
# The unit's lines in the journal, root reading the user's journal.
journal() {
  inside journalctl -q --no-pager -o short-monotonic "$@" "_SYSTEMD_USER_UNIT=$unit" + "USER_UNIT=$unit" 2>/dev/null
}
why() {  # the unit's last journal lines, less those shown before
  journal -n "${1:-8}" | cut -c1-220 | grep -vxF -f "$run/shown" | tee -a "$run/shown" | sed 's/^/        | /'
}
unit_settles() {  # waits until the unit is neither starting nor stopping; prints its state
  local end=$((SECONDS + ${1:-30})) state
  while state=$(as_user systemctl --user is-active "$unit" 2>/dev/null); [[ $state == activating || $state == deactivating || $state == reloading ]]; do
    ((SECONDS < end)) || break
    sleep 0.2
  done
  echo "$state"
}
main_pid() {  # the unit's main process (in the container), or a failure when it has none
  local pid
  pid=$(show MainPID)
  [[ $pid =~ ^[0-9]+$ ]] && ((pid > 1)) && echo "$pid"
}
active_with_new_pid() {  # waits until the unit is active with a main process other than $1
  local end=$((SECONDS + $2)) pid
  while :; do
    pid=$(show MainPID)
    [ "$pid" != 0 ] && [ "$pid" != "$1" ] && as_user systemctl --user -q is-active "$unit" && return 0
    ((SECONDS < end)) || return 1
    sleep 0.2
  done
}

# Checks a decoded frame on the host: exactly the box of colour RRGGBB at x,y (w x h) shows,
# opaque, and every other pixel is transparent. Says what it saw otherwise.
frame_shows() {  # FILE X Y W H RRGGBB
  python3 - "$root$exchange/$1" "$width" "$height" "${@:2}" <<'EOF'
import sys
path, width, height, x0, y0, w, h = sys.argv[1], *map(int, sys.argv[2:8])
want = bytes.fromhex(sys.argv[8])
try:
    data = open(path, 'rb').read()
except OSError:
    try:
        said = open(path + '.err').read().strip().splitlines()[-1]
    except (OSError, IndexError):
        said = 'the receiver said nothing'
    sys.exit(f'no frame was decoded ({said})')
if len(data) != width * height * 4:
    sys.exit(f'the frame has {len(data)} bytes, not {width}x{height} RGBA')
wrong, stray = [], []
for y in range(height):
    for x in range(width):
        r, g, b, a = data[(y * width + x) * 4:(y * width + x) * 4 + 4]
        if x0 <= x < x0 + w and y0 <= y < y0 + h:
            if a != 255 or max(abs(r - want[0]), abs(g - want[1]), abs(b - want[2])) > 6:
                wrong.append((x, y, r, g, b, a))
        elif a != 0:
            stray.append((x, y))
said = []
if wrong:
    x, y, r, g, b, a = wrong[0]
    said.append(f'{len(wrong)} of the logo\'s {w * h} pixels at {x0},{y0} are not #{sys.argv[8]} '
                f'(first {x},{y}: rgba {r},{g},{b},{a})')
if stray:
    xs, ys = [p[0] for p in stray], [p[1] for p in stray]
    said.append(f'{len(stray)} pixels show outside it, within x {min(xs)}-{max(xs)}, y {min(ys)}-{max(ys)}')
sys.exit('; '.join(said) if said else 0)
EOF
}
# Two decoded frames are the same and something shows in them.
frames_same() {
  python3 - "$root$exchange/$1" "$root$exchange/$2" <<'EOF'
import sys
try:
    a, b = (open(p, 'rb').read() for p in sys.argv[1:3])
except OSError:
    sys.exit('no frame was decoded')
if not any(a[3::4]):
    sys.exit('nothing shows in the frame before')
sys.exit(0 if a == b else 'the frame differs from the one before')
EOF
}
elapsed() { python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.2f} s')" "$1" "$2" 2>/dev/null || echo "not measured"; }

# The logos' places: the red box sits 8 pixels inside its 64 x 48 picture.
red_upper_left=(28 18 48 32 ff0000)
red_lower_right=($((width - 64 - 30 + 8)) $((height - 48 - 20 + 8)) 48 32 ff0000)
blue_lower_right=($((width - 32 - 30)) $((height - 24 - 20)) 32 24 0000ff)

# --- The checks, in the order they run; each says PASS, FAIL or SKIP in one line.
pending=(on-air first-frame kill-9 reboot upload watchdog stop realtime)
passed=0 failed=0 skipped=0
report() {  # NAME pass|fail|skip MESSAGE
  pending=("${pending[@]/#$1/}")
  case $2 in
    pass) passed=$((passed + 1)); echo "PASS $1: $3" ;;
    fail) failed=$((failed + 1)); echo "FAIL $1: $3" ;;
    skip) skipped=$((skipped + 1)); echo "SKIP $1: $3" ;;
  esac
}
# Runs one check; a failure is told with the unit's last journal lines.
check() {  # NAME FUNCTION PASS-MESSAGE
  problem=""
  if "$2"; then
    report "$1" pass "$3"
  elif [[ $problem == SKIP:* ]]; then
    report "$1" skip "${problem#SKIP: }"
  else
    report "$1" fail "$problem"
    why 8
  fi
}
finish() {
  local name
  for name in "${pending[@]}"; do [ -z "$name" ] || report "$name" fail "not run: $1"; done
  say "done in $((SECONDS - started)) s"
  if ((skipped)); then
    echo "$passed passed, $failed failed, $skipped skipped"
  else
    echo "$passed passed, $failed failed"
  fi
  ((failed == 0))
  exit
}
# What a script run by user_script printed after NAME.
value() { sed -n "s/^$1 //p" <<<"$out"; }
placed() { said=$(frame_shows "$@" 2>&1); }

say "booting Debian 12 with $(basename "$deb") installed"
boot || cannot_boot "$problem"
at_boot=$(unit_settles 20)
say "at boot the enabled unit is $at_boot (main process status $(show ExecMainStatus))"
[ "$at_boot" = active ] || why 6

# Active means on air, and the first frame shows the logo; how long it takes to get there. A
# receiver trying every 50 ms from before the start also counts for the first frame.
as_user systemctl --user stop "$unit" >/dev/null 2>&1
as_user systemctl --user reset-failed "$unit" >/dev/null 2>&1
rm -f "$root$exchange"/*
out=$(user_script '
  t0=$EPOCHREALTIME
  first_frame 20 early.rgba >early.time &
  early=$!
  if timeout 60 systemctl --user start "$unit" 2>start.err; then started=yes; else started=no; fi
  t1=$EPOCHREALTIME
  if [ $started = yes ]; then
    if frame 0 active.rgba; then echo "frame yes"; else echo "frame no"; fi
  else
    kill $early
  fi
  wait
  echo "started $started"; echo "t0 $t0"; echo "t1 $t1"; echo "first $(cat early.time)"
')
on_air() {
  [ "$(value started)" = yes ] ||
    { said=$(head -c 300 "$root$exchange/start.err" | tr '\n' ' '); no "systemctl --user start failed: ${said%%. See *}"; return; }
  [ "$(value frame)" = yes ] ||
    { no "active, but a receiver that connected then got no frame: $(tail -1 "$root$exchange/active.rgba.err")"; return; }
}
first_frame_logo() {
  [ "$(value started)" = yes ] || { no "no frame: the unit did not start"; return; }
  placed active.rgba "${red_upper_left[@]}" ||
    { no "the first frame at a receiver that connected once it was active: $said"; return; }
  placed early.rgba "${red_upper_left[@]}" ||
    { no "the first frame at a receiver that tried from before the start: $said"; return; }
}
check on-air on_air "once systemctl --user start returned, a receiver that connected got a frame at once"
check first-frame first_frame_logo "the first decoded frame shows the red logo alone at upper-left 20,10, also at a receiver waiting from before the start"
if [ "$(value started)" = yes ]; then
  say "timing: start to active $(elapsed "$(value t0)" "$(value t1)"), start to the first frame at a receiver $(elapsed "$(value t0)" "$(value first)")"
else
  say "timing: start to active not measured: the unit did not start"
fi

# An API change outlives kill -9 of the main process, which the unit restarts ...
placed_as_set() {  # GET /api/state says the overlay is on at lower-right 30,20
  state_answers 20 || { no "the API does not answer GET /api/state"; return; }
  said=$(json '(d["overlay"]["corner"], d["overlay"]["x"], d["overlay"]["y"], d["overlay"]["on"])')
  [ "$said" = "('lower-right', 30, 20, True)" ] ||
    { no "GET /api/state says (corner, x, y, on) = ${said:-?}: ${body:0:200}"; return; }
}
kill_9() {
  local pid
  post /api/overlay '{"corner": "lower-right", "x": 30, "y": 20}'
  [ "$code" = 200 ] || { no "POST /api/overlay answered $code: ${body:0:200}"; return; }
  user_script 'frame 10 moved.rgba'
  placed moved.rgba "${red_lower_right[@]}" || { no "after POST /api/overlay: $said"; return; }
  pid=$(main_pid) || { no "the unit has no main process"; return; }
  out=$(user_script "
    t0=\$EPOCHREALTIME; kill -KILL $pid
    while [ -e /proc/$pid ]; do sleep 0.01; done
    echo \"t0 \$t0\"; echo \"first \$(first_frame 30 crash.rgba)\"
  ")
  say "timing: kill -9 to the first frame at a receiver that reconnects every 50 ms $(elapsed "$(value t0)" "$(value first)")"
  active_with_new_pid "$pid" 30 ||
    { no "30 s after kill -9 the unit is not active with a new process (it is $(unit_settles 1))"; return; }
  placed_as_set || { no "after kill -9: $problem"; return; }
  user_script 'frame 10 restarted.rgba'
  placed restarted.rgba "${red_lower_right[@]}" || { no "after kill -9: $said"; return; }
}
check kill-9 kill_9 "the logo moved over the API to lower-right 30,20 is there again after kill -9 (frame and GET /api/state)"

# ... and a reboot of the container, after which the copy comes back by itself.
say "rebooting the container"
reboot_container || finish "the container did not boot again: $problem"
rebooted() {
  local state
  state=$(unit_settles 30)
  [ "$state" = active ] || { no "after the reboot the unit is $state"; return; }
  placed_as_set || { no "after the reboot: $problem"; return; }
  user_script 'frame 10 rebooted.rgba'
  placed rebooted.rgba "${red_lower_right[@]}" || { no "after the reboot: $said"; return; }
}
check reboot rebooted "after a reboot the copy is back by itself with the logo at lower-right 30,20 (frame and GET /api/state)"

# An upload to the files folder loads by name and shows.
upload() {
  api -X PUT --data-binary @- http://127.0.0.1:8080/api/files/blue.png <"$run/host/blue.png"
  [ "$code" = 200 ] || { no "PUT /api/files/blue.png answered $code: ${body:0:200}"; return; }
  cmp -s "$run/host/blue.png" "$root/srv/logos/blue.png" || { no "the upload is not in /srv/logos/blue.png"; return; }
  post /api/overlay '{"file": "/srv/logos/blue.png", "on": true}'
  [ "$code" = 200 ] || { no "POST /api/overlay naming the upload answered $code: ${body:0:200}"; return; }
  user_script 'frame 10 uploaded.rgba'
  placed uploaded.rgba "${blue_lower_right[@]}" || { no "after loading the upload: $said"; return; }
}
check upload upload "a picture PUT to /api/files/blue.png is stored in /srv/logos, loads over the API and shows"

# A stopped send loop is ended by the watchdog, and the copy comes back on air as it was.
watchdog() {
  local pid since
  user_script 'frame 10 before.rgba'
  pid=$(main_pid) || { no "the unit has no main process to stop"; return; }
  since=$(inside date +%s)
  inside kill -STOP "$pid"
  active_with_new_pid "$pid" 45 ||
    { no "45 s after SIGSTOP the unit has no new process (it is $(unit_settles 1))"; return; }
  journal --since "@$since" | grep -q 'Watchdog timeout' ||
    { no "a new process, but the journal tells of no watchdog timeout"; return; }
  user_script 'frame 10 after.rgba'
  said=$(frames_same before.rgba after.rgba 2>&1) || { no "back on air, but $said"; return; }
}
check watchdog watchdog "after SIGSTOP the watchdog ended the copy, the unit started it again and it sends the same frame"

# systemctl --user stop ends the copy in order.
stop() {
  local state
  state=$(unit_settles 30)
  if [ "$state" != active ]; then
    as_user timeout 60 systemctl --user start "$unit" >/dev/null 2>&1 ||
      { no "the unit is $state and does not start"; return; }
  fi
  as_user timeout 60 systemctl --user stop "$unit" || { no "systemctl --user stop failed"; return; }
  said=$(as_user systemctl --user show -p ExecMainCode,ExecMainStatus,Result,ActiveState "$unit" | sort | tr '\n' ' ')
  [ "$said" = "ActiveState=inactive ExecMainCode=1 ExecMainStatus=0 Result=success " ] ||
    { no "after stop: $said(ExecMainCode 1 is an exit, 2 a kill)"; return; }
}
check stop stop "systemctl --user stop ends the copy with exit status 0 and result success"

# The administrator's real-time step: the user joins ndivantor-realtime, whose limits file grants
# rtprio, and the user's manager starts again; the send thread then runs SCHED_FIFO.
realtime() {
  local manager pid tid policy limit grant since refused
  inside getent group ndivantor-realtime >/dev/null ||
    { no "the package makes no group ndivantor-realtime"; return; }
  grant=$(grep -hsE '^[[:space:]]*@ndivantor-realtime[[:space:]].*rtprio' "$root"/etc/security/limits.d/*.conf | head -1)
  [ -n "$grant" ] || { no "no file in /etc/security/limits.d grants @ndivantor-realtime an rtprio"; return; }
  inside usermod -aG ndivantor-realtime "$user" || { no "usermod failed"; return; }
  since=$(inside date +%s)
  inside timeout 60 systemctl restart "user@$uid.service" || { no "the user's manager does not start again"; return; }
  manager=$(inside systemctl show -p MainPID --value "user@$uid.service")
  limit=$(inside cat "/proc/$manager/limits" | awk '/^Max realtime priority/ { print $4 }')
  if [ "${limit:-0}" = 0 ]; then
    # pam_limits needs CAP_SYS_RESOURCE to raise the limit: a machine that has it nowhere
    # cannot take this step at all, whatever the package does.
    refused=$(inside journalctl -q --no-pager -o cat --since "@$since" | grep -m1 "pam_limits.*Could not set limit for 'rtprio'")
    if [ -n "$refused" ]; then
      # What can be checked here: the copy names the true cause, and its send thread by name.
      [ "$(unit_settles 60)" = active ] || { no "the unit is not active again after the manager's restart"; return; }
      pid=$(main_pid) || { no "the unit has no main process"; return; }
      inside sh -c "grep -qx vantor-send /proc/$pid/task/*/comm" || { no "no thread of the copy is named vantor-send"; return; }
      said=$(journal --since "@$since" | grep -m1 'without real-time scheduling')
      [[ $said == *"RLIMIT_RTPRIO is 0"*"could not be set"* ]] ||
        { no "the copy does not name the cause (the limit was not granted): ${said:-nothing said}"; return; }
      no "SKIP: the group and its limits ($grant) are in place and the copy says why it has no SCHED_FIFO (${said#*: }), but this machine cannot grant RLIMIT_RTPRIO (no CAP_SYS_RESOURCE even for root; SCHED_FIFO for root in the container: $(inside chrt -f 10 true 2>/dev/null && echo yes || echo no)): ${refused#*: }"
      return
    fi
    no "the user's manager has RLIMIT_RTPRIO ${limit:-?} after joining the group ($grant)"
    return
  fi
  as_user systemd-run --user --wait --quiet --collect chrt -f 10 true ||
    { no "SKIP: with RLIMIT_RTPRIO $limit a user service still cannot take SCHED_FIFO in this container"; return; }
  [ "$(unit_settles 60)" = active ] || { no "the unit is not active again after the manager's restart"; return; }
  pid=$(main_pid) || { no "the unit has no main process"; return; }
  tid=$(inside sh -c "grep -lx vantor-send /proc/$pid/task/*/comm" 2>/dev/null | head -1 | cut -d/ -f5)
  [ -n "$tid" ] ||
    { no "no thread of the copy is named vantor-send: $(inside sh -c "cat /proc/$pid/task/*/comm" | sort | uniq -c | tr -s ' \n' ' ')"; return; }
  policy=$(inside chrt -p "$tid" | head -1)
  [[ $policy == *SCHED_FIFO ]] || { no "the send thread's policy is ${policy##*: } (RLIMIT_RTPRIO $limit)"; return; }
}
check realtime realtime "after the administrator's step the send thread vantor-send runs SCHED_FIFO"

finish ""

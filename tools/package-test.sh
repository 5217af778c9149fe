#!/usr/bin/env bash
# Install round trips on this machine, as a user would do them (as root,
# or with sudo for the steps that need it):
#  1. the Debian packages: built and checked (tools/build-deb.sh), installed
#     with apt; a scheduler using the system's filter and model folders
#     runs the README's queue commands on a PDF and the installed
#     quillet-decode checks what the queue wrote; the installed filter
#     speaks German; the installed printer application's service is
#     enabled, a private server of it prints a PDF, a PWG raster and a
#     PNG to a socket printer (decoded by quillet-decode); it runs as its
#     unit starts it (its own user and groups, writing only in its state
#     and runtime folders), root adds a printer, root, its user and nobody
#     reach it, nobody prints; a root-owned state left by a version that
#     ran the service as root is kept and becomes its user's; the queue
#     and the packages are purged, the user with them;
#  2. a source install (prefix /usr/local, as the README builds it): the
#     installed filter speaks German; the files of the install manifest
#     are removed.
# QUILLET_DEBS=FOLDER runs the first with the packages in FOLDER instead
# (those built on another Debian release) and skips the second.
# After each, nothing of ours may be left. Whatever happens, the exit trap
# removes what was installed, so a second run starts from the same state.
set -euo pipefail
sudo=()
if [ "$(id -u)" != 0 ]; then sudo=(sudo --preserve-env=DEBIAN_FRONTEND); fi
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-2}
srcbuild=build/srcinstall
modeldir=$(cups-config --datadir 2>/dev/null || echo /usr/share/cups)/model/quillet
filter=$(cups-config --serverbin 2>/dev/null || echo /usr/lib/cups)/filter/rastertoquillet
export DEBIAN_FRONTEND=noninteractive
tmp=$(mktemp -d)
app=/usr/sbin/quillet-printer-app
unit=quillet-printer-app.service
# What the service keeps: its printers and spool, its control socket (and
# where versions that ran it as root had it); the user it runs as.
app_state=(/var/lib/quillet-printer-app /run/quillet-printer-app /run/quillet-printer-app.sock)
app_user=quillet-printer-app

# Our packages on the system, in any state but purged.
ours() {
  dpkg-query -W -f='${Package} ${db:Status-Status}\n' 'quillet-*' 2>/dev/null |
    awk '$2 != "" && $2 != "not-installed" { print $1 }'
}

purge_ours() {
  local p
  mapfile -t p < <(ours)
  [ ${#p[@]} -eq 0 ] && return 0
  echo "purging ${p[*]}"
  "${sudo[@]}" apt-get purge -y -qq "${p[@]}" </dev/null >/dev/null
}

# Folders a source install may create; those it did create are removed
# with it when empty.
install_roots=(/usr/local "$(dirname "$modeldir")" "$(dirname "$filter")")
folders() { find "${install_roots[@]}" -xdev -type d 2>/dev/null | sort; }

remove_source_install() {
  if [ -f "$srcbuild/install_manifest.txt" ]; then
    xargs "${sudo[@]}" rm -f <"$srcbuild/install_manifest.txt"
    "${sudo[@]}" rm -f "$srcbuild/install_manifest.txt"
    "${sudo[@]}" rmdir "$modeldir" 2>/dev/null || true
    if [ -f "$tmp/folders-before" ]; then
      folders | comm -13 "$tmp/folders-before" - | sort -r | xargs -r "${sudo[@]}" rmdir 2>/dev/null || true
    fi
  fi
}

# Servers of the installed printer application this script started.
stop_servers() {
  local f pid
  for f in "$tmp/papp/server.pid" "$tmp/service.pid"; do
    [ -f "$f" ] || continue
    pid=$(cat "$f")
    if "${sudo[@]}" kill -0 "$pid" 2>/dev/null; then
      "${sudo[@]}" kill -TERM "$pid" 2>/dev/null || true
      for _ in $(seq 50); do "${sudo[@]}" kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
      "${sudo[@]}" kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$f"
  done
}

# systemd's records of our unit: enable links, the mask of a removal,
# deb-systemd-helper's state.
unit_traces() {
  find /etc/systemd /var/lib/systemd -name "*quillet*" 2>/dev/null || true
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  stop_servers
  purge_ours >&2 || echo "cleanup: could not purge: $(ours | tr "\n" " ")" >&2
  # What this script seeded before the install, should it stop earlier.
  "${sudo[@]}" rm -rf "${app_state[@]}"
  remove_source_install
  rm -rf "$tmp"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The filter reports a missing PPD in the language LANG asks for, using
# the catalogues it finds by itself.
speaks_german() {
  local out
  out=$(env -u APPLE_LANGUAGE -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u RASTERTOQUILLET_LOCALEDIR \
        LANG=de_DE.UTF-8 PPD="$tmp/absent.ppd" "$1" 1 user title 1 "" </dev/null 2>&1 || true)
  if ! grep -q '^ERROR: PPD-Datei kann nicht geöffnet werden' <<<"$out"; then
    echo "FAIL: $1 with LANG=de_DE.UTF-8 said: $out" >&2
    return 1
  fi
  echo "$1 speaks German: $(head -n 1 <<<"$out")"
}

# Fails when any of the given paths exists, or anything under /etc/cups
# still names our models (a queue's PPD copy, printers.conf).
nothing_left() {
  local left=0 p
  for p in "$@"; do
    if [ -e "$p" ] || [ -L "$p" ]; then
      echo "FAIL: left behind: $p" >&2
      left=1
    fi
  done
  if grep -rlis 'quillet' /etc/cups 2>/dev/null; then
    echo "FAIL: /etc/cups still names our models (files above)" >&2
    left=1
  fi
  return $left
}

# An earlier run that was killed outright may have left its installs.
purge_ours
remove_source_install

if [ -n "${QUILLET_DEBS:-}" ]; then
  echo "== the Debian packages in $QUILLET_DEBS"
  debs=("$(realpath --relative-to=. "$QUILLET_DEBS")"/*.deb)
else
  echo "== building the Debian packages"
  tools/build-deb.sh
  debs=(build/deb/packages/*.deb)
fi
pkgs=()
for deb in "${debs[@]}"; do
  pkgs+=("$(dpkg-deb -f "$deb" Package)")
  echo "-- $deb"
  dpkg-deb -c "$deb"
done

# What a version that ran the service as root leaves after its removal:
# root's state folder, state file and a spooled job. The install keeps
# them, the unit's start hands them to the service's user.
"${sudo[@]}" install -d -m 0755 /var/lib/quillet-printer-app/spool
printf 'NextPrinterID 1\n' | "${sudo[@]}" tee /var/lib/quillet-printer-app/quillet-printer-app.state >/dev/null
"${sudo[@]}" chmod 0600 /var/lib/quillet-printer-app/quillet-printer-app.state
printf 'RaS2' | "${sudo[@]}" tee /var/lib/quillet-printer-app/spool/p00001j00001-job.pwg >/dev/null

echo "== installing ${pkgs[*]}"
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${debs[@]/#/./}" </dev/null >/dev/null
mode=$(stat -c '%a %U:%G' "$filter")
if [ "$mode" != "755 root:root" ]; then
  echo "FAIL: $filter is $mode, CUPS wants 755 root:root" >&2
  exit 1
fi
dpkg -L "${pkgs[@]}" | while read -r f; do [ -d "$f" ] || echo "$f"; done >"$tmp/files"
speaks_german "$filter"
if ! getent passwd "$app_user" >/dev/null; then
  echo "FAIL: the package made no user $app_user" >&2
  exit 1
fi

echo "== printing through a scheduler that uses the installed files (file and serial queues)"
"${sudo[@]}" python3 filter/tests/cups/cupsd_test.py --installed --decoder /usr/bin/quillet-decode \
  --testdoc tools/demo/testdoc.py SchedulerJob.test_print_job_through_a_queue SchedulerJob.test_serial_queue

echo "== the printer application from its package"
# Enabled for systemd at installation (started, too, where systemd runs);
# the unit checks out: its program and its manual page are there.
# (The enable link is there without systemd, too.)
if [ ! -L "/etc/systemd/system/multi-user.target.wants/$unit" ]; then
  echo "FAIL: $unit is not enabled after installation" >&2
  exit 1
fi
if command -v systemd-analyze >/dev/null; then
  man=no
  if command -v man >/dev/null; then man=yes; fi
  systemd-analyze verify --man=$man "/lib/systemd/system/$unit"
  echo "$unit: enabled, verified"
else
  echo "$unit: enabled (no systemd-analyze here to verify it)"
fi
# A user's private server: its own port, state and control socket.
python3 printer-app/tests/installed_test.py "$app" /usr/bin/quillet-decode \
  tools/demo/testdoc.py "$tmp/papp"
# As the unit starts it: as its user with its groups, umask and no new
# privileges, in the folders systemd makes for it (owned by the user), on
# a free port and logging here. Root adds a printer with the README's
# command (another device), root, the service's user and nobody reach it,
# nobody prints on it; the printer must be kept in the service's state.
read -ra add_printer < <(sed -n 's/^    sudo quillet-printer-app add /add /p' README.md | head -n 1)
for i in "${!add_printer[@]}"; do
  case "${add_printer[$i]}" in
    -v) add_printer[i + 1]=socket://127.0.0.1:9100 ;;  # the test's printer replaces it
    -m) driver=${add_printer[$i + 1]} ;;
  esac
done
if [ -z "${driver:-}" ]; then
  echo "FAIL: README.md has no 'sudo quillet-printer-app add ... -m DRIVER' line" >&2
  exit 1
fi
unit_value() { sed -n "s/^$1=//p" "/lib/systemd/system/$unit" | tail -n 1; }
read -ra exec_start < <(unit_value ExecStart)
svc_user=$(unit_value User)
svc_group=$(unit_value Group)
read -ra svc_groups < <(unit_value SupplementaryGroups)
if [ "$svc_user" != "$app_user" ] || [ "$svc_group" != "$app_user" ]; then
  echo "FAIL: $unit runs as '$svc_user:$svc_group', not $app_user" >&2
  exit 1
fi
state_dir=/var/lib/$(unit_value StateDirectory)
run_dir=/run/$(unit_value RuntimeDirectory)
# systemd hands a folder that is not the user's over to it, with all it
# holds, as the root-owned state seeded above.
for d in "$state_dir" "$run_dir"; do
  if [ -d "$d" ] && [ "$(stat -c %U:%G "$d")" != "$svc_user:$svc_group" ]; then
    "${sudo[@]}" chown -R -h "$svc_user:$svc_group" "$d"
  fi
done
"${sudo[@]}" install -d -m "$(unit_value StateDirectoryMode)" -o "$svc_user" -g "$svc_group" "$state_dir"
"${sudo[@]}" install -d -m "$(unit_value RuntimeDirectoryMode)" -o "$svc_user" -g "$svc_group" "$run_dir"
as_service=("${sudo[@]}" setpriv --reuid="$svc_user" --regid="$svc_group"
  --groups="$(IFS=,; echo "$svc_group,${svc_groups[*]}")" --no-new-privs --inh-caps=-all --bounding-set=-all
  -- env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
  HOME="$(getent passwd "$svc_user" | cut -d: -f6)" USER="$svc_user" LOGNAME="$svc_user"
  SHELL="$(getent passwd "$svc_user" | cut -d: -f7)" LANG=C.UTF-8
  STATE_DIRECTORY="$state_dir" RUNTIME_DIRECTORY="$run_dir")
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
(umask "$(unit_value UMask)"
 exec "${as_service[@]}" "${exec_start[@]}" -o server-port="$port" -o log-file=- \
   </dev/null >/dev/null 2>"$tmp/service.log") &
echo $! >"$tmp/service.pid"
# Only a running server may get the sub-command: PAPPL starts one of its
# own for a sub-command that finds none.
ready=no
for _ in $(seq 100); do
  if [ -S "$run_dir/quillet-printer-app.sock" ] && (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    ready=yes
    break
  fi
  sleep 0.1
done
if [ $ready != yes ]; then
  echo "FAIL: $app did not start as its unit starts it; its log:" >&2
  cat "$tmp/service.log" >&2 || true
  exit 1
fi
# The process is the service's user with its device groups and nothing
# more, and can write in its two folders only.
# Through sudo the started process is sudo itself; the service is the
# process of the service's user with this port on its command line.
ids() { getent "$1" "$2" | cut -d: -f3; }
pid=$(cat "$tmp/service.pid")
for status in /proc/[0-9]*/status; do
  proc=${status#/proc/}
  proc=${proc%/status}
  if awk -v uid="$(ids passwd "$svc_user")" '/^Uid:/ { exit !($2 == uid) }' "$status" 2>/dev/null &&
     tr '\0' ' ' <"/proc/$proc/cmdline" 2>/dev/null | grep -q -- "server-port=$port "; then
    pid=$proc
    break
  fi
done
want_groups=$(for g in "$svc_group" "${svc_groups[@]}"; do ids group "$g"; done | sort -n | tr '\n' ' ')
got_groups=$(awk '/^Groups:/ { for (i = 2; i <= NF; i++) print $i }' "/proc/$pid/status" | sort -n | tr '\n' ' ')
got_ids=$(awk '/^(Uid|Gid|NoNewPrivs|CapEff):/ { printf "%s %s ", $1, $2 }' "/proc/$pid/status")
want_ids="Uid: $(ids passwd "$svc_user") Gid: $(ids group "$svc_group") CapEff: 0000000000000000 NoNewPrivs: 1 "
if [ "$got_ids" != "$want_ids" ] || [ "$got_groups" != "$want_groups" ]; then
  echo "FAIL: the service runs as '$got_ids' groups '$got_groups', not '$want_ids' groups '$want_groups'" >&2
  exit 1
fi
for d in / /etc /usr /usr/sbin /var /var/lib /var/log /var/spool /run /root /home \
         /lib/systemd/system /lib/udev/rules.d "$state_dir" "$run_dir"; do
  [ -d "$d" ] || continue
  probe=$d/.quillet-write-probe
  case "$d" in "$state_dir"|"$run_dir") want=0 ;; *) want=1 ;; esac
  got=0
  "${as_service[@]}" sh -c ': >"$1" && rm -f "$1"' _ "$probe" 2>/dev/null || got=1
  if [ $got != $want ]; then
    "${sudo[@]}" rm -f "$probe"
    echo "FAIL: the service's user can$([ $want = 1 ] || echo not) write in $d" >&2
    exit 1
  fi
done
echo "the service runs as $svc_user (groups $svc_group ${svc_groups[*]}), writes only in $state_dir and $run_dir"
"${sudo[@]}" python3 printer-app/tests/installed_test.py --service "$app" /usr/bin/quillet-decode \
  "$svc_user" "${add_printer[@]}" || { cat "$tmp/service.log" >&2; exit 1; }
stop_servers
if ! "${sudo[@]}" grep -qs "$driver" "$state_dir/quillet-printer-app.state"; then
  echo "FAIL: the service's state has no printer; its log:" >&2
  cat "$tmp/service.log" >&2 || true
  exit 1
fi
# Nothing the service made lies outside its folders (the unit gives it a
# private /tmp).
mapfile -t strays < <("${sudo[@]}" find /etc /usr /var /run /root /home /srv /opt /dev/shm -xdev \
  \( -path "$state_dir" -o -path "$run_dir" -o -path /var/tmp \) -prune -o -user "$svc_user" -print 2>/dev/null)
if [ ${#strays[@]} -gt 0 ]; then
  echo "FAIL: files of $svc_user outside its folders: ${strays[*]}" >&2
  exit 1
fi
if [ -n "$("${sudo[@]}" find "$state_dir" ! -user "$svc_user" -print)" ] ||
   ! "${sudo[@]}" test -f "$state_dir/spool/p00001j00001-job.pwg"; then
  echo "FAIL: the earlier root-owned state is not the service user's:" >&2
  "${sudo[@]}" ls -lR "$state_dir" >&2
  exit 1
fi
echo "the service's server kept its printer ($app ${add_printer[*]}) in $state_dir, with the earlier state"

echo "== removing ${pkgs[*]}"
"${sudo[@]}" apt-get purge -y -qq "${pkgs[@]}" </dev/null >/dev/null
mapfile -t files <"$tmp/files"
nothing_left "${files[@]}" "$modeldir" "${pkgs[@]/#//usr/share/doc/}" "${app_state[@]}"
if [ -n "$(unit_traces)" ]; then
  echo "FAIL: systemd still knows our unit: $(unit_traces | tr '\n' ' ')" >&2
  exit 1
fi
if [ -n "$(ours)" ]; then
  echo "FAIL: still known to dpkg: $(ours | tr '\n' ' ')" >&2
  exit 1
fi
if getent passwd "$app_user" >/dev/null || getent group "$app_user" >/dev/null; then
  echo "FAIL: the user or group $app_user is left" >&2
  exit 1
fi
echo "nothing of ${pkgs[*]} is left"
[ -n "${QUILLET_DEBS:-}" ] && exit 0

echo "== source install (prefix /usr/local)"
cmake -S . -B "$srcbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF >/dev/null
cmake --build "$srcbuild" -j "$jobs" --target quillet-package-files
folders >"$tmp/folders-before"
"${sudo[@]}" cmake --install "$srcbuild"
mapfile -t files <"$srcbuild/install_manifest.txt"
if ! printf '%s\n' "${files[@]}" | grep -q '^/usr/local/share/locale/de/'; then
  echo "FAIL: the German catalogue is not under /usr/local" >&2
  exit 1
fi
speaks_german "$filter"
remove_source_install
mapfile -t created < <(folders | comm -13 "$tmp/folders-before" -)
nothing_left "${files[@]}" "$modeldir" "${created[@]}"
echo "nothing of the source install is left"

# shellcheck shell=sh disable=SC2034
# Sourced by the phone's scripts: where the phone keeps its things, and the
# steps the scripts share. phone.conf, written by tools/install-scripts,
# names the programs' directory (PHONE_BIN), the modem side (PHONE_BRIDGE:
# modembridge or mmbridge), its modem (PHONE_MODEM: modembridge's AT port,
# or mmbridge's ModemManager modem, empty for the first) and the programs'
# working directory (PHONE_WORKDIR).
# shellcheck source=/dev/null
. "$HOME/gta02/scripts/phone.conf"
PHONE_BRIDGE=${PHONE_BRIDGE:-modembridge}

GTA02=$HOME/gta02
SCRIPTS=$GTA02/scripts
LOG=$GTA02/log
NOTIFY_PIPE=$GTA02/notify/NotifyPipe
# There only while the phone runs: the named pipes between the programs,
# the file "group" with the phone's process group, and for each piece of the
# phone the process ids of its program (NAME.pid) and of its watch
# (NAME.watch), and its last exit status once it ended (NAME.ended).
RUN=$GTA02/run

say() {
  printf '%s: %s\n' "${0##*/}" "$*" >&2
}

# Start and stop one after another: the lock is held on the gta02 folder
# itself, so that nothing is left behind for it.
lock_phone() {
  exec 9<"$GTA02"
  flock -w 60 9 || { say "the phone's lock is held too long"; exit 1; }
}

# Prints the running phone's process group; false when the phone is off.
phone_group() {
  group=$(cat "$RUN/group" 2>/dev/null) && [ -n "$group" ] &&
    kill -s 0 -- "-$group" 2>/dev/null && echo "$group"
}

# Ends the process group: TERM, then KILL what is left after five seconds.
end_group() {
  kill -s TERM -- "-$1"
  tries=0
  while kill -s 0 -- "-$1" 2>/dev/null && [ "$tries" -lt 50 ]; do
    tries=$((tries + 1))
    sleep 0.1
  done
  kill -s KILL -- "-$1" 2>/dev/null || true
}

# A script that ends the phone, run from the phone's own menu, is in the
# phone's process group: it leaves that group first, in a session of its own.
leave_phone_group() {
  [ "${1-}" = --detached ] || exec setsid -w /bin/sh "$0" --detached
}

# The one-shot programs run only while there is a phone to take their frames.
need_phone() {
  phone_group >/dev/null || { say "the phone is off (start.sh starts it)"; exit 1; }
}

# Runs a one-shot program whose frames go to the modem side.
run_sender() {
  need_phone
  cd "$PHONE_WORKDIR" || exit 1
  exec "$PHONE_BIN/$1" >"$RUN/up" 2>>"$LOG/$1.log"
}

# The pipes of a phone that ended, by stop.sh or otherwise.
clear_run() {
  rm -f "$NOTIFY_PIPE"
  rm -rf "$RUN"
}

# A line for the frame log, in the fans' form.
log_frame() {
  printf '%s %s %s\n' "$(date +%H:%M:%S)" "$1" "$2" >>"$LOG/frames.log"
}

# The GTA02 names itself in /proc/cpuinfo ("Hardware : GTA02").
on_the_phone() {
  grep -qs GTA02 /proc/cpuinfo
}

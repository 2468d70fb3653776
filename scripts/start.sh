#!/bin/sh
# start.sh: starts the phone: the modem side (modembridge on the modem's AT
# port, or mmbridge on a ModemManager modem, as phone.conf says) and
# callhandler, notifier, smsreader and launcher, their standard streams
# joined by named pipes. Each piece of the phone is watched and started
# again when it ends. Run again, it leaves a whole phone alone and starts
# again one that runs without some piece.
#
#   programs' frames --> run/up --phone-fan--> modem side (run/modem), NotifyPipe
#   modem side's frames --> run/bridge --modem-fan--> callhandler, smsreader, NotifyPipe
#   profile scripts --> NotifyPipe = the notifier's input
#
# A fan (framefan) hands each frame whole to every reader. The dialer and
# the composer write into run/up as well (dial.sh, write_sms.sh);
# read_sms.sh writes into smsreader's pipe. Every process of the phone is in
# one process group of its own, which stop.sh ends.
set -eu
# shellcheck source=lib.sh
. "$HOME/gta02/scripts/lib.sh"

# The pieces of the phone, each run under a watch of its own.
PIECES="phone-fan $PHONE_BRIDGE modem-fan notifier callhandler smsreader launcher"
# A piece that ends within this many seconds of the start ended at start-up.
START_UP_SECONDS=2

start_session() {
  lock_phone
  if group=$(phone_group); then
    missing=$(missing_pieces)
    if [ -z "$missing" ]; then
      say "the phone runs already (process group $group)"
      exit 0
    fi
    say "the phone ran without$missing: starting it again"
    end_group "$group"
  fi
  clear_run
  mkdir -p "$RUN" "$LOG" "${NOTIFY_PIPE%/*}"
  for pipe in up modem bridge callhandler smsreader; do mkfifo "$RUN/$pipe"; done
  mkfifo "$NOTIFY_PIPE"
  setsid /bin/sh "$SCRIPTS/start.sh" --session 9<&- </dev/null >/dev/null 2>&1 &
  # The lock stays held until every watch has started.
  for piece in $PIECES; do
    appears "$RUN/$piece.watch" || give_up
  done
  sleep "$START_UP_SECONDS"
  report_start_up
  say "the phone runs (process group $(cat "$RUN/group"))"
}

give_up() {
  say "the phone did not start (see $LOG/phone.log)"
  if group=$(phone_group); then end_group "$group"; fi
  clear_run
  exit 1
}

# Waits up to ten seconds for the file.
appears() {
  tries=0
  until [ -s "$1" ]; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || return 1
    sleep 0.1
  done
}

# The pieces whose watch is gone, each after a blank.
missing_pieces() {
  for piece in $PIECES; do
    watch=$(cat "$RUN/$piece.watch" 2>/dev/null) && kill -s 0 "$watch" 2>/dev/null ||
      printf ' %s' "$piece"
  done
}

# A piece that ended at start-up will end again each time its watch starts
# it: the user learns which one, with the end of its log.
report_start_up() {
  failed=
  for piece in $PIECES; do
    [ -f "$RUN/$piece.ended" ] || continue
    case $piece in *-fan) log=$LOG/framefan.log ;; *) log=$LOG/$piece.log ;; esac
    say "$piece ended at start-up (status $(cat "$RUN/$piece.ended")); the end of $log:"
    tail -n 5 "$log" | sed 's/^/    /' >&2
    failed=yes
  done
  [ -z "$failed" ] || {
    say "the phone runs without it, trying again and again (stop.sh ends it)"
    exit 1
  }
}

fan() {
  "$PHONE_BIN/framefan" -l "$LOG/frames.log" "$@" 2>>"$LOG/framefan.log"
}

bridge() {
  "$PHONE_BIN/$PHONE_BRIDGE" ${PHONE_MODEM:+"$PHONE_MODEM"}
}

# Runs a piece of the phone (NAME COMMAND...) and starts it again whenever it
# ends, with a line in phone.log. While it keeps ending within a minute, the
# pause before the next start doubles, up to a minute.
watch() {
  piece=$1
  shift
  # /proc/self is this shell itself: read is built in.
  read -r self _ </proc/self/stat
  echo "$self" >"$RUN/$piece.watch"
  pause=1
  while :; do
    since=$(date +%s)
    status=0
    "$@" || status=$?
    echo "$status" >"$RUN/$piece.ended"
    [ "$(($(date +%s) - since))" -lt 60 ] || pause=1
    say "$(date +%H:%M:%S) $piece ended (status $status); starting it again in $pause s" \
      2>>"$LOG/phone.log"
    sleep "$pause"
    pause=$((pause * 2 > 60 ? 60 : pause * 2))
  done
}

# Every reader holds its pipe open for reading and writing (<>): its input
# never ends when a writer goes. So does every writer: a frame written while
# its reader is started again waits in the pipe.
run_phone() {
  exec 2>>"$LOG/phone.log"
  echo "$$" >"$RUN/group.new"
  mv "$RUN/group.new" "$RUN/group"
  cd "$PHONE_WORKDIR" || exit 1
  watch phone-fan fan -t phone "$RUN/modem" "$NOTIFY_PIPE" <>"$RUN/up" &
  watch "$PHONE_BRIDGE" bridge <>"$RUN/modem" 1<>"$RUN/bridge" 2>>"$LOG/$PHONE_BRIDGE.log" &
  watch modem-fan fan -t modem "$RUN/callhandler" "$RUN/smsreader" "$NOTIFY_PIPE" \
    <>"$RUN/bridge" &
  watch notifier "$PHONE_BIN/notifier" <>"$NOTIFY_PIPE" 1<>"$RUN/up" 2>>"$LOG/notifier.log" &
  watch callhandler "$PHONE_BIN/callhandler" <>"$RUN/callhandler" 1<>"$RUN/up" \
    2>>"$LOG/callhandler.log" &
  watch smsreader "$PHONE_BIN/smsreader" <>"$RUN/smsreader" 1<>"$RUN/up" \
    2>>"$LOG/smsreader.log" &
  watch launcher "$PHONE_BIN/launcher" </dev/null >>"$LOG/launcher.log" 2>&1 &
  wait
}

case ${1-} in
  --session) run_phone ;;
  *)
    leave_phone_group "$@"
    start_session
    ;;
esac

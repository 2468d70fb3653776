#!/bin/sh
# start.sh: starts the phone: modembridge on the modem's AT port, and
# callhandler, notifier, smsreader and launcher, their standard streams
# joined by named pipes. Does nothing when the phone runs already.
#
#   programs' frames --> run/up --fan--> modembridge (run/modem), NotifyPipe
#   modembridge's frames --fan--> callhandler, smsreader, NotifyPipe
#   profile scripts --> NotifyPipe = the notifier's input
#
# A fan (framefan) hands each frame whole to every reader. The dialer and
# the composer write into run/up as well (dial.sh, write_sms.sh);
# read_sms.sh writes into smsreader's pipe. Every process of the phone is in
# one process group of its own, which stop.sh ends.
set -eu
# shellcheck source=lib.sh
. "$HOME/gta02/scripts/lib.sh"

start_session() {
  lock_phone
  if group=$(phone_group); then
    say "the phone runs already (process group $group)"
    exit 0
  fi
  clear_run
  mkdir -p "$RUN" "$LOG" "${NOTIFY_PIPE%/*}"
  for pipe in up modem callhandler smsreader; do mkfifo "$RUN/$pipe"; done
  mkfifo "$NOTIFY_PIPE"
  setsid /bin/sh "$SCRIPTS/start.sh" --session 9<&- </dev/null >/dev/null 2>&1 &
  # The lock stays held until the session has named its group.
  tries=0
  until [ -s "$RUN/group" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ]; then
      clear_run
      say "the phone did not start (see $LOG/phone.log)"
      exit 1
    fi
    sleep 0.1
  done
  say "the phone runs (process group $(cat "$RUN/group"))"
}

fan() {
  "$PHONE_BIN/framefan" -l "$LOG/frames.log" "$@" 2>>"$LOG/framefan.log"
}

# Every reader holds its pipe open for reading and writing (<>): its input
# never ends when a writer goes, and a writer never waits for it.
run_phone() {
  exec 2>>"$LOG/phone.log"
  echo "$$" >"$RUN/group.new"
  mv "$RUN/group.new" "$RUN/group"
  cd "$PHONE_WORKDIR" || exit 1
  fan -t phone "$RUN/modem" "$NOTIFY_PIPE" <>"$RUN/up" &
  "$PHONE_BIN/modembridge" "$PHONE_MODEM" <>"$RUN/modem" 2>>"$LOG/modembridge.log" |
    fan -t modem "$RUN/callhandler" "$RUN/smsreader" "$NOTIFY_PIPE" &
  "$PHONE_BIN/notifier" <>"$NOTIFY_PIPE" >"$RUN/up" 2>>"$LOG/notifier.log" &
  "$PHONE_BIN/callhandler" <>"$RUN/callhandler" >"$RUN/up" 2>>"$LOG/callhandler.log" &
  "$PHONE_BIN/smsreader" <>"$RUN/smsreader" >"$RUN/up" 2>>"$LOG/smsreader.log" &
  "$PHONE_BIN/launcher" </dev/null >>"$LOG/launcher.log" 2>&1 &
  wait
}

if [ "${1-}" = --session ]; then run_phone; else start_session; fi

#!/bin/sh
# stop.sh: ends the phone: every process of its process group (the programs,
# their windows and alerts, and what the launcher started), then its named
# pipes. Leaves no process, pipe or lock behind.
set -eu
# shellcheck source=lib.sh
. "$HOME/gta02/scripts/lib.sh"
leave_phone_group "$@"

lock_phone
if group=$(phone_group); then
  end_group "$group"
  say "the phone is off"
else
  say "the phone was not running"
fi
clear_run

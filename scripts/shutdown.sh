#!/bin/sh
# shutdown.sh: stops the phone's programs and powers the phone off; anywhere
# else says what it would do.
set -eu
# shellcheck source=lib.sh
. "$HOME/gta02/scripts/lib.sh"
if on_the_phone; then
  leave_phone_group "$@"
  "$SCRIPTS/stop.sh"
  poweroff
else
  say "not the phone: would run stop.sh, then poweroff"
fi

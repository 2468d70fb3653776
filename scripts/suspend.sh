#!/bin/sh
# suspend.sh: suspends the phone to memory; anywhere else says what it
# would do.
set -eu
# shellcheck source=lib.sh
. "$HOME/gta02/scripts/lib.sh"
if on_the_phone; then
  echo mem >/sys/power/state
else
  say "not the phone: would suspend it (echo mem >/sys/power/state)"
fi

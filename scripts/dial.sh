#!/bin/sh
# dial.sh: places one call with dialer; its frames go to the modem side.
set -eu
# shellcheck source=lib.sh
. "$HOME/gta02/scripts/lib.sh"
run_sender dialer

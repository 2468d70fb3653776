#!/bin/sh
# write_sms.sh: writes and sends one message with smswriter; its frame goes
# to the modem side.
set -eu
# shellcheck source=lib.sh
. "$HOME/gta02/scripts/lib.sh"
run_sender smswriter

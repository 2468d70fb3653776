#!/bin/sh
# read_sms.sh: asks smsreader to show every stored message: a retrieve frame
# for each of the 99 message numbers (fakesms writes exactly these; smsreader
# shows a stored message's own fields, not the request's), each frame handed
# whole to smsreader's pipe. Numbers without a message show nothing.
set -eu
# shellcheck source=lib.sh
. "$HOME/gta02/scripts/lib.sh"
need_phone
"$PHONE_BIN/fakesms" | "$PHONE_BIN/framefan" "$RUN/smsreader"

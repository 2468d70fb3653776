#!/bin/sh
# profile0.sh, profile1.sh, profile2.sh (links to this script): the frame
# that switches the notifier to the profile of the script's name (0 silent,
# 1 vibrate, 2 vibrate and ring), on standard output, which the launcher
# sends into NotifyPipe.
set -eu
# shellcheck source=lib.sh
. "$HOME/gta02/scripts/lib.sh"
profile=${0##*/profile}
profile=${profile%.sh}
case $profile in
  0 | 1 | 2) ;;
  *) say "no profile of that name"; exit 1 ;;
esac
# One write: the frame must not mix with the fans' frames in the pipe.
printf '\002\037notify\037switchtoprofile\037%s\037\003' "$profile"
log_frame profile "notify|switchtoprofile|$profile"

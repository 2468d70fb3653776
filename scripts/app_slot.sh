#!/bin/sh
# start_0201.sh ... start_0205.sh, stop_0201.sh ... stop_0205.sh (links to
# this script): the launcher's five application slots, all free. Put a
# script of the slot's name in place of the link to fill one.
set -eu
# shellcheck source=lib.sh
. "$HOME/gta02/scripts/lib.sh"
say "no application in this slot"

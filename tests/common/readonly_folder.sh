#!/usr/bin/env bash
# A program folder that cannot be written, as Program Files is for a user without administrator
# rights: made immutable, since the tests run as root, whom plain permissions do not stop. It
# holds a settings file that an administrator left. Where the file system has no immutable flag
# the folder is not made, and the tests that need it say so and skip.
#   readonly_folder.sh make|remove FOLDER [PROGRAM]     PROGRAM is copied in as Quintor.exe
set -uo pipefail
folder=$2 program=${3:-}
chattr -i "$folder" 2>/dev/null
rm -rf "$folder"
[ "$1" = make ] || exit 0
mkdir -p "$folder"
printf '[COMMON]\r\nPortNumber=7\r\n' >"$folder/Quintor.ini"
[ -z "$program" ] || cp "$program" "$folder/Quintor.exe"
chattr +i "$folder" 2>/dev/null || rm -rf "$folder"
exit 0

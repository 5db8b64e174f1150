#!/usr/bin/env bash
# One run of a stand-in updater under valgrind memcheck: makes an updater file of the program
# and the sound seed package, applies it to a fresh install folder, and fails on any memory
# error, any definite or indirect leak, or an update that does not end in success.
#   memcheck.sh VALGRIND MAKE_FUZZ_SEEDS UPDATER_PROGRAM
set -euo pipefail
valgrind=$1 make_seeds=$2 program=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/updater-memcheck-XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
mkdir "$work/install"
printf 'game.exe\n\0' >"$work/install/uninst.lst"
printf 'old' >"$work/install/data01000.arc"
chmod a-w "$work/install/data01000.arc"
"$make_seeds" --updater "$program" "$work/setup"

status=0
"$valgrind" -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  "$work/setup" "$work/install" || status=$?
if [ "$status" != 0 ]; then
  echo "memcheck: $(basename "$program") ended with $status (memory error, leak or failed update)"
  exit 1
fi
for name in data01000.arc readme.txt CVN.hvl; do
  grep -qaF "$name" "$work/install/uninst.lst" || { echo "memcheck: $name is not in uninst.lst"; exit 1; }
done
echo "memcheck: $(basename "$program") applied its package with no memory error and no leak"

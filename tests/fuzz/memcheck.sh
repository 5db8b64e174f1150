#!/usr/bin/env bash
# One run of a native updater under valgrind memcheck: makes an updater file of the program
# and the sound seed package, applies it to a fresh install folder, and fails on any memory
# error, any definite or indirect leak, or an update that does not end in success.
#   memcheck.sh VALGRIND MAKE_FUZZ_SEEDS PROGRAM apply_self|setup
# apply_self takes the install folder as its argument; setup finds it in the registry
# stand-in and is answered "y" on standard input.
set -euo pipefail
valgrind=$1 make_seeds=$2 program=$3 kind=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/updater-memcheck-XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
install=$work/install
mkdir "$install"
printf 'game.exe\n\0' >"$install/uninst.lst"
printf 'old' >"$install/data01000.arc"
chmod a-w "$install/data01000.arc"
"$make_seeds" --updater "$program" "$work/setup"

memcheck=("$valgrind" -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect)
status=0
case $kind in
  apply_self)
    "${memcheck[@]}" "$work/setup" "$install" || status=$? ;;
  setup)
    key="$work/registry/Software/Quillmere/ヴァルネア・テイル"
    mkdir -p "$key" "$work/mutexes"
    printf '%s\0' "$install" >"$key/InstalledFolder.REG_SZ"
    echo y | UPDATER_REGISTRY_DIR=$work/registry UPDATER_MUTEX_DIR=$work/mutexes \
      "${memcheck[@]}" "$work/setup" >"$work/output" || status=$? ;;
  *)
    echo "memcheck: unknown kind $kind" >&2; exit 2 ;;
esac
if [ "$status" != 0 ]; then
  echo "memcheck: $kind ended with $status (memory error, leak or failed update)"
  [ -f "$work/output" ] && cat "$work/output"
  exit 1
fi
cmp -s <(printf 'read me after the update\r\n') "$install/readme.txt" || { echo "memcheck: readme.txt not written"; exit 1; }
for name in data01000.arc readme.txt CVN.hvl; do
  grep -qaF "$name" "$install/uninst.lst" || { echo "memcheck: $name is not in uninst.lst"; exit 1; }
done
echo "memcheck: $kind applied its package with no memory error and no leak"

#!/usr/bin/env bash
# The demo: builds setup.exe and mkupdate, makes a package shaped like the shipped one from
# generated data, installs an old game into a throwaway Wine prefix, runs the updater (its
# question answered Yes by box_answerer, on a private X display), and shows what changed.
#
#   tools/demo.sh [--keep] [--pictures DIR]
#
#   --keep          keep the work folder (printed at the end) instead of removing it
#   --pictures DIR  also save the question and completion boxes as DIR/question.png and
#                   DIR/completion.png
#
# DEMO_DIR chooses the work folder, which is then kept (default: a new folder under /tmp).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
keep=0
pictures=
while [ $# -gt 0 ]; do
  case $1 in
    --keep) keep=1 ;;
    --pictures) pictures=${2:?--pictures needs a folder}; shift ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done
[ -z "$pictures" ] || pictures=$(mkdir -p "$pictures" && cd "$pictures" && pwd)

# A folder given as DEMO_DIR is the caller's and stays; only a folder of our own is removed.
if [ -n "${DEMO_DIR:-}" ]; then
  mkdir -p "$DEMO_DIR"
  work=$(cd "$DEMO_DIR" && pwd)
  keep=1
else
  work=$(mktemp -d /tmp/valnea-demo.XXXXXX)
fi
if [ "$keep" = 0 ]; then trap 'rm -rf "$work"' EXIT; fi
step() { printf '\n== %s\n' "$*"; }

if [ -f "$root/cmake/install-deps.sh" ]; then
  step "Installing what is missing"
  bash "$root/cmake/install-deps.sh"
fi

# setup.exe is a 32-bit program; where the kernel runs no 32-bit code, Wine's 32-bit side cannot
# start, and the demo runs the 64-bit build of the same source instead.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  toolchain=$root/cmake/mingw-i686.cmake
else
  toolchain=$root/cmake/mingw-x86_64.cmake
fi

step "Building mkupdate (this host) and setup.exe ($(basename "$toolchain" .cmake))"
cmake -S "$root" -B "$work/native" -DUPDATER_BUILD_TESTS=OFF -DUPDATER_BUILD_BENCHMARKS=OFF \
  -DCMAKE_BUILD_TYPE=Release >"$work/native.log" 2>&1 || { cat "$work/native.log"; exit 1; }
make -C "$work/native" -j2 mkupdate >>"$work/native.log" 2>&1 || { tail -30 "$work/native.log"; exit 1; }
cmake -S "$root" -B "$work/windows" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release >"$work/windows.log" 2>&1 || { cat "$work/windows.log"; exit 1; }
make -C "$work/windows" -j2 setup box_answerer e2e_helper >>"$work/windows.log" 2>&1 ||
  { tail -30 "$work/windows.log"; exit 1; }
mkupdate=$work/native/tools/mkupdate
stub=$work/windows/entry/setup.exe
helpers=$work/windows/tests/wine
echo "setup.exe: $(stat -c %s "$stub") bytes"

step "Generating the new game files and the old installation"
# The new game folder: two executables, four system archives and seven data archives, of which
# the update carries the one new archive, data01000.arc (1,406,474 bytes). The old installation
# has everything but that archive, in older versions, and an uninstall list naming its files.
reference=$work/reference
game=$work/ヴァルネア・テイル
/usr/bin/python3 - "$reference" "$game" <<'EOF'
import os, random, sys
reference, game = sys.argv[1:3]
names = (["Valnea.exe", "VTLauncher.exe"] + [f"system{n:02d}.arc" for n in range(4)]
         + [f"data{n:05d}.arc" for n in range(400, 1001, 100)])
os.makedirs(reference)
os.makedirs(game)
for n, name in enumerate(names):
    size = 1_406_474 if name == "data01000.arc" else 4096 + 977 * n
    with open(os.path.join(reference, name), "wb") as f:
        f.write(random.Random(n).randbytes(size))
    if name != "data01000.arc":
        with open(os.path.join(game, name), "wb") as f:
            f.write(random.Random(100 + n).randbytes(size))
listed = [n for n in names if n != "data01000.arc"] + ["uninst.lst"]
with open(os.path.join(game, "uninst.lst"), "wb") as f:
    f.write("".join(n + "\n" for n in listed).encode() + b"\0")
EOF
echo "new game folder: $(ls "$reference" | wc -l) files; old installation: $(ls "$game" | wc -l) files"

step "Building the updater file"
"$mkupdate" build --stub "$stub" -o "$work/setup.exe" --reference "$reference" \
  "$reference/data01000.arc"
"$mkupdate" inspect "$work/setup.exe"

snapshot() {  # name, size and checksum of every file of the installation
  (cd "$game" && for f in *; do printf '%s %s %s\n' "$f" "$(stat -c %s "$f")" \
    "$(sha256sum "$f" | cut -c1-16)"; done)
}
snapshot >"$work/before.txt"
cp "$game/uninst.lst" "$work/uninst.before"

step "Running the updater under Wine (answering Yes, then OK)"
title='「ヴァルネア・テイル」 Updater ver 1.00'
winfolder="Z:$(printf '%s' "$game" | tr / '\\')"
shots=()
[ -z "$pictures" ] || shots=(--shots "$work/shots")
status=0
/usr/bin/python3 "$root/tests/wine/wine_session.py" answer --workdir "$work/wine" \
  --helper "$helpers/e2e_helper.exe" --box-answerer "$helpers/box_answerer.exe" \
  --title "$title" "${shots[@]}" \
  --prepare "reg|REGVIEW|Software\\Quillmere|Software\\Quillmere\\ヴァルネア・テイル|InstalledFolder|sz|$winfolder" \
  "$work/setup.exe" yes ok | tee "$work/run.txt" || status=$?

step "What changed in $game"
snapshot >"$work/after.txt"
echo "files written:"
diff "$work/before.txt" "$work/after.txt" | sed -n 's/^> /  /p' || true
echo "lines added to uninst.lst:"
diff <(tr -d '\0' <"$work/uninst.before") <(tr -d '\0' <"$game/uninst.lst") |
  sed -n 's/^> /  /p' || true
echo "exit code: $(sed -n 's/^exit: //p' "$work/run.txt")"

if [ -n "$pictures" ]; then
  cp "$work/shots/box-1.png" "$pictures/question.png"
  cp "$work/shots/box-2.png" "$pictures/completion.png"
  echo "pictures: $pictures/question.png $pictures/completion.png"
fi
[ "$keep" = 0 ] || echo "work folder kept: $work"
exit "$status"

#!/usr/bin/env bash
# Signed updaters: an updater file built by mkupdate from the built setup.exe, signed by
# tools/sign_updater.sh with a throwaway self-signed code signing certificate. The signature
# verifies, the package inside is byte for byte the unsigned one's, mkupdate inspect reports
# it intact, and one flipped byte in the package breaks the signature. With the Windows
# helpers given, the signed setup.exe also runs under Wine, answered Yes: the install folder
# must come out exactly as the update makes it; the flipped one must change nothing.
#
#   sign_test.sh --setup SETUP.EXE --mkupdate MKUPDATE --sign SIGN_UPDATER.SH --workdir DIR
#                [--helper E2E_HELPER.EXE --box-answerer BOX_ANSWERER.EXE --session WINE_SESSION.PY]
set -euo pipefail

helper= answerer= session=
while [ $# -gt 0 ]; do
  case $1 in
    --setup) setup=$2 ;; --mkupdate) mkupdate=$2 ;; --sign) sign=$2 ;; --workdir) work=$2 ;;
    --helper) helper=$2 ;; --box-answerer) answerer=$2 ;; --session) session=$2 ;;
    *) echo "sign_test: unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

failures=0
pass() { echo "ok    $1"; }
failed() { echo "FAIL  $1"; failures=$((failures + 1)); }
check() {  # description, command...
  local what=$1; shift
  if "$@"; then pass "$what"; else failed "$what"; fi
}

rm -rf "$work"
mkdir -p "$work/members"
cd "$work"

# A throwaway signer: self-signed, for code signing only, valid for two days.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Throwaway Updater Test Signer" -addext "basicConstraints=critical,CA:FALSE" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.p12 -passout pass:test-only 2>/dev/null
printf 'test-only' >p12.pass

# Members: an archive of an odd size (so signing pads the file before the certificate table)
# and a replaced program; mkupdate adds the hash list.
head -c 1406473 /dev/urandom >members/data01000.arc
printf 'MZ new game\0' >members/Valnea.exe
"$mkupdate" build --stub "$setup" -o updater.exe members/data01000.arc members/Valnea.exe >/dev/null

check "signing with a certificate and key file" "$sign" --cert cert.pem --key key.pem --ca-file cert.pem \
  --mkupdate "$mkupdate" updater.exe signed.exe
check "signing with a PKCS#12 file and a password file" "$sign" --pkcs12 signer.p12 --pass-file p12.pass \
  updater.exe signed-p12.exe
check "re-signing a signed file" "$sign" --pkcs12 signer.p12 --pass-file p12.pass signed-p12.exe signed-p12.exe
for f in signed.exe signed-p12.exe; do
  check "osslsigncode verify accepts $f against the throwaway certificate" \
    eval "osslsigncode verify -CAfile cert.pem -in $f >verify-$f.log 2>&1"
done
check "without trusting the throwaway certificate the signature is not accepted" \
  eval "! osslsigncode verify -in signed.exe >verify-untrusted.log 2>&1"

size=$(stat -c %s updater.exe)
check "the signed file starts with the stub and the whole package of the unsigned one" \
  cmp -s <(tail -c +393217 updater.exe) <(tail -c +393217 signed.exe | head -c $((size - 393216)))
check "only the signature lies behind the package" test "$(stat -c %s signed.exe)" -gt "$size"

"$mkupdate" inspect signed.exe >inspect.txt 2>&1 && status=0 || status=$?
check "mkupdate inspect reports the signed package intact" \
  eval "[ $status = 0 ] && grep -q '^summary: 2 verified, 1 unverified, 0 failed' inspect.txt"
check "mkupdate inspect names the certificate table behind the package" \
  grep -q '^signature: an Authenticode certificate table of [0-9]* bytes behind the package' inspect.txt

(cat updater.exe; printf 'extra') >trailing.exe
"$mkupdate" inspect trailing.exe >inspect-trailing.txt 2>&1 && status=0 || status=$?
check "other bytes behind the package are a note, not a problem" \
  eval "[ $status = 0 ] && grep -q '^note: 5 bytes behind the package belong to no member' inspect-trailing.txt"

# One byte of the archive flipped after signing, as a download error would.
cp signed.exe flipped.exe
at=$((393216 + 16 + 3 * 32 + 700000))
printf "\\x$(printf %02x $(( $(od -An -tu1 -j $at -N1 flipped.exe) ^ 1 )))" |
  dd of=flipped.exe bs=1 seek=$at conv=notrunc status=none
check "one flipped byte in the package breaks the signature" \
  eval "! osslsigncode verify -CAfile cert.pem -in flipped.exe >verify-flipped.log 2>&1"
"$mkupdate" inspect flipped.exe >inspect-flipped.txt 2>&1 && status=0 || status=$?
check "mkupdate inspect reports the flipped member as damaged" \
  eval "[ $status = 1 ] && grep -q '^summary: 1 verified, 1 unverified, 1 failed' inspect-flipped.txt"

if [ -n "$helper" ]; then
  # The install folder outside the prefix, as drive Z: shows it to Windows.
  old_list=$'Valnea.exe\nVTLauncher.exe\nuninst.lst\n'
  lay_out() {
    rm -rf game && mkdir game
    printf 'MZ old game\0' >game/Valnea.exe
    printf 'the player'"'"'s progress' >game/save.dat
    printf '%s\0' "$old_list" >game/uninst.lst
  }
  run() {  # updater file, expected exit line, answers...
    local updater=$1 exit_line=$2; shift 2
    /usr/bin/python3 "$session" answer --workdir wine --helper "$helper" --box-answerer "$answerer" \
      --title '「ヴァルネア・テイル」 Updater ver 1.00' \
      --prepare "reg|REGVIEW|Software\\Quillmere|Software\\Quillmere\\ヴァルネア・テイル|InstalledFolder|sz|Z:$(pwd | tr / '\\')\\game" \
      "$updater" "$@" >"run-$updater.txt" 2>&1 || true
    grep -qx "exit: $exit_line" "run-$updater.txt"
  }
  lay_out
  cp -r game game.before
  check "the signed setup.exe runs under Wine, answered Yes, and ends with 0" run signed.exe 0x00000000 yes ok
  hash_list_size=$((16 + 2 * 64))
  tail -c +$((393216 + 16 + 3 * 32 + 1 + 1406473 + 12)) updater.exe | head -c $hash_list_size >expected-CVN.hvl
  check "the archive is in place byte for byte" cmp -s members/data01000.arc game/data01000.arc
  check "the program is in place byte for byte" cmp -s members/Valnea.exe game/Valnea.exe
  check "the hash list is in place byte for byte" cmp -s expected-CVN.hvl game/CVN.hvl
  check "uninst.lst holds the old lines and the new names once" \
    cmp -s game/uninst.lst <(printf '%sdata01000.arc\nCVN.hvl\n\0' "$old_list")
  check "the player's file is untouched" cmp -s game.before/save.dat game/save.dat
  check "nothing else is in the install folder" test "$(LC_ALL=C ls game | tr '\n' ' ')" = "CVN.hvl Valnea.exe data01000.arc save.dat uninst.lst "

  rm -rf game && cp -r game.before game
  check "the flipped signed setup.exe ends with 0x80000003" run flipped.exe 0x80000003 yes ok
  check "and leaves the install folder as it was" diff -r game.before game
fi

rm -rf wine
if [ "$failures" -ne 0 ]; then
  echo "sign_test: $failures checks failed; the files are in $work"
  exit 1
fi
echo "sign_test: every check passed"

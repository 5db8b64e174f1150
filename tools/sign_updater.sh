#!/usr/bin/env bash
# sign_updater.sh: the release step that signs a finished updater file (stub and package) with
# Authenticode, through osslsigncode.
#
# Signing appends the certificate table at the end of the file, behind the package, and
# changes only the checksum and the security directory in the stub's PE header. The updater
# reads its package from 0x60000 by its directory and never looks behind the last member, so
# a signed file applies exactly as the unsigned one did. A byte changed anywhere in the file
# after signing breaks the signature.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: sign_updater.sh (--pkcs12 FILE | --cert CERT --key KEY) [options] IN OUT

Signs the updater file IN (written by "mkupdate build") with Authenticode, SHA-256, and
writes the signed file to OUT. OUT is written under a temporary name beside it and renamed
at the end, so a failed run leaves OUT as it was; IN is never changed (OUT may name IN).

  --pkcs12 FILE        the certificate and its private key in one PKCS#12 file
  --cert CERT          the signing certificate (PEM or DER, with its chain)
  --key KEY            its private key
  --pass-file FILE     read the private key's password from FILE (never on the command line)
  --description TEXT   the description shown when Windows asks for administrator rights
                       (default "Updater for Valnea Tale")
  --url URL            a web address for more about the program
  --timestamp URL      have the signature time-stamped by this RFC 3161 server
  --ca-file FILE       afterwards verify the signature against these trusted certificates
  --mkupdate PROGRAM   afterwards check with "PROGRAM inspect" that the package is intact
                       (default: mkupdate beside this script or on PATH, if there is one)
  -h, --help           this text

Exit codes: 0 signed, 1 failure, 2 wrong usage.
EOF
}

fail() { echo "sign_updater: $*" >&2; exit 1; }
usage_error() { echo "sign_updater: $*" >&2; echo '("sign_updater.sh --help" shows the usage)' >&2; exit 2; }

pkcs12= cert= key= pass_file= description="Updater for Valnea Tale" url= timestamp= ca_file= mkupdate=
files=()
while [ $# -gt 0 ]; do
  case $1 in
    -h|--help) usage; exit 0 ;;
    --pkcs12|--cert|--key|--pass-file|--description|--url|--timestamp|--ca-file|--mkupdate)
      [ $# -ge 2 ] && [ -n "$2" ] || usage_error "$1 needs a value"
      case $1 in
        --pkcs12) pkcs12=$2 ;; --cert) cert=$2 ;; --key) key=$2 ;; --pass-file) pass_file=$2 ;;
        --description) description=$2 ;; --url) url=$2 ;; --timestamp) timestamp=$2 ;;
        --ca-file) ca_file=$2 ;; --mkupdate) mkupdate=$2 ;;
      esac
      shift 2 ;;
    --) shift; files+=("$@"); break ;;
    -*) usage_error "unknown option \"$1\"" ;;
    *) files+=("$1"); shift ;;
  esac
done
[ ${#files[@]} -eq 2 ] || usage_error "give the updater file IN and the signed file OUT"
in=${files[0]} out=${files[1]}
if [ -n "$pkcs12" ]; then
  [ -z "$cert$key" ] || usage_error "--pkcs12 holds the certificate and the key; give it alone"
  credentials=(-pkcs12 "$pkcs12")
else
  [ -n "$cert" ] && [ -n "$key" ] || usage_error "give --pkcs12 FILE, or --cert CERT and --key KEY"
  credentials=(-certs "$cert" -key "$key")
fi
[ -z "$pass_file" ] || credentials+=(-readpass "$pass_file")
for f in "$in" "$pkcs12" "$cert" "$key" "$pass_file" "$ca_file"; do
  [ -z "$f" ] || [ -f "$f" ] || fail "$f: no such file"
done
command -v osslsigncode >/dev/null || fail "osslsigncode is not installed (cmake/install-deps.sh installs it)"
if [ -z "$mkupdate" ]; then
  here=$(dirname "$0")
  if [ -x "$here/mkupdate" ]; then mkupdate=$here/mkupdate
  elif command -v mkupdate >/dev/null; then mkupdate=$(command -v mkupdate)
  fi
fi

# An updater file: a Windows program with the package at 0x60000. Anything else was not meant.
package_offset=393216
[ "$(head -c 2 "$in")" = MZ ] || fail "$in: not a Windows program"
[ "$(stat -c %s "$in")" -gt "$package_offset" ] && [ "$(dd if="$in" bs=1 skip=$package_offset count=8 status=none)" = PackFile ] ||
  fail "$in: no update package at offset 0x60000; sign the file that \"mkupdate build\" wrote"

options=(-h sha256 -n "$description")
[ -z "$url" ] || options+=(-i "$url")
[ -z "$timestamp" ] || options+=(-ts "$timestamp")

temp=$(mktemp "$(dirname "$out")/.sign_updater.XXXXXX")
trap 'rm -f "$temp"' EXIT
rm -f "$temp"  # osslsigncode writes the file itself
log=$(osslsigncode sign "${credentials[@]}" "${options[@]}" -in "$in" -out "$temp" 2>&1) ||
  fail "osslsigncode could not sign $in:"$'\n'"$log"

# The signed file must hold the same package, byte for byte, at the same place: the header,
# the directory and every member's bytes, up to the end of the member that ends last (an
# earlier signature of IN lies behind it and is replaced).
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
entries=$(u32 "$in" $((package_offset + 12)))
[ "$entries" -le 24 ] || fail "$in: the package header gives $entries entries; the updater refuses more than 24"
data_base=$((package_offset + 16 + 32 * entries)) package_end=$data_base
for ((i = 0; i < entries; i++)); do
  entry=$((package_offset + 16 + 32 * i))
  end=$((data_base + $(u32 "$in" $((entry + 16))) + $(u32 "$in" $((entry + 20)))))
  [ "$end" -le "$package_end" ] || package_end=$end
done
[ "$package_end" -le "$(stat -c %s "$in")" ] || fail "$in: its package runs past the end of the file; rebuild it"
package_size=$((package_end - package_offset))
cmp -s <(tail -c +$((package_offset + 1)) "$in" | head -c "$package_size") \
       <(tail -c +$((package_offset + 1)) "$temp" | head -c "$package_size") ||
  fail "the signed file's package differs from that of $in"
if [ -n "$ca_file" ]; then
  log=$(osslsigncode verify -CAfile "$ca_file" -in "$temp" 2>&1) ||
    fail "the signature does not verify against $ca_file:"$'\n'"$log"
fi
if [ -n "$mkupdate" ]; then
  log=$("$mkupdate" inspect "$temp" 2>&1) || fail "mkupdate inspect finds the signed file damaged:"$'\n'"$log"
fi

mv -f "$temp" "$out"
trap - EXIT
echo "signed $out: $(stat -c %s "$out") bytes, package of $package_size bytes at 0x60000 unchanged"

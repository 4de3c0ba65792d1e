#!/usr/bin/env bash
# Authenticode signing of a Windows program with a throwaway certificate:
# scripts/sign-windows signs in place, osslsigncode verifies the signature
# against that certificate, a changed byte breaks it, and a key that does
# not belong to the certificate signs nothing and leaves the program as it
# was.
#   signing_test.sh SIGN_SCRIPT PROGRAM.exe
set -euo pipefail
SIGN="$1"
PROGRAM="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

make_cert() { # name
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tarvex test signer $1" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
    -keyout "$1.key" -out "$1.pem" 2>/dev/null
}
make_cert a
make_cert b

cp "$PROGRAM" program.exe
if osslsigncode verify -CAfile a.pem -in program.exe >/dev/null 2>&1; then
  echo "FAIL: the unsigned program verifies"; exit 1
fi

"$SIGN" a.key a.pem program.exe
osslsigncode verify -CAfile a.pem -in program.exe > verify.txt 2>&1 ||
  { cat verify.txt; echo "FAIL: the signed program does not verify"; exit 1; }
grep -q "Tarvex test signer a" verify.txt || { cat verify.txt; echo "FAIL: signer not named"; exit 1; }
echo "signed and verified: $(grep -m1 'Signature verification' verify.txt)"

# One byte of the code changed after signing: the digest no longer matches.
cp program.exe tampered.exe
size=$(stat -c %s tampered.exe)
printf '\x90' | dd of=tampered.exe bs=1 seek=$((size / 2)) conv=notrunc status=none
if osslsigncode verify -CAfile a.pem -in tampered.exe >/dev/null 2>&1; then
  echo "FAIL: a changed program still verifies"; exit 1
fi

# A key that is not the certificate's: signing fails, the program is untouched.
cp "$PROGRAM" other.exe
before=$(md5sum < other.exe)
if "$SIGN" b.key a.pem other.exe >/dev/null 2>&1; then
  echo "FAIL: signing with the wrong key succeeded"; exit 1
fi
[ "$(md5sum < other.exe)" = "$before" ] || { echo "FAIL: a failed signing changed the program"; exit 1; }
ls other.exe.signing.* >/dev/null 2>&1 && { echo "FAIL: a failed signing left a file behind"; exit 1; }
echo "PASS"

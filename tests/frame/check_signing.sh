#!/usr/bin/env bash
# Signs a copy of the built .4DX through scripts/sign.sh with a throwaway
# self-signed certificate, then checks that osslsigncode finds the signature
# sound apart from its untrusted chain, that an unsigned and a tampered copy
# fail, and that the signed copy still loads and computes under lqm-host.
# Arguments: PLUGIN WINE LQM_HOST_EXE WORK_DIR
set -uo pipefail
plugin=$1 wine=$2 host=$3 work=$4
scripts=$(dirname "$0")/../../scripts
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work" && mkdir -p "$work/signed" && "$scripts/self-signed-cert.sh" "$work/cert" || fail "certificate"
signed=$work/signed/$(basename "$plugin")
cp "$plugin" "$signed"
SIGN_PFX=$work/cert/sign.pfx SIGN_PASSWORD_FILE=$work/cert/password "$scripts/sign.sh" "$signed" || fail "sign.sh"

# Nothing trusts the certificate: osslsigncode exits 1 and prints "Failed",
# but the file's digest matches the signed one and the chain is the only error.
out=$(osslsigncode verify -in "$signed" 2>&1); status=$?
digest() { sed -n "s/^$1 message digest *: *\([0-9A-F]*\).*/\1/p" <<<"$out"; }
[ $status -eq 1 ] && [ -n "$(digest Current)" ] && [ "$(digest Current)" = "$(digest Calculated)" ] \
  && grep -q "self-signed certificate" <<<"$out" && ! grep -q MISMATCH <<<"$out" \
  || fail "signed copy, untrusted chain (exit $status):"$'\n'"$out"
# Trusting that certificate, the same signature verifies.
osslsigncode verify -CAfile "$work/cert/cert.pem" -in "$signed" >/dev/null 2>&1 || fail "signed copy, trusted chain"

# sign.sh without SIGN_PFX leaves the file unsigned (and strips an earlier `make dist`'s signature).
unsigned=$work/unsigned.4DX
cp "$plugin" "$unsigned"
SIGN_PFX= "$scripts/sign.sh" "$unsigned" | grep -q "unsigned" || fail "sign.sh without SIGN_PFX"
out=$(osslsigncode verify -CAfile "$work/cert/cert.pem" -in "$unsigned" 2>&1) && fail "unsigned copy verified"
grep -q "No signature found" <<<"$out" || fail "unsigned copy:"$'\n'"$out"
# One flipped byte in the code (past the headers) breaks the digest.
tampered=$work/tampered.4DX
cp "$signed" "$tampered"
byte=$(od -An -tu1 -j 8192 -N 1 "$tampered")
printf "\\x$(printf %02x $((byte ^ 0xFF)))" | dd of="$tampered" bs=1 seek=8192 conv=notrunc status=none
out=$(osslsigncode verify -CAfile "$work/cert/cert.pem" -in "$tampered" 2>&1) && fail "tampered copy verified"
grep -q MISMATCH <<<"$out" || fail "tampered copy:"$'\n'"$out"

answer=$("$wine" "$host" call LQM_ComputeCRC text:123456789 2 1 --plugin "$signed" 2>&1)
[ "$answer" = "LQM_ComputeCRC -> longint -873187034 (0xCBF43926)" ] || fail "signed copy under lqm-host: $answer"
echo "signed copy verifies (chain untrusted), unsigned and tampered copies fail, signed copy loads"

#!/usr/bin/env bash
# scripts/sign.sh on copies of the .4DX with a throwaway certificate: the signed copy verifies (its chain
# untrusted until the certificate is), unsigned and tampered copies do not, and the signed copy still runs.
plugin=$1 wine=$2 host=$3 w=$4 s=$(dirname "$0")/../../scripts
fail() { echo "FAIL: $*"; exit 1; }
signed=$w/signed/$(basename "$plugin") unsigned=$w/unsigned.4DX tampered=$w/tampered.4DX cert=$w/cert/cert.pem
rm -rf "$w" && mkdir -p "$w/signed" && cp "$plugin" "$signed" && "$s/self-signed-cert.sh" "$w/cert" || fail setup
SIGN_PFX=$w/cert/sign.pfx SIGN_PASSWORD_FILE=$w/cert/password "$s/sign.sh" "$signed" || fail "sign.sh"
cp "$signed" "$unsigned" && cp "$signed" "$tampered" && SIGN_PFX= "$s/sign.sh" "$unsigned" | grep -q unsigned || fail unsign
printf 'tampered' | dd of="$tampered" bs=1 seek=8192 conv=notrunc status=none  # over some of the code
for check in "$signed=untrusted" "$signed $cert=valid" "$unsigned $cert=unsigned" "$tampered $cert=modified"; do
  verdict=$("$s/verify-signature.sh" ${check%=*}) && [ "$verdict" = "${check##*=}" ] || fail "$check: $verdict"
done
answer=$("$wine" "$host" call LQM_ComputeCRC text:123456789 2 1 --plugin "$signed" 2>&1)
[ "$answer" = "LQM_ComputeCRC -> longint -873187034 (0xCBF43926)" ] || fail "signed copy under lqm-host: $answer"

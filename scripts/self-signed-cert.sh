#!/usr/bin/env bash
# Makes a throwaway self-signed code-signing certificate in DIR, for trying
# `make dist SIGN_PFX=... SIGN_PASSWORD_FILE=...` and for the signing test:
#   DIR/key.pem, DIR/cert.pem   the key and the certificate (PEM)
#   DIR/sign.pfx                both as PKCS#12, protected by
#   DIR/password                its password, one line
# Windows trusts nothing signed with it; see docs/signing.md for real ones.
set -euo pipefail
dir=${1:?usage: self-signed-cert.sh DIR}
mkdir -p "$dir"
# A random password, so the test exercises the password file for real.
openssl rand -hex 16 > "$dir/password"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=VarnelFolioforge test signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$dir/key.pem" -out "$dir/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/cert.pem" -out "$dir/sign.pfx" \
  -passout "file:$dir/password"

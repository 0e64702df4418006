#!/usr/bin/env bash
# Signs the Windows plugin in place with an Authenticode signature (SHA-256),
# for `make dist` before it packs the bundle:
#   scripts/sign.sh FILE.4DX            with SIGN_PFX, SIGN_PASSWORD_FILE and
#                                       optionally SIGN_TIMESTAMP_URL set
# SIGN_PFX is a PKCS#12 file with the certificate and its key, its password is
# the first line of SIGN_PASSWORD_FILE (a file, so that it never shows up in a
# process list or the shell history). With SIGN_TIMESTAMP_URL an RFC 3161
# server countersigns the signing time, so the signature stays valid after
# the certificate expires. Without SIGN_PFX the file is left unsigned, and
# one line says so. See docs/signing.md.
set -euo pipefail
file=${1:?usage: sign.sh FILE}
name=$(basename "$file")
tmp="$file.signing"
trap 'rm -f "$tmp"' EXIT

if [ -z "${SIGN_PFX:-}" ]; then
  # A file signed by an earlier `make dist` stays in the build folder until it
  # is linked again; strip that signature, so "unsigned" is true.
  if command -v osslsigncode >/dev/null && osslsigncode remove-signature -in "$file" -out "$tmp" >/dev/null 2>&1; then
    mv "$tmp" "$file"
  fi
  echo "sign: SIGN_PFX not set, $name is packed unsigned (see docs/signing.md)"
  exit 0
fi
: "${SIGN_PASSWORD_FILE:?sign: SIGN_PFX needs SIGN_PASSWORD_FILE (the file holding the PKCS#12 password)}"
command -v osslsigncode >/dev/null || { echo "sign: osslsigncode is missing (scripts/install-deps.sh)" >&2; exit 1; }

args=(sign -pkcs12 "$SIGN_PFX" -readpass "$SIGN_PASSWORD_FILE" -h sha256 -n VarnelFolioforge)
if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then
  args+=(-ts "$SIGN_TIMESTAMP_URL")
fi
# osslsigncode writes a new file and replaces a signature already there.
rm -f "$tmp"
osslsigncode "${args[@]}" -in "$file" -out "$tmp" >/dev/null
mv "$tmp" "$file"
echo "sign: $name signed with $SIGN_PFX${SIGN_TIMESTAMP_URL:+, timestamped by $SIGN_TIMESTAMP_URL}"

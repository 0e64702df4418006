#!/usr/bin/env bash
# Says in one word what osslsigncode finds in a signed Windows file, for
# checking a release and for the test plugin_signing:
#   scripts/verify-signature.sh FILE [TRUSTED_CERT.pem]
# prints one of
#   valid       the signature matches the file and its chain reaches a
#               trusted root (TRUSTED_CERT, or the system's roots)
#   untrusted   the signature matches the file, but its chain reaches no
#               trusted root (a self-signed certificate, for one)
#   modified    the file changed after it was signed
#   unsigned    no signature
#   invalid     anything else (osslsigncode's report follows on stderr)
# osslsigncode 2.5 (Debian 12) and 2.9 (its backports) both exit 1 with
# "Failed" on an untrusted chain, so the exit code alone cannot tell that
# apart from a broken signature; their reports can: the file's digest still
# equals the signed one, and the chain's error is the only one.
set -uo pipefail
file=${1:?usage: verify-signature.sh FILE [TRUSTED_CERT]}
out=$(osslsigncode verify ${2:+-CAfile "$2"} -in "$file" 2>&1)
status=$?
digest() { sed -n "s/^$1 message digest *: *\([0-9A-F]*\).*/\1/p" <<<"$out"; }
if grep -q "No signature found" <<<"$out"; then
  echo unsigned
elif grep -q "message digest.*MISMATCH" <<<"$out"; then
  echo modified
elif [ -z "$(digest Current)" ] || [ "$(digest Current)" != "$(digest Calculated)" ]; then
  echo invalid; echo "$out" >&2
elif [ $status -eq 0 ]; then
  echo valid
elif [ $status -eq 1 ] && grep -qE "Verify error: (self-signed certificate|unable to get local issuer certificate)" <<<"$out"; then
  echo untrusted
else
  echo invalid; echo "$out" >&2
fi

#!/usr/bin/env bash
# Signs Windows programs in place with Authenticode (SHA-256), from a PKCS#12 file:
#   VELMOR_SIGN_PKCS12=/path/cert.p12 VELMOR_SIGN_PASSWORD=... bash scripts/sign.sh PROGRAM...
# VELMOR_SIGN_TIMESTAMP_URL, when set, names an RFC 3161 time-stamp server (none by default).
# The password reaches osslsigncode through a private temporary file, not its command line.
set -euo pipefail

: "${VELMOR_SIGN_PKCS12:?VELMOR_SIGN_PKCS12 must name a PKCS#12 file}"
: "${VELMOR_SIGN_PASSWORD?VELMOR_SIGN_PASSWORD must hold the PKCS#12 password}"
[[ -r $VELMOR_SIGN_PKCS12 ]] || { echo "sign: cannot read $VELMOR_SIGN_PKCS12" >&2; exit 1; }
(($# > 0)) || { echo "usage: sign.sh PROGRAM..." >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(umask 077 && printf '%s' "$VELMOR_SIGN_PASSWORD" >"$work/pass")

timestamp=()
if [[ -n ${VELMOR_SIGN_TIMESTAMP_URL:-} ]]; then
  timestamp=(-ts "$VELMOR_SIGN_TIMESTAMP_URL")
fi

for program in "$@"; do
  name=$(basename "$program" .exe)
  osslsigncode sign -pkcs12 "$VELMOR_SIGN_PKCS12" -readpass "$work/pass" -h sha256 -n "$name" \
    "${timestamp[@]}" -in "$program" -out "$work/signed.exe" >/dev/null
  mv -f "$work/signed.exe" "$program"
  echo "sign: signed $program"
done

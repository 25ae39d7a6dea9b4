#!/usr/bin/env bash
# Authenticode signing, SHA-256, with osslsigncode, from material in the environment only:
#   TARNWICK_SIGN_PKCS12          a PKCS#12 file with the code-signing key and certificate
#   TARNWICK_SIGN_PASSWORD        its password
#   TARNWICK_SIGN_TIMESTAMP_URL   an RFC 3161 time-stamp server (optional)
#
#   sign.sh check     says in one line whether the release will be signed; fails, before anything
#                     is built, when the file is missing or the password does not open it
#   sign.sh FILE...   signs each PE or MSI file in place; does nothing when not signing
set -euo pipefail

if [[ -z ${TARNWICK_SIGN_PKCS12:-} ]]; then
  [[ ${1:-} == check ]] && echo "Not signing: TARNWICK_SIGN_PKCS12 is not set."
  exit 0
fi
pkcs12=$TARNWICK_SIGN_PKCS12

if [[ $1 == check ]]; then
  if [[ ! -r $pkcs12 ]]; then
    echo "sign.sh: TARNWICK_SIGN_PKCS12 names '$pkcs12', which is not a readable file" >&2
    exit 1
  fi
  # The password through the environment, never on a command line that ps would show.
  if ! openssl pkcs12 -in "$pkcs12" -passin env:TARNWICK_SIGN_PASSWORD -noout 2>/dev/null &&
     ! openssl pkcs12 -legacy -in "$pkcs12" -passin env:TARNWICK_SIGN_PASSWORD -noout 2>/dev/null; then
    echo "sign.sh: TARNWICK_SIGN_PASSWORD does not open '$pkcs12' (wrong password or not PKCS#12)" >&2
    exit 1
  fi
  echo "Signing with $(basename "$pkcs12")${TARNWICK_SIGN_TIMESTAMP_URL:+, time-stamped by $TARNWICK_SIGN_TIMESTAMP_URL}."
  exit 0
fi

for file in "$@"; do
  timestamp=()
  [[ -n ${TARNWICK_SIGN_TIMESTAMP_URL:-} ]] && timestamp=(-ts "$TARNWICK_SIGN_TIMESTAMP_URL")
  log=$(mktemp)
  if ! printf '%s' "${TARNWICK_SIGN_PASSWORD:-}" |
       osslsigncode sign -pkcs12 "$pkcs12" -readpass - -h sha256 -n Tarnwick "${timestamp[@]}" \
         -in "$file" -out "$file.signed" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log" "$file.signed"
    echo "sign.sh: could not sign $file" >&2
    exit 1
  fi
  rm -f "$log"
  mv -f "$file.signed" "$file"
done

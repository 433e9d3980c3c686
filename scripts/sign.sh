#!/usr/bin/env bash
# Signs what the packages ship, then the packages, and verifies every signature. For each
# build folder (the x86 one before the x64 one, whose package takes the staged x86 library):
# builds the stripped files (target installer_stage), signs each PE file in place, builds the
# packages (target installer) from the signed files, signs each package.
#
#   scripts/sign.sh BUILD_DIR...
#
# The certificate comes from the caller, never from the repository:
#   BRIMWELL_SIGN_CERT and BRIMWELL_SIGN_KEY    PEM certificate (chain) and private key, or
#   BRIMWELL_SIGN_PFX [BRIMWELL_SIGN_PASSWORD]   a PKCS#12 file;
#   BRIMWELL_SIGN_CAFILE                         what verification trusts (default: the
#                                                certificate itself, for a self-signed one);
#   BRIMWELL_SIGN_TIMESTAMP_URL                  a timestamping service (default: none).
set -euo pipefail
fail() { echo "sign: $*" >&2; exit 1; }
[ $# -gt 0 ] || fail "usage: scripts/sign.sh BUILD_DIR..."
command -v osslsigncode >/dev/null || fail "osslsigncode is missing (scripts/setup.sh installs it)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name="Veltrane Brimwell"
credentials=()
if [ -n "${BRIMWELL_SIGN_PFX:-}" ]; then
  [ -r "$BRIMWELL_SIGN_PFX" ] || fail "cannot read BRIMWELL_SIGN_PFX"
  # The password goes through a private file, never onto a command line.
  (umask 077; printf '%s' "${BRIMWELL_SIGN_PASSWORD:-}" >"$work/password")
  credentials=(-pkcs12 "$BRIMWELL_SIGN_PFX" -readpass "$work/password")
  openssl pkcs12 -in "$BRIMWELL_SIGN_PFX" -nokeys -passin "file:$work/password" \
    -out "$work/cert.pem" 2>/dev/null || fail "cannot read the certificate of BRIMWELL_SIGN_PFX"
  trusted=${BRIMWELL_SIGN_CAFILE:-$work/cert.pem}
elif [ -n "${BRIMWELL_SIGN_CERT:-}" ] && [ -n "${BRIMWELL_SIGN_KEY:-}" ]; then
  [ -r "$BRIMWELL_SIGN_CERT" ] && [ -r "$BRIMWELL_SIGN_KEY" ] || fail "cannot read the certificate or key"
  credentials=(-certs "$BRIMWELL_SIGN_CERT" -key "$BRIMWELL_SIGN_KEY")
  trusted=${BRIMWELL_SIGN_CAFILE:-$BRIMWELL_SIGN_CERT}
else
  fail "set BRIMWELL_SIGN_CERT and BRIMWELL_SIGN_KEY, or BRIMWELL_SIGN_PFX"
fi
timestamp=()
[ -z "${BRIMWELL_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$BRIMWELL_SIGN_TIMESTAMP_URL")

sign() {
  local file=$1
  rm -f "$file.signed"
  osslsigncode sign "${credentials[@]}" "${timestamp[@]}" -h sha256 -n "$name" \
    -in "$file" -out "$file.signed" >/dev/null || fail "signing $file failed"
  mv "$file.signed" "$file"
}
verify() {
  osslsigncode verify -CAfile "$trusted" -in "$1" >"$work/verify" 2>&1 ||
    { cat "$work/verify" >&2; fail "the signature of $1 does not verify"; }
  echo "verified: $1"
}

for build in "$@"; do
  [ -f "$build/CMakeCache.txt" ] || fail "$build is not a configured build folder"
  cmake --build "$build" --target installer_stage >/dev/null || fail "staging in $build failed"
  for file in "$build"/installer/stage/*.dll "$build"/installer/stage/*.exe; do
    # The x86 library in the x64 stage was signed with the x86 build.
    osslsigncode verify -CAfile "$trusted" -in "$file" >/dev/null 2>&1 || sign "$file"
    verify "$file"
  done
  cmake --build "$build" --target installer >/dev/null || fail "building the packages in $build failed"
  for file in "$build"/installer/*.msi "$build"/installer/upgrade-test/*.msi; do
    sign "$file"
    verify "$file"
  done
done

#!/usr/bin/env bash
# The whole test run: setup, the native build and its tests, both Windows builds (x64 and x86),
# each Windows suite under Wine, the demo with both bitnesses, both installation packages
# (signed with a certificate made for the run, then installed, upgraded and removed under
# Wine), the fuzz run. Runs every stage even when one fails, prints how long each took, then
# exits non-zero if any did.
set -uo pipefail
cd "$(dirname "$0")/.."

failed=()
timings=()
stage() {
  local name=$1 started=$SECONDS; shift
  printf '\n=== %s ===\n' "$name"
  "$@" || failed+=("$name")
  timings+=("$(printf '%5ds  %s' $((SECONDS - started)) "$name")")
}

build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1"; }
run_tests() { ctest --preset "$1" -j 2; }
build_and_test() { build "$1" && run_tests "$1"; }
# A throwaway self-signed certificate: the packages are signed and verified on every run.
signed_packages() {
  local certs status
  certs=$(mktemp -d)
  openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Brimwell CI signing" \
    -keyout "$certs/key.pem" -out "$certs/cert.pem" 2>/dev/null &&
    BRIMWELL_SIGN_CERT=$certs/cert.pem BRIMWELL_SIGN_KEY=$certs/key.pem \
      scripts/sign.sh build/windows-x86 build/windows &&
    tests/installer/installer_test.sh "$PWD" "$PWD/build/windows" "$PWD/build/windows-x86" both
  status=$?
  rm -rf "$certs"
  return $status
}

scripts/setup.sh || { echo "setup failed" >&2; exit 1; }
stage "native build and tests" build_and_test native
# Both Windows builds first: the x64 suite registers the x86 library beside its own.
stage "windows build (x64)" build windows
stage "windows build (x86)" build windows-x86
stage "windows tests (x64, under Wine)" run_tests windows
stage "windows tests (x86, under Wine's WoW64)" run_tests windows-x86
stage "demo with both bitnesses" tests/e2e/demo_test.sh "$PWD" 31873 both
stage "installation packages (signed, under Wine)" signed_packages
if [ -x scripts/fuzz.sh ]; then
  stage "fuzzing" scripts/fuzz.sh
fi

echo
printf '%s\n' "${timings[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "All stages passed."

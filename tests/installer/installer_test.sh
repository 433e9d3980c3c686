#!/usr/bin/env bash
# The packages under Wine, one prefix per package kind: the x64 package in a 64-bit (WoW64)
# prefix, the x86 package in a 32-bit-only prefix, as on 32-bit Windows. For each: the
# registration's keys written by the add-on's own registration (regsvr32) of the same files,
# as the reference; a silent install; the exact listing of both views against the reference
# and the installed files; browsing the example pages with the simulated browser of each
# bitness as a user without per-user state, through the installed runner and stand-in; the
# menu script through each script host; an upgrade to the next version; the removal. The two
# package kinds run side by side, each with its own prefix and selector port.
#
#   installer_test.sh REPO X64_BUILD X86_BUILD [x64|x86|both]
set -uo pipefail
repo=$1 build_x64=$2 build_x86=$3 kinds=${4:-both}
[ "$kinds" = both ] && kinds="x64 x86"

fail() { echo "installer_test ($kind): $*" >&2; exit 1; }
step() { printf -- '--- %s (%s)\n' "$*" "$kind"; }
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT

version=$(sed -n 's/^project(brimwell VERSION \([0-9.]*\) .*/\1/p' "$repo/CMakeLists.txt")
[ -n "$version" ] || { echo "installer_test: no project version" >&2; exit 1; }
IFS=. read -r major minor patch tweak <<<"$version"
next_version=$major.$minor.$patch.$((tweak + 1))

run() { BRIMWELL_WINEARCH=$winearch "$repo/scripts/wine-run.sh" "$prefix" "$@"; }
# Windows programs write CR LF.
listing() { run "$build/tests/installer/registration-listing.exe" "$@" | tr -d '\r'; }
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
program_files() { find "$prefix/drive_c" -maxdepth 1 -name 'Program Files*'; }
installed_files() {
  (cd "$prefix/drive_c" && find 'Program Files' 'Program Files (x86)' -path '*Veltrane*' 2>/dev/null | sort)
}
# Lines of the listing that only the package writes, and the rest.
package_only='HKLM\\Software\\Krestel|CurrentVersion\\Run \|'
registration_part() { grep -Ev "$package_only" || true; }
# The type library's HELPDIR is the library's folder: the registration writes it without the
# final "\", the package cannot strip it from the folder property.
helpdir() { sed 's/\(\\HELPDIR | @ = s:.*\)\\$/\1/'; }

msi() {  # msiexec with its exit code checked: 0, or 3010 (a restart is wanted)
  local status
  run --"$own" msiexec "$@" /qn
  status=$?
  [ $status -eq 0 ] || [ $status -eq 3010 ] || fail "msiexec $* failed with exit code $status"
}

# The add-on's own registration of the files at the paths the package installs them to.
reference_listing() {
  local a dll folder
  for a in $bitnesses; do
    dll=$(staged "$a")
    folder=$(folder_of "$a")
    mkdir -p "$prefix/drive_c/$folder"
    cp "$dll" "$prefix/drive_c/$folder/brimwell-addon.dll"
  done
  for a in $bitnesses; do  # x86 first: the shared keys name the last registered, the x64 one
    run --"$a" regsvr32 /s "C:\\$(folder_of "$a" | tr / '\\')\\brimwell-addon.dll" ||
      fail "regsvr32 ($a) failed"
  done
  listing | grep -v '^.. HKCU\\' | helpdir >"$work/reference"
  for a in $unregister_order; do
    run --"$a" regsvr32 /s /u "C:\\$(folder_of "$a" | tr / '\\')\\brimwell-addon.dll" ||
      fail "regsvr32 /u ($a) failed"
  done
  [ -z "$(listing)" ] || fail "unregistering left keys behind"
  rm -rf "$prefix/drive_c/Program Files/Veltrane" "$prefix/drive_c/Program Files (x86)/Veltrane"
  grep -q 'InprocServer32 | @' "$work/reference" || fail "the reference registration wrote no class"
}

folder_of() {
  if [ "$1" = x86 ] && [ "$kind" = x64 ]; then echo "Program Files (x86)/Veltrane/Brimwell"
  else echo "Program Files/Veltrane/Brimwell"; fi
}
staged() { echo "$build/installer/stage/brimwell-addon-$1.dll"; }

expected_files() {
  local main='Program Files/Veltrane'
  {
    echo "$main"; echo "$main/Brimwell"; echo "$main/Brimwell/brimwell-addon.dll"
    echo "$main/Brimwell/switchhost.exe"; echo "$main/Brimwell/selector-standin"
    echo "$main/Brimwell/selector-standin/cards.xml"
    echo "$main/Brimwell/selector-standin/krestel-ss.dll"
    echo "$main/Brimwell/selector-standin/selector-standin-stop.exe"
    if [ "$kind" = x64 ]; then
      echo 'Program Files (x86)/Veltrane'; echo 'Program Files (x86)/Veltrane/Brimwell'
      echo 'Program Files (x86)/Veltrane/Brimwell/brimwell-addon.dll'
    fi
  } | sort
}

check_installed() {
  listing --package >"$work/installed"
  registration_part <"$work/installed" | helpdir >"$work/installed.registration"
  diff -u "$work/reference" "$work/installed.registration" ||
    fail "the package's registry rows differ from the registration's"
  local bin='C:\Program Files\Veltrane\Brimwell'
  printf '%s\n' \
    "64 HKLM\\Software\\Krestel" \
    "64 HKLM\\Software\\Krestel | VELTRANE_BIN = s:$bin\\selector-standin\\" \
    "64 HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run | Veltrane switchhost = s:\"$bin\\switchhost.exe\"" \
    >"$work/expected.package"
  if [ "$kind" = x86 ]; then  # one view only: both listings show it
    sed 's/^64 /32 /' "$work/expected.package" >>"$work/expected.package"
  fi
  grep -E "$package_only" "$work/installed" | sort >"$work/installed.package"
  diff -u <(sort "$work/expected.package") "$work/installed.package" ||
    fail "the runner's keys are not as expected"
  diff -u <(expected_files) <(installed_files) || fail "the installed files are not as expected"
}

# Something listens on the port given in hexadecimal (Wine's sockets are the machine's own).
listening() {
  awk -v p=":$1" '$2 ~ p"$" && $4 == "0A"' /proc/net/tcp /proc/net/tcp6 2>/dev/null | grep -q .
}

# A user who never used the add-on: the package writes nothing below HKEY_CURRENT_USER.
browse_as_new_user() {
  grep -q '^.. HKCU\\' "$work/installed" && fail "the package wrote per-user keys"
  local main="$prefix/drive_c/Program Files/Veltrane/Brimwell" a status
  # Settings are set once, in the 64-bit view; the default port comes back afterwards, as the
  # package wrote it.
  if [ "$port" != 31002 ]; then
    run --"$own" reg add 'HKLM\Software\Veltrane\Brimwell' /v 'Selector Selector Port' \
      /t REG_DWORD /d "$port" /f >/dev/null || fail "could not set the port"
  fi
  local hex
  hex=$(printf '%04X' "$port")
  ! listening "$hex" || fail "port $port is taken before the installed runner starts"
  BRIMWELL_STANDIN_CARDS=$(winpath "$repo/examples/cards.xml") run "$main/switchhost.exe" &
  local runner_pid=$!
  for _ in $(seq 1 100); do
    listening "$hex" && break
    sleep 0.2
  done
  listening "$hex" || fail "the installed stand-in is not listening on port $port"
  for a in $bitnesses; do
    run "$(build_of "$a")/tools/demo/brimwell-demo.exe" --pages "$(winpath "$repo/examples/pages.txt")" |
      tr -d '\r' >"$work/pages.$a"
    status=${PIPESTATUS[0]}
    [ "$status" -eq 0 ] || fail "the $a simulated browser failed ($status)"
    # The expected listing ends with the blank line that the demo prints before its next step.
    diff -u <(sed '${/^$/d}' "$repo/tests/e2e/expected_pages.txt") "$work/pages.$a" ||
      fail "the $a browser's documents did not receive what was expected"
  done
  run "$main/selector-standin/selector-standin-stop.exe" || fail "the installed stand-in did not stop"
  wait $runner_pid || fail "the installed switchhost ended with exit code $?"
  run --"$own" reg add 'HKLM\Software\Veltrane\Brimwell' /v 'Selector Selector Port' \
    /t REG_DWORD /d 31002 /f >/dev/null || fail "could not restore the port"
  # First use created the per-user state: a cache with a time, no refresh pending.
  listing >"$work/used"
  grep -q '^64 HKCU\\Software\\Veltrane\\Brimwell | Force Refresh = d:0$' "$work/used" &&
    grep -q '^64 HKCU\\Software\\Veltrane\\Brimwell | Metadata Cache = s:.' "$work/used" ||
    fail "first use did not store the user's cache"
  # The per-machine entry is the Tools-menu one; the context-menu entry is per user.
  grep -q 'MenuExt' "$work/used" && fail "a context-menu entry appeared for the user"
}

build_of() { if [ "$1" = x64 ]; then echo "$build_x64"; else echo "$build_x86"; fi; }

menu_script_through_each_host() {
  local a
  printf 'var oBrimwell = new ActiveXObject("brimwelladdon.BrimwellBHO");\noBrimwell.RefreshMetadata();\nWScript.Quit(73);\n' \
    >"$prefix/drive_c/menu.js"
  for a in $bitnesses; do
    run --"$own" reg add 'HKCU\Software\Veltrane\Brimwell' /v 'Force Refresh' /t REG_DWORD /d 0 /f \
      >/dev/null || fail "could not clear Force Refresh"
    run --"$a" cscript //nologo 'C:\menu.js'
    [ $? -eq 73 ] || fail "the menu script failed under the $a script host"
    listing >"$work/refreshed"
    grep -q '^64 HKCU\\Software\\Veltrane\\Brimwell | Force Refresh = d:1$' "$work/refreshed" ||
      fail "the menu script under the $a script host did not request a refresh"
  done
}

upgrade() {
  local admin='HKLM\Software\Veltrane\Brimwell'
  run --"$own" reg add "$admin" /v 'Administrator Value' /t REG_SZ /d kept /f >/dev/null ||
    fail "could not add an administrator's value"
  listing --package >"$work/before"
  # A value the package authors comes back as authored, as registering again resets it;
  # one the administrator added stays.
  run --"$own" reg add "$admin" /v 'Selector Selector Port' /t REG_DWORD /d 31099 /f >/dev/null ||
    fail "could not change the port"
  msi /i "$(winpath "$build/installer/upgrade-test/brimwell-$next_version-$kind.msi")" \
    ADDLOCAL=Addon,Runner,Standin
  listing --package >"$work/after"
  diff -u "$work/before" "$work/after" ||
    fail "the upgrade changed the registration, the settings or the user's cache"
  grep -q 'Administrator Value = s:kept' "$work/after" || fail "the administrator's value was lost"
  local products
  products=$(run --"$own" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    tr -d '\r' | grep -c 'DisplayName.*Veltrane Brimwell' || true)
  [ "$products" = 1 ] || fail "$products installed products after the upgrade, not one"
  run --"$own" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    tr -d '\r' >"$work/products"
  grep -q "DisplayVersion.*$next_version" "$work/products" || fail "the upgrade did not install $next_version"
}

remove() {
  msi /x "$(winpath "$build/installer/upgrade-test/brimwell-$next_version-$kind.msi")"
  listing --package >"$work/removed"
  [ ! -s "$work/removed" ] || { cat "$work/removed"; fail "the removal left keys behind"; }
  [ -z "$(installed_files)" ] || { installed_files; fail "the removal left files behind"; }
}

# The selector library's folder given as a property: written, kept by an upgrade that does not
# give it again, removed with the package.
selector_folder_property() {
  local expected="$1 HKLM\\Software\\Krestel | VELTRANE_BIN = s:C:\\Krestel\\bin"
  msi /i "$(winpath "$package")" 'VELTRANE_BIN=C:\Krestel\bin'
  listing --package >"$work/selector"
  grep -qxF "$expected" "$work/selector" || fail "VELTRANE_BIN was not written as given"
  grep -q 'selector-standin' "$work/selector" && fail "the stand-in was installed without being asked for"
  msi /i "$(winpath "$build/installer/upgrade-test/brimwell-$next_version-$kind.msi")"
  listing --package >"$work/selector"
  grep -qxF "$expected" "$work/selector" || fail "the upgrade lost VELTRANE_BIN"
  remove
}

# One package kind, in a subshell of its own.
test_kind() {
  kind=$1 started=$SECONDS
  work=$top/$kind
  mkdir -p "$work"
  prefix=
  # Every Windows process of the prefix goes with it, whatever step failed.
  trap '[ -z "$prefix" ] || WINEPREFIX=$prefix wineserver -k 2>/dev/null' EXIT
  if [ "$kind" = x64 ]; then
    build=$build_x64 winearch=win64 own=x64 bitnesses="x86 x64" unregister_order="x64 x86"
    port=31002
  else
    build=$build_x86 winearch=win32 own=x86 bitnesses=x86 unregister_order=x86
    port=31012
  fi
  package=$build/installer/brimwell-$version-$kind.msi
  [ -f "$package" ] || fail "$package is missing (build the installer target)"
  prefix=$build/installer/wineprefix
  [ ! -d "$prefix" ] || WINEPREFIX=$prefix wineserver -k 2>/dev/null  # a run that was cut short
  rm -rf "$prefix" "$prefix.lock"
  step "creating the prefix"
  run --"$own" cmd /c exit 0 || fail "the Wine prefix could not be created"
  WINEPREFIX=$prefix wineserver -p60  # one server for the whole sequence
  step "registering with regsvr32 for the reference listing"
  reference_listing
  step "installing $(basename "$package")"
  msi /i "$(winpath "$package")" ADDLOCAL=Addon,Runner,Standin
  check_installed
  step "browsing as a user without per-user state"
  browse_as_new_user
  step "the menu script through each script host"
  menu_script_through_each_host
  step "upgrading to $next_version"
  upgrade
  step "removing"
  remove
  step "the selector library's folder as a property"
  selector_folder_property 64
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  rm -rf "$prefix" "$prefix.lock"
  echo "installer_test: the $kind package installs, upgrades and uninstalls cleanly ($((SECONDS - started))s)"
}

pids=()
for kind in $kinds; do
  ( test_kind "$kind" ) >"$top/$kind.log" 2>&1 &
  pids+=($!)
done
status=0 i=0
for kind in $kinds; do
  wait "${pids[$i]}" || status=1
  cat "$top/$kind.log"
  i=$((i + 1))
done
exit $status

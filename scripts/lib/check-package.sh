#!/usr/bin/env bash
# Builds the Debian package (scripts/package, which also runs lintian and the validators),
# installs it with apt-get, runs the installed program and removes it again. Expects the X server
# and the PulseAudio daemon of scripts/lib/services.sh. Ends with one line: "package: ok ..." or
# "package: FAILED ...".
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root" || exit 1

work="$(mktemp -d /tmp/vesk-package.XXXXXX)"
log="$work/package.log"
installed=""
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

finish() {
    if [ -n "$installed" ]; then
        $sudo apt-get -o DPkg::Lock::Timeout=300 remove -y -qq vesk-voice >>"$log" 2>&1 ||
            echo "package: could not remove vesk-voice again (see $log)" >&2
    fi
}
trap finish EXIT

fail() {
    echo "---- last lines of $log" >&2
    tail -n 40 "$log" >&2
    echo "package: FAILED: $*" >&2
    exit 1
}

if dpkg-query -W -f='${Status}' vesk-voice 2>/dev/null | grep -q 'install ok installed'; then
    echo "package: FAILED: vesk-voice is already installed here; the check installs and removes its own copy, so remove it first" >&2
    exit 1
fi

scripts/package >"$log" 2>&1 || fail "scripts/package (build, lintian or validators)"
deb="$(tail -n 1 "$log")"
[ -f "$deb" ] || fail "no package at '$deb'"

export DEBIAN_FRONTEND=noninteractive
installed=yes
$sudo apt-get -o DPkg::Lock::Timeout=300 install -y -qq "$deb" >>"$log" 2>&1 || fail "apt-get install $deb"
[ -x /usr/bin/vesk-voice ] || fail "/usr/bin/vesk-voice is not installed"

version="$(/usr/bin/vesk-voice --version 2>>"$log")" || fail "vesk-voice --version"
package_version="$(dpkg-query -W -f='${Version}' vesk-voice)"
[[ "$version" == "vesk-voice $package_version "* ]] ||
    fail "--version says '$version', the package is $package_version"

data="$work/data"
VESK_DATA_DIR="$data" /usr/bin/vesk-voice prompt >"$work/prompt" 2>>"$log" || fail "vesk-voice prompt"
[ -f "$data/config.json" ] || fail "prompt did not use the private data folder $data"
[ -s "$work/prompt" ] || fail "vesk-voice prompt printed nothing"
VESK_DATA_DIR="$work/expected" "$root/build/package/vesk-voice" prompt >"$work/expected-prompt" 2>>"$log" ||
    fail "the build tree's prompt"
cmp -s "$work/prompt" "$work/expected-prompt" || fail "the installed prompt differs from the build tree's"

VESK_DATA_DIR="$data" /usr/bin/vesk-voice inputs >"$work/inputs" 2>>"$log" || fail "vesk-voice inputs"
grep -q $'\tVirtual_Microphone$' "$work/inputs" ||
    fail "vesk-voice inputs does not list the test microphone: $(tr '\t\n' ' |' <"$work/inputs")"

# The desktop app: it must come up (platform plugin, icons, tray) and keep running.
VESK_DATA_DIR="$data" /usr/bin/vesk-voice >>"$log" 2>&1 &
app=$!
window=""
for _ in $(seq 100); do
    kill -0 "$app" 2>/dev/null || break
    window="$(xdotool search --all --onlyvisible --pid "$app" 2>/dev/null | head -n 1)"
    [ -n "$window" ] && break
    sleep 0.1
done
if ! kill -0 "$app" 2>/dev/null; then
    wait "$app"
    fail "the desktop app ended at once (status $?)"
fi
kill "$app"
wait "$app" 2>/dev/null
[ -n "$window" ] || fail "the desktop app showed no window in 10 s"

$sudo apt-get -o DPkg::Lock::Timeout=300 remove -y -qq vesk-voice >>"$log" 2>&1 || fail "apt-get remove vesk-voice"
installed=""
[ ! -e /usr/bin/vesk-voice ] || fail "/usr/bin/vesk-voice is still there after removal"
rm -rf "$work"

echo "package: ok: $(basename "$deb") passes lintian, installs, runs (--version, prompt, inputs, the app) and is removed"

#!/usr/bin/env bash
# Starts Ferrywright with a simulated phone plugged in, so the whole program can
# be tried without a phone: the phone shows up, its messages download by
# themselves and can be read at once.
#
#   sudo bash scripts/demo.sh              installs what is missing, builds, starts
#   bash scripts/demo.sh --no-build        starts what ./build already holds
#
# Further arguments go to the program. Everything the demo writes stays in
# build/demo-home (or $FERRY_DEMO_DIR): the program runs with that folder as its
# home, so the data of a real installation is never touched. The phone is made
# once (same messages every time); delete build/demo-home to start afresh.
# The simulated phone also answers the WiFi command: connect to 127.0.0.1.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FERRY_BUILD_DIR:-$root/build}

if [ "${1:-}" = "--no-build" ]; then
    shift
else
    bash "$root/scripts/install-deps.sh"
    bash "$root/scripts/build.sh"
fi

bin="$build/tools/bin"
demo=${FERRY_DEMO_DIR:-$build/demo-home}
phone="$demo/phone"
mkdir -p "$demo/home"

if [ ! -s "$phone/messages.jsonl" ]; then
    rm -rf "$phone"
    "$bin/agent-sim" generate --store "$phone" --messages 400 --contacts 30 --pictures 24 \
        --picture-kb 60 --seed 2024 --manufacturer Google --model "Pixel 7"
fi

# The stand-in adb comes first on PATH and keeps its phones in a state file of
# the demo; a phone left over from an interrupted run is forgotten.
export PATH="$bin:$PATH"
export FERRY_FAKE_ADB_STATE="$demo/adb-state.json"
rm -f "$FERRY_FAKE_ADB_STATE" "$FERRY_FAKE_ADB_STATE.log"
# The X server's key is found through HOME unless named: keep it reachable.
if [ -z "${XAUTHORITY:-}" ] && [ -f "${HOME:-}/.Xauthority" ]; then
    export XAUTHORITY="$HOME/.Xauthority"
fi
export HOME="$demo/home"
# The data folder follows HOME only while no XDG folder of the session names another.
unset XDG_DATA_HOME XDG_CONFIG_HOME
# The web engine's sandbox cannot run as root.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

# A real phone's agent listens on 44441 for the WiFi command; use it when free.
launcher_port=44441
if (exec 3<>"/dev/tcp/127.0.0.1/$launcher_port") 2>/dev/null; then
    launcher_port=0
fi

# The simulator plugs itself in as DEMO0001 and unplugs when it stops; it also
# stops by itself once this script has ended.
"$bin/agent-sim" --store "$phone" --launcher-port "$launcher_port" --status "$demo/phone-status.json" \
    --adb-state "$FERRY_FAKE_ADB_STATE" --serial DEMO0001 --parent-pid $$ --idle-timeout 0 \
    > "$demo/phone.log" 2>&1 &
sim=$!

app=""
stop() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
}
trap stop INT TERM
finish() {
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
}
trap finish EXIT

# The phone must be plugged before the program looks for phones.
for _ in $(seq 1 100); do
    grep -q "plugged in" "$demo/phone.log" 2>/dev/null && break
    kill -0 "$sim" 2>/dev/null || { cat "$demo/phone.log" >&2; exit 1; }
    sleep 0.1
done

"$build/ferrywright" "$@" &
app=$!
# A signal ends the wait early; the second wait collects the program's status.
status=0
wait "$app" || status=$?
wait "$app" 2>/dev/null || true
exit "$status"

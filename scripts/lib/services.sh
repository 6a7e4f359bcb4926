# Private X server, window manager, tray and PulseAudio daemon for the tests.
# Sourced by scripts/test; everything it starts is stopped by stop_services.

service_pids=()

start_dbus() {
    # A desktop session has a session bus; without one, Qt's D-Bus users make libdbus fork to
    # autolaunch a bus, and a fork of a many-threaded sanitizer build can hang in its child.
    local out
    out="$(dbus-daemon --session --fork --print-address=1 --print-pid=1)"
    export DBUS_SESSION_BUS_ADDRESS
    DBUS_SESSION_BUS_ADDRESS="$(echo "$out" | sed -n 1p)"
    service_pids+=("$(echo "$out" | sed -n 2p)")
}

start_x() {
    start_dbus
    # The first free display from 97 up, so that several checkouts can test at once.
    local display_number=97
    while [ -e "/tmp/.X${display_number}-lock" ]; do display_number=$((display_number + 1)); done
    export DISPLAY=":$display_number"
    Xvfb "$DISPLAY" -screen 0 "${VESK_SCREEN:-1280x800x24}" -nolisten tcp >"$SERVICES_DIR/xvfb.log" 2>&1 &
    service_pids+=($!)
    for _ in $(seq 100); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
    done
    xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start (see $SERVICES_DIR/xvfb.log)" >&2; return 1; }
    openbox >"$SERVICES_DIR/openbox.log" 2>&1 &
    service_pids+=($!)
    trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
        --transparent false >"$SERVICES_DIR/trayer.log" 2>&1 &
    service_pids+=($!)
    xcompmgr >"$SERVICES_DIR/xcompmgr.log" 2>&1 &
    service_pids+=($!)
}

start_pulse() {
    export XDG_RUNTIME_DIR="$SERVICES_DIR/runtime"
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
    local config="$SERVICES_DIR/pulse.pa"
    cat >"$config" <<PA
load-module module-native-protocol-unix
load-module module-null-sink sink_name=speaker sink_properties=device.description=Speaker
load-module module-null-sink sink_name=micfeed sink_properties=device.description=MicFeed
load-module module-remap-source master=micfeed.monitor source_name=vmic source_properties=device.description=Virtual_Microphone
set-default-sink speaker
set-default-source vmic
PA
    pulseaudio -D -n -F "$config" --exit-idle-time=-1 --disallow-exit \
        --log-target="file:$SERVICES_DIR/pulse.log" || { echo "pulseaudio did not start" >&2; return 1; }
    for _ in $(seq 50); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl info >/dev/null 2>&1 || { echo "pulseaudio does not answer" >&2; return 1; }
    # A running feed keeps the virtual microphone's clock going, so captures start at once.
    pacat -d micfeed --latency-msec=20 --raw /dev/zero >/dev/null 2>&1 &
    service_pids+=($!)
    # One short warm-up; the first capture after the daemon starts otherwise misses its start.
    timeout 2 parec -d vmic --raw >/dev/null 2>&1 || true
}

start_sway() {
    # A headless Wayland session for the Wayland tests, in a runtime folder of its own. sway
    # refuses root: as root it runs in a user namespace where it is an ordinary user, while what
    # it starts (the commands its key bindings run) can still reach this session's services, as
    # on a desktop where everything belongs to one user. WAYLAND_DISPLAY itself stays unset here,
    # or every test would take the session for a Wayland one: the Wayland tests read
    # VESK_TEST_WAYLAND_DISPLAY and VESK_TEST_SWAYSOCK instead.
    command -v sway >/dev/null || { echo "sway is not installed" >&2; return 1; }
    local dir
    dir="$(mktemp -d /tmp/vesk-sway.XXXXXX)"
    cat >"$dir/config" <<SWAY
output HEADLESS-1 resolution 1280x800
default_border none
focus_follows_mouse no
SWAY
    local runas=()
    [ "$(id -u)" -ne 0 ] || runas=(unshare --user --map-user=1000 --map-group=1000)
    env -i PATH="$PATH" HOME="$dir" XDG_RUNTIME_DIR="$dir" WLR_BACKENDS=headless \
        WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        "${runas[@]}" sway --config "$dir/config" >"$SERVICES_DIR/sway.log" 2>&1 &
    service_pids+=($!)
    sway_dir="$dir"
    local sock="" display=""
    for _ in $(seq 100); do
        sock="$(find "$dir" -maxdepth 1 -type s -name 'sway-ipc.*.sock' -print -quit)"
        display="$(find "$dir" -maxdepth 1 -type s -name 'wayland-*' -print -quit)"
        [ -n "$sock" ] && [ -n "$display" ] && break
        sleep 0.1
    done
    if [ -z "$display" ] || ! SWAYSOCK="$sock" swaymsg -t get_version >/dev/null 2>&1; then
        echo "sway did not start (see $SERVICES_DIR/sway.log)" >&2
        return 1
    fi
    export VESK_TEST_WAYLAND_DISPLAY="$display" VESK_TEST_SWAYSOCK="$sock"
}

stop_services() {
    pulseaudio --kill >/dev/null 2>&1 || true
    for pid in "${service_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -z "${sway_dir:-}" ] || rm -rf "$sway_dir"
}

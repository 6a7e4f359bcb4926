# Private X server, window manager, tray and PulseAudio daemon for the tests.
# Sourced by scripts/test; everything it starts is stopped by stop_services.

service_pids=()
desktop_dirs=()

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

# The real desktops' sessions: each compositor with a private session bus (whose activated
# services get the session's environment), xdg-desktop-portal and the desktop's own portal
# backend, as on a user's desktop. The tests read VESK_TEST_<DESKTOP>_DISPLAY and _BUS.
desktop_bus() {
    # $1: the folder; the rest: the session's environment.
    local dir="$1" out
    shift
    out="$(env -i "$@" dbus-daemon --session --fork --print-address=1 --print-pid=1)" || return 1
    desktop_bus_address="$(echo "$out" | sed -n 1p)"
    service_pids+=("$(echo "$out" | sed -n 2p)")
}

wait_for_portal() {
    # $1: the bus; $2: the portal interface that must be there. The bus starts
    # xdg-desktop-portal itself, with the session's environment.
    for _ in $(seq 100); do
        dbus-send --bus="$1" --print-reply --dest=org.freedesktop.portal.Desktop \
            /org/freedesktop/portal/desktop org.freedesktop.DBus.Properties.Get \
            string:"$2" string:version >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# A desktop's portal backend on its session bus (NAME, the bus, then the command, which may begin
# with VAR=value words), in the caller's session environment; ready once the portal offers
# RemoteDesktop.
start_portal_backend() {
    local name="$1" bus="$2"
    shift 2
    local log="$SERVICES_DIR/portal-${name,,}.log"
    env -i "${session[@]}" DBUS_SESSION_BUS_ADDRESS="$bus" "$@" >"$log" 2>&1 &
    service_pids+=($!)
    wait_for_portal "$bus" org.freedesktop.portal.RemoteDesktop ||
        { echo "the $name portal offers no RemoteDesktop (see $log)" >&2; return 1; }
}

start_kde() {
    local backend=/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde
    command -v kwin_wayland >/dev/null && [ -x "$backend" ] ||
        { echo "kwin_wayland or xdg-desktop-portal-kde is not installed" >&2; return 1; }
    local dir
    dir="$(mktemp -d /tmp/vesk-kde.XXXXXX)"
    desktop_dirs+=("$dir")
    # kwin_wayland carries a file capability that a container may refuse at exec; a copy has none.
    cp /usr/bin/kwin_wayland "$dir/kwin_wayland"
    local session=(PATH="$PATH" HOME="$dir" XDG_RUNTIME_DIR="$dir" XDG_CURRENT_DESKTOP=KDE
        WAYLAND_DISPLAY="$dir/wayland-kde")
    desktop_bus "$dir" "${session[@]}" || { echo "no session bus for KDE" >&2; return 1; }
    local bus="$desktop_bus_address"
    env -i "${session[@]}" DBUS_SESSION_BUS_ADDRESS="$bus" "$dir/kwin_wayland" --virtual \
        --width 1280 --height 800 --socket wayland-kde --no-lockscreen >"$SERVICES_DIR/kwin.log" 2>&1 &
    service_pids+=($!)
    for _ in $(seq 100); do [ -S "$dir/wayland-kde" ] && break; sleep 0.05; done
    [ -S "$dir/wayland-kde" ] || { echo "kwin_wayland did not start (see $SERVICES_DIR/kwin.log)" >&2; return 1; }
    # The backend needs Qt's Wayland platform (qtwayland5), or it dies and the portal offers
    # neither RemoteDesktop nor GlobalShortcuts.
    start_portal_backend KDE "$bus" QT_QPA_PLATFORM=wayland "$backend" || return 1
    export VESK_TEST_KDE_DISPLAY="$dir/wayland-kde" VESK_TEST_KDE_BUS="$bus"
}

start_gnome() {
    command -v gnome-shell >/dev/null && [ -x /usr/libexec/xdg-desktop-portal-gnome ] ||
        { echo "gnome-shell or xdg-desktop-portal-gnome is not installed" >&2; return 1; }
    local dir
    dir="$(mktemp -d /tmp/vesk-gnome.XXXXXX)"
    desktop_dirs+=("$dir")
    # Only GNOME's portals: with KDE's backend installed too, GNOME would borrow its
    # GlobalShortcuts.
    mkdir -p "$dir/portals"
    cp /usr/share/xdg-desktop-portal/portals/{gnome,gtk,gnome-shell}.portal "$dir/portals/" 2>/dev/null
    # gnome-shell 43 has no unsafe-mode flag: an extension of the tests' own turns it on, so
    # that org.gnome.Shell.Eval can answer the desktop's dialogs as a user's keyboard would.
    local ext="$dir/.local/share/gnome-shell/extensions/vesk-tests@localhost"
    mkdir -p "$ext" "$dir/.config/glib-2.0/settings"
    cat >"$ext/metadata.json" <<JSON
{"uuid": "vesk-tests@localhost", "name": "Vesk tests", "description": "unsafe mode for the tests",
 "shell-version": ["43", "44"]}
JSON
    cat >"$ext/extension.js" <<JS
function init() {}
function enable() { global.context.unsafe_mode = true; }
function disable() { global.context.unsafe_mode = false; }
JS
    cat >"$dir/.config/glib-2.0/settings/keyfile" <<KEYS
[org/gnome/shell]
enabled-extensions=['vesk-tests@localhost']
disable-user-extensions=false
welcome-dialog-last-shown-version='999'
KEYS
    # gnome-shell wants a system bus: a second private bus serves.
    desktop_bus "$dir" PATH="$PATH" || { echo "no system bus for GNOME" >&2; return 1; }
    local system_bus="$desktop_bus_address"
    local session=(PATH="$PATH" HOME="$dir" XDG_RUNTIME_DIR="$dir" XDG_CURRENT_DESKTOP=GNOME
        WAYLAND_DISPLAY="$dir/wayland-gnome" DBUS_SYSTEM_BUS_ADDRESS="$system_bus"
        XDG_DESKTOP_PORTAL_DIR="$dir/portals" GSETTINGS_BACKEND=keyfile GDK_BACKEND=wayland)
    desktop_bus "$dir" "${session[@]}" || { echo "no session bus for GNOME" >&2; return 1; }
    local bus="$desktop_bus_address"
    # The machine's own seats under /run/systemd would make it look for a logind session: a
    # tmpfs hides them, in a mount namespace of its own.
    env -i "${session[@]}" DBUS_SESSION_BUS_ADDRESS="$bus" unshare --mount --propagation private \
        sh -c 'mount -t tmpfs tmpfs /run/systemd && exec gnome-shell --headless --wayland --no-x11 \
        --virtual-monitor 1280x800 --wayland-display "$WAYLAND_DISPLAY"' \
        >"$SERVICES_DIR/gnome-shell.log" 2>&1 &
    service_pids+=($!)
    local ready=""
    for _ in $(seq 150); do
        ready="$(DBUS_SESSION_BUS_ADDRESS="$bus" gdbus call --session --dest org.gnome.Shell \
            --object-path /org/gnome/Shell --method org.gnome.Shell.Eval 'global.context.unsafe_mode' 2>/dev/null)"
        [ "$ready" = "(true, 'true')" ] && break
        sleep 0.1
    done
    [ "$ready" = "(true, 'true')" ] ||
        { echo "gnome-shell did not start in unsafe mode (see $SERVICES_DIR/gnome-shell.log)" >&2; return 1; }
    start_portal_backend GNOME "$bus" /usr/libexec/xdg-desktop-portal-gnome || return 1
    export VESK_TEST_GNOME_DISPLAY="$dir/wayland-gnome" VESK_TEST_GNOME_BUS="$bus"
}

stop_services() {
    pulseaudio --kill >/dev/null 2>&1 || true
    for pid in "${service_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -z "${sway_dir:-}" ] || rm -rf "$sway_dir"
    for dir in "${desktop_dirs[@]}"; do rm -rf "$dir"; done
}

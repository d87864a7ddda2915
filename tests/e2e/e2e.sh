#!/usr/bin/env bash
# Quillo end to end on a real X server: a private Xvfb, the real quillo, a zenity text entry to
# type into, xdotool as the user's hands and xclip (or a small helper) on the clipboard.
#
#   e2e.sh QUILLO HELPER CASE
#
# Exits 77 (reported as skipped) when the X tools are missing; never passes without running.
set -uo pipefail

quillo=$1
helper=$2
case_name=$3

for tool in Xvfb xdotool zenity xclip dbus-run-session; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (scripts/setup installs it)"
        exit 77
    fi
done

# Each case owns a D-Bus session, as a desktop session would have, which ends with the case
# and takes with it what was started on it (the accessibility bus that GTK programs ask for).
if [ -z "${QUILLO_E2E_SESSION:-}" ]; then
    export QUILLO_E2E_SESSION=1
    unset DBUS_SESSION_BUS_ADDRESS
    exec dbus-run-session -- "$0" "$@"
fi
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || { echo "FAIL ($case_name): dbus-run-session gave no session bus"; exit 1; }

work=$(mktemp -d /tmp/quillo-e2e.XXXXXX)
pids=()
cleanup() {
    # Only processes of this case that are still running: the number of one that has ended may
    # already belong to another case's process (process numbers wrap at 32768 on many systems).
    for pid in "${pids[@]}"; do
        [ "$(ps -o ppid= -p "$pid" 2>/dev/null | tr -d ' ')" = "$$" ] && kill "$pid" 2>/dev/null
    done
    # The accessibility bus's own daemon outlives its launcher and has been seen to outlive a
    # plain kill too; it is known by its socket, which lies in this case's folder.
    pkill -KILL -f -- "unix:path=$work/" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL ($case_name): $*"
    if [ -n "${xvfb_pid:-}" ] && ! display_is_ours; then
        echo "--- and :$display_number is not this case's X server any more: $(display_owner)"
    fi
    echo "--- quillo said:"
    cat "$work/quillo.out" 2>/dev/null
    exit 1
}

# The X server of this case alone. Xvfb picks a free display number itself and writes it once
# it accepts connections. -noreset: a server whose last client leaves starts afresh, and drops
# whoever connects at that moment; here the first clients come and go (xclip, the accessibility
# bus's launcher, Quillo's own look at the display), as they never do on a desktop, whose window
# manager stays connected.
server_options=(-noreset)
[ "$case_name" = first_client_of_a_fresh_server ] && server_options=()
Xvfb -displayfd 3 "${server_options[@]}" -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" \
    2>"$work/xvfb.err" &
xvfb_pid=$!
pids+=($xvfb_pid)
for _ in $(seq 200); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
done
[ -s "$work/display" ] || { unset xvfb_pid; fail "Xvfb did not start: $(cat "$work/xvfb.err")"; }
display_number=$(head -n1 "$work/display")
export DISPLAY=":$display_number"

# The process that listens on the display's socket (the abstract one, which X clients try
# first), from the kernel's table of sockets.
display_owner() {
    local inode pid
    inode=$(awk -v name="@/tmp/.X11-unix/X$display_number" '$8 == name && $6 == "01" { print $7 }' \
        /proc/net/unix | head -n1)
    [ -n "$inode" ] || { echo "nobody listens on it"; return; }
    for pid in $(pgrep -x Xvfb); do
        if ls -l "/proc/$pid/fd" 2>/dev/null | grep -q "socket:\[$inode\]"; then
            echo "Xvfb $pid ($(tr '\0' ' ' <"/proc/$pid/cmdline"))"
            return
        fi
    done
    echo "a process that is not an Xvfb"
}
display_is_ours() {
    kill -0 "$xvfb_pid" 2>/dev/null && [ "$(display_owner)" = "Xvfb $xvfb_pid ($(tr '\0' ' ' <"/proc/$xvfb_pid/cmdline"))" ]
}
display_is_ours || fail "$DISPLAY answers from $(display_owner), not from this case's Xvfb $xvfb_pid"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_DATA_HOME/Quillo" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# Services the session bus starts on demand (the accessibility bus that GTK programs ask for)
# start with the session's own display and folders; with the environment the bus itself was
# started with they would put their sockets in the home folder, where every case finds them.
dbus-update-activation-environment DISPLAY XDG_RUNTIME_DIR XDG_DATA_HOME XDG_CONFIG_HOME ||
    fail "could not give the session bus the case's environment"

# --- Snippets -------------------------------------------------------------------------------

uuid_counter=0
uuid() {
    uuid_counter=$((uuid_counter + 1))
    printf '00000000-0000-4000-8000-%012d' "$uuid_counter"
}
# snippet SHORTCUT REPLACEMENT [MODE] [EXTRA JSON FIELDS]
snippet() {
    local mode=${3:-After Delimiter}
    local extra=${4:-}
    # The application lists default to empty unless the extra fields give them: a key given
    # twice makes the file unreadable.
    local key
    for key in allowedApps blockedApps; do
        [[ $extra == *"\"$key\""* ]] || extra="\"$key\":[]${extra:+,$extra}"
    done
    printf '{"id":"%s","shortcut":"%s","replacement":"%s","isEnabled":true,"triggerMode":"%s",%s}' \
        "$(uuid)" "$1" "$2" "$mode" "$extra"
}
step() { # step TYPE TEXT KEYCODE MODIFIERS MILLISECONDS
    printf '{"id":"%s","type":"%s","text":"%s","keyCode":%s,"modifiers":%s,"milliseconds":%s}' \
        "$(uuid)" "$1" "$2" "$3" "$4" "$5"
}
write_snippets() {
    local IFS=,
    printf '[%s]' "$*" >"$XDG_DATA_HOME/Quillo/snippets.json"
}

# --- The programs ---------------------------------------------------------------------------

start_quillo() {
    "$quillo" "$@" >"$work/quillo.out" 2>&1 &
    quillo_pid=$!
    pids+=($quillo_pid)
    for _ in $(seq 200); do
        grep -q "Quillo is running" "$work/quillo.out" && return
        kill -0 "${pids[-1]}" 2>/dev/null || fail "quillo ended before it was running"
        sleep 0.05
    done
    fail "quillo did not say it is running"
}

# Gives the window the keyboard focus. A window is found by its title or class as soon as it has
# one, which may be before it is mapped; focusing a window that is not viewable yet fails with
# BadMatch and leaves the focus where it was, so the keys typed next would go elsewhere.
focus_window() {
    for _ in $(seq 50); do
        timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "the window $1 did not take the keyboard focus"
}

# start_entry [focus|nofocus] [ZENITY OPTIONS...]
start_entry() {
    local focus=${1:-focus}
    shift $(($# > 0 ? 1 : 0))
    zenity --entry --title=quillo-e2e --text=type "$@" >"$work/entry.out" 2>/dev/null &
    entry_pid=$!
    pids+=($entry_pid)
    entry_window=$(timeout 20 xdotool search --sync --onlyvisible --name '^quillo-e2e$' | head -n1)
    [ -n "$entry_window" ] || fail "the zenity window did not appear"
    if [ "$focus" = focus ]; then
        focus_window "$entry_window"
    fi
    # GTK takes a moment after mapping before its entry takes keys.
    sleep 0.5
}

# Closes the entry with Return and prints what it held.
entry_text() {
    xdotool key --window "$entry_window" Return 2>/dev/null || xdotool key Return
    for _ in $(seq 100); do
        kill -0 "$entry_pid" 2>/dev/null || break
        sleep 0.05
    done
    cat "$work/entry.out"
}

expect_entry() {
    local got
    got=$(entry_text)
    [ "$got" = "$1" ] || fail "the entry holds '$got', expected '$1'"
}

# start_terminal CLASS [PROGRAM...]: starts a terminal (xterm, urxvt; by default the program
# named CLASS, run with -e) that reads one line, and gives it the focus once it reads.
start_terminal() {
    local class=$1
    shift
    [ $# -gt 0 ] || set -- "$class"
    "$@" -e bash -c 'touch "$1.ready"; read -e line; printf "%s" "$line" >"$1.part"
        mv "$1.part" "$1"' _ "$work/terminal.out" &
    pids+=($!)
    terminal_window=$(timeout 20 xdotool search --sync --onlyvisible --class "$class" | tail -n1)
    [ -n "$terminal_window" ] || fail "the $class window did not appear"
    for _ in $(seq 200); do
        [ -e "$work/terminal.out.ready" ] && break
        sleep 0.05
    done
    focus_window "$terminal_window"
    sleep 0.5
}

# Ends the terminal's line with Return and prints what it read.
terminal_text() {
    xdotool key Return
    for _ in $(seq 200); do
        [ -e "$work/terminal.out" ] && break
        sleep 0.05
    done
    cat "$work/terminal.out" 2>/dev/null
}

# Waits until quillo's expansion is over (its pauses take a few hundred milliseconds).
settle() { sleep "${1:-1}"; }

# type_line DELAY TEXT: types TEXT and Return at DELAY ms a key, as a person who does not wait
# for an expansion to end, and prints what the entry took (the entry ends at Return).
type_line() {
    xdotool type --delay "$1" "$2"
    sleep "$(awk -v ms="$1" 'BEGIN { print ms / 1000 }')"
    xdotool key Return
    for _ in $(seq 200); do
        kill -0 "$entry_pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$entry_pid" 2>/dev/null && fail "the entry did not end after typing '$2'"
    cat "$work/entry.out"
}

# start_window TITLE COMMAND...: starts a program showing a text field in a window titled TITLE,
# which writes what the field holds when Return is pressed, and focuses it; its process is the
# entry's, so that type_line and entry_text read it.
start_window() {
    local title=$1
    shift
    "$@" >"$work/entry.out" 2>/dev/null &
    entry_pid=$!
    pids+=($entry_pid)
    entry_window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$title\$" | head -n1)
    [ -n "$entry_window" ] || fail "the window $title did not appear"
    focus_window "$entry_window"
    sleep 0.5
}

type_keys() { xdotool type --delay 30 "$1"; }

# --- The accessibility bus -----------------------------------------------------------------

# Starts the accessibility bus on the case's session, as a desktop session starts it at login.
start_accessibility_bus() {
    local launcher=""
    for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
        [ -x "$candidate" ] && launcher=$candidate && break
    done
    [ -n "$launcher" ] || { echo "SKIPPED: at-spi2-core is not installed"; exit 77; }
    "$launcher" --launch-immediately >"$work/launcher.out" 2>&1 &
    pids+=($!)
    # Asked only once the launcher has the name: asking earlier would have the session bus
    # start one of its own.
    for _ in $(seq 100); do
        dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q true &&
            accessibility_switch >/dev/null && break
        sleep 0.05
    done
    accessibility_switch >/dev/null || fail "the accessibility bus did not start: $(cat "$work/launcher.out")"
    # The case's own: its socket lies in the case's folder.
    local address
    address=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress 2>/dev/null | tr -d ' ')
    [[ $address == "unix:path=$work/"* ]] || fail "the accessibility bus is not this case's own: '$address'"
}

# accessibility_process NAME: the process that owns NAME on the accessibility bus.
accessibility_process() {
    local address
    address=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress 2>/dev/null | tr -d ' ')
    dbus-send --bus="$address" --print-reply=literal --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID "string:$1" \
        2>/dev/null | awk '{print $NF}'
}

# set_accessibility_switch true|false, as a person does in the desktop's settings.
set_accessibility_switch() {
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
        "variant:boolean:$1" >/dev/null
}

# wait_for_switch true|false
wait_for_switch() {
    for _ in $(seq 100); do
        [ "$(accessibility_switch)" = "$1" ] && return
        sleep 0.05
    done
    fail "the accessibility switch did not become $1"
}

# Types the shortcut and the hotkey into the password field and checks that it holds them as
# typed.
expect_password_kept() {
    type_keys 'omw '
    xdotool key ctrl+alt+k
    settle
    local got
    got=$(password_text)
    [ "$got" = "omw " ] || fail "the password field holds '$got', expected 'omw '"
}

# Prints the desktop's accessibility switch: true or false.
accessibility_switch() {
    dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
        org.freedesktop.DBus.Properties.Get string:org.a11y.Status string:IsEnabled 2>/dev/null |
        awk '{print $NF}' | grep -xE 'true|false'
}

# start_password TITLE COMMAND...: starts a program showing a password field in a window
# titled TITLE, which writes what the field holds when Return is pressed, and focuses it.
start_password() {
    local title=$1
    shift
    "$@" >"$work/password.out" 2>"$work/password.err" &
    password_pid=$!
    pids+=($password_pid)
    password_window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$title\$" | head -n1)
    [ -n "$password_window" ] || fail "the password window $title did not appear"
    focus_window "$password_window"
    sleep 0.5
}

# Presses Return in the password field and prints what it held.
password_text() {
    xdotool windowfocus --sync "$password_window" 2>/dev/null
    sleep 0.3
    xdotool key Return
    for _ in $(seq 100); do
        kill -0 "$password_pid" 2>/dev/null || break
        sleep 0.05
    done
    cat "$work/password.out"
}

# A tray for Quillo's icon, and onboarding done: Quillo opens no window at start that would take
# the focus from the field being typed into.
start_tray() {
    command -v trayer >/dev/null || { echo "SKIPPED: trayer is not installed"; exit 77; }
    mkdir -p "$XDG_CONFIG_HOME/Quillo"
    printf '{"hasCompletedOnboarding":true}' >"$XDG_CONFIG_HOME/Quillo/preferences.json"
    trayer --SetDockType true >/dev/null 2>&1 &
    pids+=($!)
    timeout 20 xdotool search --sync --class trayer >/dev/null || fail "trayer did not start"
}

# A window manager that guards the focus as desktops do: the focus moves to a window only when
# the window manager is asked for it.
start_window_manager() {
    command -v openbox >/dev/null || { echo "SKIPPED: openbox is not installed"; exit 77; }
    openbox --startup "touch $work/openbox.ready" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do
        [ -e "$work/openbox.ready" ] && return
        sleep 0.05
    done
    fail "openbox did not start"
}

# Waits until the window has the keyboard focus.
wait_for_focus() {
    for _ in $(seq 100); do
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return
        sleep 0.05
    done
    fail "the window $1 did not get the keyboard focus; $(xdotool getwindowfocus 2>&1) has it"
}

# Waits for quillo to say how it recognises password fields; fails unless by the bus.
wait_for_accessibility() {
    for _ in $(seq 200); do
        grep -q "^Password fields are recognised" "$work/quillo.out" && break
        sleep 0.05
    done
    grep -q "^Password fields are recognised through the accessibility bus" "$work/quillo.out" ||
        fail "quillo does not follow the accessibility bus"
}

# --- The input method ----------------------------------------------------------------------

# Starts an IBus daemon for the case, then Quillo, whose engine it makes the active one; the
# programs started afterwards hand their keys to it. Options for the daemon may follow.
start_input_method() {
    command -v ibus-daemon >/dev/null || { echo "SKIPPED: ibus is not installed (scripts/setup installs it)"; exit 77; }
    export HOME="$work/home" GTK_IM_MODULE=ibus QT_IM_MODULE=ibus XMODIFIERS=@im=ibus
    mkdir -p "$HOME"
    # Else `ibus engine` sets the engine's layout on the server, which undoes setxkbmap.
    gsettings set org.freedesktop.ibus.general use-system-keyboard-layout true
    ibus-daemon --panel=disable --emoji-extension=disable --cache=none "$@" >"$work/ibus.out" 2>&1 &
    local daemon=$!
    pids+=($daemon)
    for _ in $(seq 200); do
        ibus list-engine --name-only >/dev/null 2>&1 && break
        kill -0 "$daemon" 2>/dev/null || fail "the IBus daemon ended: $(cat "$work/ibus.out")"
        sleep 0.05
    done
    # As where the server's keyboard cannot be watched (Wayland): the X11 tap is not started.
    QUILLO_INPUT_METHOD=1 start_quillo
    grep -q 'through its input method' "$work/quillo.out" || fail "quillo does not use its input method"
    for _ in $(seq 100); do
        ibus engine quillo 2>/dev/null && [ "$(ibus engine 2>/dev/null)" = quillo ] && return
        sleep 0.05
    done
    fail "IBus did not take Quillo's engine: $(cat "$work/ibus.out")"
}

# Installs Quillo's IBus component file where the daemons started afterwards read it, as a
# package installs it in /usr/share/ibus/component; its command starts this build's Quillo.
install_component_file() {
    mkdir -p "$work/components"
    sed -e "s|@QUILLO_IBUS_EXEC@|$quillo|" -e 's|@PROJECT_VERSION@|1|' \
        "$(dirname "$0")/../../src/platform/linux/quillo.xml.in" >"$work/components/quillo.xml"
    export IBUS_COMPONENT_PATH="$work/components:/usr/share/ibus/component"
}

# Quits Quillo as the desktop does at logout or an update, and starts it again at once.
restart_quillo() {
    kill -TERM "$quillo_pid"
    wait "$quillo_pid" 2>/dev/null
    QUILLO_INPUT_METHOD=1 start_quillo
}

# Types on in the entry that stayed open, then in a new one: both expand.
expect_open_and_new_entries_expand() {
    local got
    focus_window "$entry_window"
    type_keys 'ok omw ok'
    settle
    got=$(entry_text)
    [ "$got" = "On my wayok On my wayok" ] || fail "the field that stayed open holds '$got'"
    start_entry
    type_keys 'omw '
    settle
    expect_entry "On my way"
}

# --- A Wayland session ---------------------------------------------------------------------

# Starts GNOME's compositor, mutter, headless with one virtual monitor, as the case's Wayland
# session; the programs started afterwards are its clients. Its XWayland becomes the case's X
# display, as in a GNOME session, where Quillo keeps its clipboard there; without XWayland the
# case's Xvfb stays the X display. Mutter lives as long as its command, which ends with the case.
start_wayland_session() {
    command -v mutter >/dev/null || { echo "SKIPPED: mutter is not installed (scripts/setup installs it)"; exit 77; }
    local x11=(--no-x11)
    command -v Xwayland >/dev/null && x11=()
    mutter --headless --wayland --virtual-monitor 1280x800 --wayland-display=quillo-e2e \
        "${x11[@]}" -- sh -c 'printf "%s\n" "$WAYLAND_DISPLAY" "${DISPLAY:-}" "${XAUTHORITY:-}" \
        >"$1.part" && mv "$1.part" "$1" && exec tail -s 0.1 --pid="$2" -f /dev/null' \
        _ "$work/wayland" "$$" >"$work/mutter.out" 2>&1 &
    local compositor=$!
    pids+=($compositor)
    for _ in $(seq 300); do
        [ -s "$work/wayland" ] && break
        kill -0 "$compositor" 2>/dev/null || fail "mutter ended: $(cat "$work/mutter.out")"
        sleep 0.05
    done
    [ -s "$work/wayland" ] || fail "mutter did not start: $(cat "$work/mutter.out")"
    local display authority
    { read -r WAYLAND_DISPLAY; read -r display; read -r authority; } <"$work/wayland"
    export WAYLAND_DISPLAY XDG_SESSION_TYPE=wayland
    if [ -n "$display" ]; then
        export DISPLAY=$display XAUTHORITY=$authority
    fi
    dbus-update-activation-environment DISPLAY WAYLAND_DISPLAY ${XAUTHORITY:+XAUTHORITY} ||
        fail "could not give the session bus the Wayland session's environment"
    for _ in $(seq 100); do
        dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.gnome.Mutter.RemoteDesktop 2>/dev/null |
            grep -q true && break
        sleep 0.05
    done
    # A headless mutter has no keyboard of its own: the helper plugs one in through the remote
    # desktop and keeps it for the case, reading what to type from a pipe.
    mkfifo "$work/keyboard"
    "$helper" wayland-keyboard <"$work/keyboard" >"$work/keyboard.out" 2>&1 &
    keyboard_pid=$!
    pids+=($keyboard_pid)
    exec 7>"$work/keyboard"
    for _ in $(seq 100); do
        grep -qx ready "$work/keyboard.out" && return
        kill -0 "$keyboard_pid" 2>/dev/null || break
        sleep 0.05
    done
    fail "no keyboard in the Wayland session: $(cat "$work/keyboard.out" "$work/mutter.out")"
}

# The input context that has IBus's focus; IBus's own stand-in has it while no field has.
ibus_focus() {
    gdbus call --address "$(ibus address)" --dest org.freedesktop.IBus \
        --object-path /org/freedesktop/IBus --method org.freedesktop.IBus.CurrentInputContext
}

# start_wayland_entry: a zenity entry as a Wayland client; returns once its field has the
# keyboard, which IBus learns as another input context taking the focus.
start_wayland_entry() {
    local before
    before=$(ibus_focus) || fail "IBus does not say which input context has the focus"
    GDK_BACKEND=wayland zenity --entry --title=quillo-e2e --text=type >"$work/entry.out" \
        2>"$work/entry.err" &
    entry_pid=$!
    pids+=($entry_pid)
    for _ in $(seq 200); do
        [ "$(ibus_focus 2>/dev/null)" != "$before" ] && return
        kill -0 "$entry_pid" 2>/dev/null || fail "zenity ended: $(cat "$work/entry.err")"
        sleep 0.05
    done
    fail "the zenity entry did not take the keyboard: $(cat "$work/entry.err")"
}

# wayland_type DELAY TEXT: types TEXT at DELAY ms a key on the session's keyboard (a newline is
# Return) and returns once it is typed.
wayland_type() {
    local text=${2//\\/\\\\} typed
    typed=$(grep -cx typed "$work/keyboard.out")
    printf '%s %s\n' "$1" "${text//$'\n'/\\n}" >&7
    for _ in $(seq 600); do
        [ "$(grep -cx typed "$work/keyboard.out")" -gt "$typed" ] && return
        kill -0 "$keyboard_pid" 2>/dev/null || break
        sleep 0.05
    done
    fail "the keyboard did not type '$2': $(cat "$work/keyboard.out")"
}

# Waits for the entry to end (after Return) and prints what it held.
wayland_entry_text() {
    for _ in $(seq 200); do
        kill -0 "$entry_pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$entry_pid" 2>/dev/null && fail "the entry did not end at Return"
    cat "$work/entry.out"
}

# --- The cases ------------------------------------------------------------------------------

case "$case_name" in
omw)
    write_snippets "$(snippet omw 'On my way')"
    start_quillo
    start_entry
    type_keys 'omw '
    settle
    expect_entry "On my way"
    ;;

own_window_search)
    # A snippet's shortcut typed into Quillo's own search field stays as typed.
    write_snippets "$(snippet omw 'On my way')"
    mkdir -p "$XDG_CONFIG_HOME/Quillo"
    printf '{"hasCompletedOnboarding":true}' >"$XDG_CONFIG_HOME/Quillo/preferences.json"
    start_quillo --show settings
    settings_window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Quillo Settings$' |
        head -n1)
    [ -n "$settings_window" ] || fail "the settings window did not appear"
    focus_window "$settings_window"
    sleep 0.5
    xdotool key ctrl+f
    type_keys 'omw '
    settle
    xdotool key ctrl+a ctrl+c
    sleep 0.3
    got=$(xclip -selection clipboard -o)
    [ "$got" = "omw " ] || fail "the search field holds '$got', expected 'omw '"
    ;;

command_line)
    # Another `quillo` drives the running one: insert into the focused window (typing on at
    # once), the switch, list, export and import; with none running, list still reads the file
    # and the switch says that Quillo is not running.
    write_snippets "$(snippet omw 'On my way')" "$(snippet sig 'Best regards' Instant)"
    start_quillo
    start_entry
    "$quillo" insert sig || fail "quillo insert sig failed"
    type_keys '! '
    "$quillo" off >/dev/null || fail "quillo off failed"
    type_keys 'omw '
    "$quillo" toggle >"$work/toggle.out" || fail "quillo toggle failed"
    grep -qx 'Expansion is on.' "$work/toggle.out" || fail "toggle said: $(cat "$work/toggle.out")"
    type_keys 'omw '
    settle
    expect_entry "Best regards! omw On my way"
    "$quillo" insert nothing 2>"$work/insert.err" && fail "inserting an unknown shortcut succeeded"
    grep -q 'no snippet has the shortcut or id nothing' "$work/insert.err" ||
        fail "insert said: $(cat "$work/insert.err")"
    [ "$("$quillo" list | cut -f1,2 | tr '\t\n' ':;')" = "omw:After Delimiter;sig:Instant;" ] ||
        fail "list printed: $("$quillo" list)"
    (q=$(realpath "$quillo") && cd "$work" && "$q" export both.json) | grep -qx "Exported 2 snippets to $work/both.json" ||
        fail "export did not say what it did"
    "$quillo" import "$work/both.json" | grep -qx "Imported 2 snippets from $work/both.json" ||
        fail "import did not say what it did"
    kill "$quillo_pid"
    wait "$quillo_pid" 2>/dev/null || true
    [ "$("$quillo" list --json | grep -o '"shortcut"' | wc -l)" = 4 ] ||
        fail "with Quillo gone, list read: $("$quillo" list --json)"
    "$quillo" on 2>"$work/on.err"
    [ $? = 1 ] && grep -q 'Quillo is not running' "$work/on.err" || fail "on without Quillo: $(cat "$work/on.err")"
    # A snippets file that does not read is neither listed, exported nor added to.
    printf '[{"id":' >"$XDG_DATA_HOME/Quillo/snippets.json"
    "$quillo" import "$work/both.json" 2>"$work/import.err" && fail "import into a broken file succeeded"
    grep -q 'does not read, so nothing was done' "$work/import.err" || fail "import said: $(cat "$work/import.err")"
    [ "$(cat "$XDG_DATA_HOME/Quillo/snippets.json")" = '[{"id":' ] || fail "the broken file was changed"
    # A Quillo starting while a command holds the snippets file reads it after the command.
    flock "$XDG_DATA_HOME/Quillo/snippets.json.lock" sleep 0.5 &
    sleep 0.1
    start_quillo
    grep -q '^Waiting for a quillo command' "$work/quillo.out" || fail "quillo did not wait"
    ;;

search_window)
    # The search hotkey over the entry, a search, Down and Enter: the snippet arrives in the
    # entry, which has the focus back. The hotkey snippet, which has no shortcut, is second: its
    # replacement holds the text, the first one's shortcut starts with it.
    write_snippets "$(snippet omw 'On my way')" "$(snippet sig 'Best regards')" \
        "$(snippet '' 'Signed, Ada' Hotkey '"hotkeyKeyCode":46,"hotkeyModifiers":786432')"
    start_window_manager
    start_tray
    start_accessibility_bus
    start_quillo
    wait_for_accessibility
    start_entry
    xdotool type --delay 60 'Hi '
    xdotool key ctrl+alt+space
    search=$(timeout 10 xdotool search --sync --onlyvisible --name '^Quillo Search$' | head -n1)
    [ -n "$search" ] || fail "the search window did not appear"
    wait_for_focus "$search"
    xdotool type --delay 60 'sig'
    xdotool key --delay 60 Down Return
    # Typing on as soon as the entry has the focus back: what is typed while the snippet is
    # written lands after it. (Keys sent to a window that a window manager has framed do not
    # reach it, so the entry ends with a Return pressed as the user would.)
    wait_for_focus "$entry_window"
    got=$(type_line 60 ' ok')
    [ "$got" = "Hi Signed, Ada ok" ] || fail "the entry holds '$got', expected 'Hi Signed, Ada ok'"
    ;;

link_with_clipboard_and_cursor)
    write_snippets "$(snippet link "<a href='{clipboard}'>{cursor}</a>")"
    printf 'https://example.com' | xclip -selection clipboard -i
    start_quillo
    start_entry
    type_keys 'link '
    settle
    type_keys 'Quillo'
    after=$(xclip -selection clipboard -o)
    expect_entry "<a href='https://example.com'>Quillo</a>"
    [ "$after" = "https://example.com" ] || fail "the clipboard holds '$after' afterwards"
    ;;

hotkey_is_withheld)
    # Shift+Q would type a Q if its key-down reached the entry.
    write_snippets "$(snippet '' 'On my way!' Hotkey '"hotkeyKeyCode":12,"hotkeyModifiers":131072')" \
        "$(snippet '' 'Bye!' Hotkey '"hotkeyKeyCode":46,"hotkeyModifiers":786432')"
    start_quillo
    start_entry
    type_keys 'a'
    xdotool key shift+q
    settle
    type_keys 'b'
    xdotool key ctrl+alt+m
    settle
    expect_entry "aOn my way!bBye!"
    ;;

hotkey_while_its_modifiers_are_held)
    write_snippets "$(snippet '' 'On my way!' Hotkey '"hotkeyKeyCode":46,"hotkeyModifiers":786432')" \
        "$(snippet omW 'Shifted' Instant)"
    start_quillo
    start_entry
    type_keys 'a'
    # The user keeps Ctrl and Alt down until the expansion is over: a leaked Ctrl or Alt would
    # turn the paste into another command.
    xdotool keydown ctrl keydown alt key m
    settle
    xdotool keyup alt keyup ctrl
    # Shift still down while the Backspaces and the paste go out.
    type_keys 'om'
    xdotool keydown shift key w
    settle
    xdotool keyup shift
    expect_entry "aOn my way!Shifted"
    ;;

macro)
    steps="$(step 'Type Text' 'abc' 0 0 200),$(step 'Press Key' '' 0 262144 200)"
    steps+=",$(step 'Type Text' 'Grüße ✓ 😀' 0 0 200),$(step 'Wait' '' 0 0 100)"
    steps+=",$(step 'Press Key' '' 123 0 200),$(step 'Type Text' 'X' 0 0 200)"
    write_snippets "$(snippet mac '' 'After Delimiter' "\"macroSteps\":[$steps]")"
    printf 'kept' | xclip -selection clipboard -i
    start_quillo
    start_entry
    type_keys 'mac '
    settle 2
    after=$(xclip -selection clipboard -o)
    # Ctrl+A selected "abc", which the typed text replaced; Left went back over the emoji.
    expect_entry "Grüße ✓ X😀"
    [ "$after" = "kept" ] || fail "the clipboard holds '$after' afterwards"
    ;;

application_filter)
    write_snippets "$(snippet omw 'On my way' 'After Delimiter' '"blockedApps":["Zenity"]')" \
        "$(snippet brb 'Be right back' 'After Delimiter' '"allowedApps":["Zenity"]')" \
        "$(snippet ttyl 'Talk later' 'After Delimiter' '"allowedApps":["XTerm"]')"
    start_quillo
    start_entry
    # One word at a time: keys typed while an expansion runs reach the entry between its
    # Backspaces.
    for word in 'omw ' 'brb ' 'ttyl '; do
        type_keys "$word"
        settle
    done
    expect_entry "omw Be right backttyl "
    ;;

application_filter_active_window)
    # A window manager names the active window on the root window; that name wins over the
    # input focus.
    write_snippets "$(snippet omw 'On my way' 'After Delimiter' '"blockedApps":["Zenity"]')" \
        "$(snippet brb 'Be right back' 'After Delimiter' '"allowedApps":["Zenity"]')"
    start_quillo
    start_entry
    "$helper" active Other >"$work/active" &
    pids+=($!)
    for _ in $(seq 100); do
        [ -s "$work/active" ] && break
        sleep 0.05
    done
    for word in 'omw ' 'brb '; do
        type_keys "$word"
        settle
    done
    expect_entry "On my waybrb "
    ;;

clipboard_formats_come_back)
    write_snippets "$(snippet omw 'On my way')"
    printf 'plain text é' >"$work/text"
    printf '<b>bold</b> text' >"$work/html"
    "$helper" png >"$work/png"
    "$helper" own "$work/text" "$work/html" "$work/png" &
    pids+=($!)
    for _ in $(seq 100); do
        xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -q image/png && break
        sleep 0.05
    done
    xclip -selection clipboard -t TARGETS -o | sort >"$work/targets"
    start_quillo
    start_entry
    type_keys 'omw '
    settle
    expect_entry "On my way"
    xclip -selection clipboard -t TARGETS -o | sort >"$work/targets.after"
    lost=$(comm -23 "$work/targets" "$work/targets.after")
    [ -z "$lost" ] || fail "the clipboard no longer offers: $lost"
    for target in 'text/plain;charset=utf-8' UTF8_STRING; do
        xclip -selection clipboard -t "$target" -o >"$work/target.after"
        cmp -s "$work/text" "$work/target.after" ||
            fail "$target came back as '$(cat "$work/target.after")'"
    done
    xclip -selection clipboard -t text/plain -o >"$work/text.after"
    xclip -selection clipboard -t text/html -o >"$work/html.after"
    xclip -selection clipboard -t image/png -o >"$work/png.after"
    cmp -s "$work/text" "$work/text.after" || fail "the text came back as '$(cat "$work/text.after")'"
    cmp -s "$work/html" "$work/html.after" || fail "the HTML came back as '$(cat "$work/html.after")'"
    cmp -s "$work/png" "$work/png.after" || fail "the PNG image did not come back byte for byte"
    ;;

secure_input | secure_input_xinput2)
    write_snippets "$(snippet omw 'On my way')"
    start_quillo
    start_entry
    # Another client grabs the keyboard, as a password prompt does: nothing may expand, and
    # the keys go to the grabbing client, not to the entry.
    if [ "$case_name" = secure_input_xinput2 ]; then
        "$helper" grab xi >"$work/grabbed" &
    else
        "$helper" grab >"$work/grabbed" &
    fi
    grabber=$!
    pids+=($grabber)
    for _ in $(seq 100); do
        [ -s "$work/grabbed" ] && break
        sleep 0.05
    done
    type_keys 'omw '
    settle
    kill "$grabber"
    wait "$grabber" 2>/dev/null
    got=$(tail -n +2 "$work/grabbed")
    [ "$got" = "omw " ] || fail "the grabbing client got '$got', so something was sent to it"
    type_keys 'x'
    settle 0.3
    expect_entry "x"
    ;;

hotkey_taken)
    # Another program holds Ctrl+Alt+M: Quillo says so once and goes on with the rest.
    write_snippets "$(snippet '' 'Hi!' Hotkey '"hotkeyKeyCode":46,"hotkeyModifiers":786432')" \
        "$(snippet omw 'On my way')"
    "$helper" hold >"$work/holding" &
    pids+=($!)
    for _ in $(seq 100); do
        [ -s "$work/holding" ] && break
        sleep 0.05
    done
    start_quillo
    start_entry
    type_keys 'omw '
    settle
    expect_entry "On my way"
    [ "$(grep -c 'Hotkey Ctrl+Alt+M is taken by another program' "$work/quillo.out")" = 1 ] ||
        fail "quillo did not say once that Ctrl+Alt+M is taken"
    ;;

caps_lock)
    # Caps Lock on: hotkeys still fire (their grab has a Caps Lock variant), and typed text
    # keeps its case.
    macro="\"macroSteps\":[$(step 'Type Text' 'Ab1' 0 0 200)]"
    write_snippets "$(snippet '' 'Hi!' Hotkey '"hotkeyKeyCode":46,"hotkeyModifiers":786432')" \
        "$(snippet '' '' Hotkey "\"hotkeyKeyCode\":45,\"hotkeyModifiers\":786432,$macro")"
    start_quillo
    start_entry
    xdotool key Caps_Lock
    xdotool key ctrl+alt+m
    settle
    xdotool key ctrl+alt+n
    settle
    xdotool key Caps_Lock
    expect_entry "Hi!Ab1"
    ;;

layout_change)
    # A German layout swaps Y and Z: after the switch the keys must be read and typed anew.
    command -v setxkbmap >/dev/null || { echo "SKIPPED: setxkbmap is not installed"; exit 77; }
    write_snippets "$(snippet omy '' 'After Delimiter' "\"macroSteps\":[$(step 'Type Text' 'yz!' 0 0 200)]")"
    start_quillo
    start_entry
    type_keys 'omy '
    settle
    setxkbmap de
    sleep 0.5
    type_keys 'omy '
    settle
    expect_entry "yz!yz!"
    ;;

terminal_xterm | terminal_urxvt)
    # Terminals paste with keys of their own (or, in xterm, with none: the text is typed).
    program=${case_name#terminal_}
    if ! command -v "$program" >/dev/null; then
        echo "SKIPPED: $program is not installed (scripts/setup installs it)"
        exit 77
    fi
    write_snippets "$(snippet omw 'On my way')" "$(snippet link "<a href='{clipboard}'>{cursor}</a>")"
    printf 'https://example.com' | xclip -selection clipboard -i
    start_quillo
    start_terminal "$program"
    # Typed on at 40 ms a key, without waiting for an expansion to end.
    xdotool type --delay 40 'omw omw link Q'
    sleep 0.04
    got=$(terminal_text)
    after=$(xclip -selection clipboard -o)
    [ "$got" = "On my wayOn my way<a href='https://example.com'>Q</a>" ] || fail "$program read '$got'"
    [ "$after" = "https://example.com" ] || fail "the clipboard holds '$after' afterwards"
    ;;

# --- Password fields, known from the accessibility bus ------------------------------------------

password_field | password_then_entry)
    write_snippets "$(snippet omw 'On my way')"
    start_accessibility_bus
    [ "$(accessibility_switch)" = false ] || fail "the accessibility switch is on before quillo starts"
    start_quillo
    wait_for_accessibility
    # Programs that expose their accessible objects only when asked (Qt's, browsers') are asked.
    for _ in $(seq 40); do
        [ "$(accessibility_switch)" = true ] && break
        sleep 0.05
    done
    [ "$(accessibility_switch)" = true ] || fail "quillo did not turn the accessibility switch on"
    start_password quillo-e2e-password zenity --password --title=quillo-e2e-password
    if [ "$case_name" = password_field ]; then
        type_keys 'omw '
        settle
        expected_password="omw "
    else
        # Half the shortcut in the password field, the rest in an entry: had the password's
        # keys been kept, the entry would see the whole shortcut.
        type_keys 'om'
        settle 0.3
        start_entry
        type_keys 'w '
        settle
        type_keys 'omw '
        settle
        expect_entry "w On my way"
        expected_password="om"
    fi
    got=$(password_text)
    [ "$got" = "$expected_password" ] || fail "the password field holds '$got', expected '$expected_password'"
    # Quitting puts the switch back as quillo found it.
    kill -TERM "$quillo_pid"
    wait "$quillo_pid" 2>/dev/null
    [ "$(accessibility_switch)" = false ] || fail "the accessibility switch stayed on after quillo quit"
    ;;

password_then_terminal)
    # A program that is not on the accessibility bus takes the keyboard from a password field:
    # Quillo learns it from the field's window losing the focus, and expands again.
    write_snippets "$(snippet omw 'On my way')"
    start_accessibility_bus
    start_quillo
    wait_for_accessibility
    start_password quillo-e2e-password zenity --password --title=quillo-e2e-password
    type_keys 'omw '
    settle
    start_terminal xterm
    type_keys 'omw '
    settle
    got=$(terminal_text)
    [ "$got" = "On my way" ] || fail "xterm read '$got'"
    ;;

password_field_qt)
    # A Qt password field: Qt programs join the accessibility bus only when the switch is on.
    write_snippets "$(snippet omw 'On my way')"
    start_accessibility_bus
    start_quillo
    wait_for_accessibility
    start_password quillo-e2e-qt "$helper" password quillo-e2e-qt
    type_keys 'omw '
    settle
    got=$(password_text)
    [ "$got" = "omw " ] || fail "the Qt password field holds '$got', expected 'omw '"
    ;;

# --- Password fields across Quillo's starts, the accessibility switch and bus restarts --------

password_focused_before_start)
    # The fields had the focus before Quillo listened, so no event will say so: Quillo asks
    # the program in front. The Qt one joins the bus only when Quillo turns the switch on, with
    # its focus already in the field.
    write_snippets "$(snippet omw 'On my way')" \
        "$(snippet '' 'Best regards' Hotkey '"hotkeyKeyCode":40,"hotkeyModifiers":786432')"
    start_tray
    start_accessibility_bus
    start_password quillo-e2e-password zenity --password --title=quillo-e2e-password
    start_quillo
    wait_for_accessibility
    expect_password_kept
    kill -TERM "$quillo_pid"
    wait "$quillo_pid"
    wait_for_switch false
    start_password quillo-e2e-qt "$helper" password quillo-e2e-qt
    start_quillo
    wait_for_accessibility
    expect_password_kept
    ;;

accessibility_switch)
    write_snippets "$(snippet omw 'On my way')"
    start_accessibility_bus
    # Two Quillos at once (with two runtime folders neither hears of the other): the first
    # quitting must not turn the switch off under the second.
    start_quillo
    wait_for_switch true
    first=$quillo_pid
    XDG_RUNTIME_DIR="$work/run2" "$quillo" >"$work/second.out" 2>&1 &
    second=$!
    pids+=($second)
    for _ in $(seq 200); do
        dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.ListQueuedOwners string:io.github.quillo.Quillo.AccessibilitySwitch \
            2>/dev/null | grep -q ' :.* :' && break
        sleep 0.05
    done
    kill -TERM "$first"
    wait "$first"
    [ "$(accessibility_switch)" = true ] || fail "the quitting quillo turned the switch off under the other"
    kill -TERM "$second"
    wait "$second"
    # Turned off by someone else while Quillo runs: Quillo says so and leaves it off, and GTK
    # programs' password fields are still recognised.
    set_accessibility_switch false
    start_quillo
    wait_for_accessibility
    wait_for_switch true
    set_accessibility_switch false
    for _ in $(seq 100); do
        grep -q "accessibility switch was turned off" "$work/quillo.out" && break
        sleep 0.05
    done
    grep -q "accessibility switch was turned off" "$work/quillo.out" ||
        fail "quillo did not say that the switch was turned off"
    start_password quillo-e2e-password zenity --password --title=quillo-e2e-password
    expect_password_kept
    start_entry
    type_keys 'omw '
    settle
    expect_entry "On my way"
    [ "$(accessibility_switch)" = false ] || fail "quillo turned the switch on again"
    ;;

accessibility_bus_restarts)
    # A new registry knows no listeners and tells new programs of none; a new bus knows no
    # connections. Quillo registers and connects again, and new password fields count.
    write_snippets "$(snippet omw 'On my way')" \
        "$(snippet '' 'Best regards' Hotkey '"hotkeyKeyCode":40,"hotkeyModifiers":786432')"
    start_accessibility_bus
    start_quillo
    wait_for_accessibility
    registry=$(accessibility_process org.a11y.atspi.Registry)
    [ -n "$registry" ] || fail "no accessibility registry runs"
    kill -KILL "$registry"
    launcher=$(dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID \
        string:org.a11y.Bus | awk '{print $NF}')
    connections=1
    for restarted in registry bus; do
        connections=$((connections + 1))
        for _ in $(seq 200); do
            [ "$(grep -c "^Password fields are recognised through" "$work/quillo.out")" -ge "$connections" ] && break
            sleep 0.05
        done
        [ "$(grep -c "^Password fields are recognised through" "$work/quillo.out")" -ge "$connections" ] ||
            fail "quillo did not follow the accessibility bus again after the $restarted restarted"
        start_password quillo-e2e-password zenity --password --title=quillo-e2e-password
        expect_password_kept
        start_entry
        type_keys 'omw '
        settle
        expect_entry "On my way"
        # The launcher takes its bus with it; Quillo's next question starts another.
        [ "$restarted" = registry ] && kill -TERM "$launcher"
    done
    ;;

no_accessibility_bus)
    # A session bus that offers no accessibility bus: the grab rule alone, said once, and the
    # expansions go on.
    write_snippets "$(snippet omw 'On my way')"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
    start_quillo
    grep -q "^Password fields are recognised only while their program grabs the keyboard" \
        "$work/quillo.out" || fail "quillo did not say that it recognises password fields by grabs alone"
    start_entry
    type_keys 'omw '
    settle
    expect_entry "On my way"
    ;;

first_client_of_a_fresh_server)
    # An X server that starts afresh when its last client leaves (a bare Xvfb or an xinit
    # session), held back by a busy machine just as Quillo closes its first connection: Quillo
    # must not be that last client, or its next connection is dropped.
    [ -n "${QUILLO_E2E_SERVER_STALL:-}" ] || fail "QUILLO_E2E_SERVER_STALL names no library"
    write_snippets "$(snippet omw 'On my way')"
    LD_PRELOAD=$QUILLO_E2E_SERVER_STALL STALL_SERVER_PID=$xvfb_pid start_quillo
    start_entry
    type_keys 'omw '
    settle
    expect_entry "On my way"
    ;;

# --- Typing on ----------------------------------------------------------------------------------
# A person types a shortcut and goes on typing, at 40 to 300 ms a key: each line a fresh field,
# each ended by its own Return typed at the same pace.

typing_on_40 | typing_on_80 | typing_on_150 | typing_on_300)
    delay=${case_name#typing_on_}
    write_snippets "$(snippet omw 'On my way')" \
        "$(snippet '' 'Best regards,\nAda' Hotkey '"hotkeyKeyCode":40,"hotkeyModifiers":786432')" \
        "$(snippet ';em' 'ada@example.org' Instant)" \
        "$(snippet link "<a href='{clipboard}'>{cursor}</a>")"
    printf 'https://example.com' | xclip -selection clipboard -i
    start_quillo
    check() { # check EXPECTED GOT
        [ "$2" = "$1" ] || fail "at $delay ms a key the field holds '$2', expected '$1'"
    }
    start_entry
    check "On my waysee you " "$(type_line "$delay" 'omw see you ')"
    start_entry
    check "mail ada@example.org ok" "$(type_line "$delay" 'mail ;em ok')"
    start_entry
    check "On my wayOn my wayOn my wayhello On my way" "$(type_line "$delay" 'omw omw omw hello omw ')"
    start_entry
    check "<a href='https://example.com'>Quillo</a>" "$(type_line "$delay" 'link Quillo')"
    # The hotkey's Ctrl and Alt are let go while its expansion runs; none stays down after it.
    start_entry
    xdotool type --delay "$delay" 'Hi '
    xdotool key --delay "$delay" ctrl+alt+k
    check $'Hi Best regards,\nAda bye' "$(type_line "$delay" ' bye')"
    # A Qt field the same way.
    start_window quillo-e2e-qt "$helper" entry quillo-e2e-qt
    check "On my waysee you " "$(type_line "$delay" 'omw see you ')"
    after=$(xclip -selection clipboard -o)
    [ "$after" = "https://example.com" ] || fail "the clipboard holds '$after' afterwards"
    ;;

typing_on_input_method)
    # Programs that hand their keys to an input method (IBus) handle them asynchronously; the
    # expansion's keys and the keys typed on still come out in order.
    command -v ibus-daemon >/dev/null || { echo "SKIPPED: ibus is not installed (scripts/setup installs it)"; exit 77; }
    write_snippets "$(snippet omw 'On my way')" "$(snippet ';em' 'ada@example.org' Instant)"
    printf 'https://example.com' | xclip -selection clipboard -i
    export HOME="$work/home"
    mkdir -p "$HOME"
    ibus-daemon --single --panel=disable --emoji-extension=disable >"$work/ibus.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do
        ibus address 2>/dev/null | grep -q '^unix:' && break
        sleep 0.05
    done
    # The layout's own engine, which passes the keys on as the layout types them.
    ibus engine xkb:us::eng 2>/dev/null && [ "$(ibus engine 2>/dev/null)" = xkb:us::eng ] ||
        fail "the IBus daemon did not start: $(cat "$work/ibus.out")"
    start_quillo
    check() { # check EXPECTED GOT
        [ "$2" = "$1" ] || fail "through IBus the field holds '$2', expected '$1'"
    }
    # The clients of the IBus daemon; a program started with its module becomes one.
    ibus_clients() {
        dbus-send --address="$(ibus address)" --print-reply --dest=org.freedesktop.DBus \
            /org/freedesktop/DBus org.freedesktop.DBus.ListNames | grep -o '":1\.[0-9]*"' | sort
    }
    through_ibus() { # through_ibus CLIENTS-BEFORE
        for _ in $(seq 100); do
            [ -n "$(comm -13 <(printf '%s\n' "$1") <(ibus_clients))" ] && return 0
            sleep 0.05
        done
        fail "the entry's program did not connect to IBus"
    }
    clients=$(ibus_clients)
    GTK_IM_MODULE=ibus start_entry
    through_ibus "$clients"
    check "On my wayOn my wayOn my wayhello On my way" "$(type_line 40 'omw omw omw hello omw ')"
    clients=$(ibus_clients)
    GTK_IM_MODULE=ibus start_entry
    through_ibus "$clients"
    check "mail ada@example.org ok" "$(type_line 40 'mail ;em ok')"
    clients=$(ibus_clients)
    QT_IM_MODULE=ibus start_window quillo-e2e-qt "$helper" entry quillo-e2e-qt
    through_ibus "$clients"
    check "On my waysee you On my way" "$(type_line 40 'omw see you omw ')"
    after=$(xclip -selection clipboard -o)
    [ "$after" = "https://example.com" ] || fail "the clipboard holds '$after' afterwards"
    ;;

slow_paste)
    # A program that fetches a paste 300 to 800 ms after Ctrl+V still gets the snippet, and the
    # clipboard is the user's again afterwards.
    write_snippets "$(snippet omw 'On my way')"
    printf 'https://example.com' | xclip -selection clipboard -i
    start_quillo
    start_window quillo-e2e-late "$helper" late quillo-e2e-late 300 800
    # Typed on, the expansions queue up behind the slow fetches. Each holds the keys for a second
    # at most: on a busy machine a shortcut still held then is left as typed, whole. Never is a
    # shortcut half erased, nor the user's clipboard pasted in the snippet's place.
    got=$(type_line 150 'omw omw omw omw omw ')
    [[ $got =~ ^On\ my\ way(On\ my\ way|omw\ ){4}$ ]] || fail "the slow field holds '$got'"
    # Shift pressed before the expansion began still shifts the keys held during it.
    start_window quillo-e2e-late "$helper" late quillo-e2e-late 300 800
    xdotool type --delay 150 'omw'
    xdotool keydown shift key space key --delay 60 h i keyup shift
    got=$(type_line 150 ' ok')
    [ "$got" = "On my wayHI ok" ] || fail "with Shift held from before, the slow field holds '$got'"
    after=$(xclip -selection clipboard -o)
    [ "$after" = "https://example.com" ] || fail "the clipboard holds '$after' afterwards"
    ;;

clipboard_manager)
    # CopyQ keeps a history of the clipboard. What an expansion pastes is marked as a password
    # manager's secret, which CopyQ skips with the command its documentation gives for password
    # managers (CopyQ 8 and later skip it by themselves); the user's own copies are kept.
    command -v copyq >/dev/null || { echo "SKIPPED: copyq is not installed (scripts/setup installs it)"; exit 77; }
    write_snippets "$(snippet omw 'On my way')"
    export HOME="$work/home"
    mkdir -p "$HOME"
    copyq --start-server >"$work/copyq.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do
        copyq count >/dev/null 2>&1 && break
        sleep 0.05
    done
    copyq 'setCommands(commands().concat([{name: "Ignore password managers", automatic: true,
        input: "x-kde-passwordManagerHint", cmd: "copyq ignore"}]))' >/dev/null ||
        fail "CopyQ did not take the command"
    start_quillo
    start_entry
    for n in $(seq 10); do
        printf 'user copy %s' "$n" | xclip -selection clipboard -i
        for _ in $(seq 100); do
            [ "$(copyq read 0 2>/dev/null)" = "user copy $n" ] && break
            sleep 0.05
        done
        type_keys 'omw '
        settle 0.5
    done
    history=$(for i in $(seq 0 $(($(copyq count) - 1))); do copyq read "$i"; echo; done)
    grep -q "On my way" <<<"$history" && fail "CopyQ recorded a pasted snippet: $(tr '\n' '|' <<<"$history")"
    for n in $(seq 10); do
        grep -qx "user copy $n" <<<"$history" || fail "CopyQ lost the user's copy $n: $(tr '\n' '|' <<<"$history")"
    done
    expect_entry "$(printf 'On my way%.0s' $(seq 10))"
    ;;

click_or_window_change)
    # What was typed before a click or another window is no longer in front of the insertion
    # point: "om", a click, "w " does not expand (it would erase three characters that are not
    # the shortcut), nor does "om" in one window and "w " in another.
    write_snippets "$(snippet omw 'On my way')"
    start_quillo
    start_entry
    type_keys 'om'
    xdotool mousemove --window "$entry_window" 20 20 click 1
    type_keys 'w '
    settle 0.5
    first=$entry_window
    type_keys 'om'
    start_terminal xterm
    focus_window "$first"
    sleep 0.3
    type_keys 'w '
    settle 0.5
    type_keys 'omw '
    settle
    entry_window=$first
    expect_entry "omw omw On my way"
    ;;

snippets_file_edited_outside)
    # Another program writes the snippets file while Quillo runs: a half-written file is left as
    # it is and the list goes on; a file that reads well is live at once, also when it takes the
    # old one's place by a rename.
    write_snippets "$(snippet omw 'On my way')"
    start_quillo
    start_entry
    file=$XDG_DATA_HOME/Quillo/snippets.json
    printf '[{"id":' >"$file"
    settle
    type_keys 'omw '
    settle
    [ "$(cat "$file")" = '[{"id":' ] || fail "the half-written file was written over"
    grep -q "^Failed to load snippets: " "$work/quillo.out" || fail "quillo did not notice it"
    printf '[%s]' "$(snippet omw 'Oh my word')" >"$file.new"
    mv "$file.new" "$file"
    settle
    type_keys 'omw '
    settle
    expect_entry "On my wayOh my word"
    ;;

# --- Password dialogs opened every way, under load (password_stress.sh) -----------------------

password_stress)
    source "$(dirname "$0")/password_stress.sh"
    ;;

# --- Under load, and what is typed stays inside -------------------------------------------------
# Cases of their own: the clipboard through a long run of expansions with a large image on it,
# and a check that no keystroke reaches anything Quillo writes.

clipboard_under_load)
    # One owner offers text, HTML and a 5 MB image at once (noise barely compresses, so the
    # image crosses X in many pieces); 100 expansions typed at about 15 keys a second, one
    # after the other, must hand every format back byte for byte.
    started=$SECONDS
    write_snippets "$(snippet omw 'On my way')"
    printf 'plain text é under load' >"$work/text"
    printf '<p><b>bold</b> and <i>italic</i> é</p>' >"$work/html"
    "$helper" png 1280 1024 >"$work/png"
    [ "$(stat -c %s "$work/png")" -ge 5000000 ] || fail "the image has only $(stat -c %s "$work/png") bytes"
    "$helper" own "$work/text" "$work/html" "$work/png" &
    pids+=($!)
    for _ in $(seq 200); do
        xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -qx image/png && break
        sleep 0.05
    done
    # Every target the owner offers, save those about the selection itself (TIMESTAMP differs
    # from owner to owner), with its bytes.
    xclip -selection clipboard -t TARGETS -o | grep -vxE 'TARGETS|MULTIPLE|TIMESTAMP|SAVE_TARGETS' |
        sort >"$work/targets"
    mapfile -t targets <"$work/targets"
    [ "${#targets[@]}" -ge 3 ] || fail "the owner offers only: ${targets[*]}"
    for i in "${!targets[@]}"; do
        xclip -selection clipboard -t "${targets[$i]}" -o >"$work/before.$i" ||
            fail "could not read ${targets[$i]} before the expansions"
    done
    cmp -s "$work/png" "$work/before.$(grep -nx image/png "$work/targets" | cut -d: -f1 | awk '{print $1 - 1}')" ||
        fail "the owner did not serve the image as written"
    "$helper" watch >"$work/changes" &
    pids+=($!)
    for _ in $(seq 100); do
        grep -q watching "$work/changes" 2>/dev/null && break
        sleep 0.05
    done
    start_quillo
    start_entry
    expected=""
    # An expansion takes the clipboard and gives it back: once the owner has changed and the
    # image is offered again, it is over.
    expand_once() {
        local seen
        seen=$(wc -l <"$work/changes")
        xdotool type --delay 66 "$1"
        for _ in $(seq 200); do
            [ "$(wc -l <"$work/changes")" -gt "$seen" ] && break
            sleep 0.02
        done
        [ "$(wc -l <"$work/changes")" -gt "$seen" ] || fail "expansion $2 did not take the clipboard"
        local back=""
        for _ in $(seq 200); do
            xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -qx image/png && back=1 && break
            sleep 0.02
        done
        [ -n "$back" ] || fail "the image did not come back after expansion $2"
        kill -0 "$quillo_pid" 2>/dev/null || fail "quillo ended during expansion $2"
        # The engine hears that the expansion is over just after the clipboard is back.
        sleep 0.05
    }
    for n in $(seq 100); do
        # Now and then a word that expands nothing.
        if [ $((n % 10)) -eq 0 ]; then
            expand_once "and omw " "$n"
            expected+="and On my way"
        else
            expand_once "omw " "$n"
            expected+="On my way"
        fi
    done
    load_seconds=$((SECONDS - started))
    expect_entry "$expected"
    # Keys that keep coming while expansions run are held and come after each snippet.
    start_entry
    got=$(type_line 66 "omw omw and omw omw omw ")
    kill -0 "$quillo_pid" 2>/dev/null || fail "quillo ended while keys came during expansions"
    [ "$got" = "On my wayOn my wayand On my wayOn my wayOn my way" ] ||
        fail "typed on during the expansions, the entry holds '$got'"
    # Emptied only to be written at once, the clipboard always had an owner: clipboard managers
    # put their last entry back on an empty clipboard.
    ! grep -q none "$work/changes" || fail "the clipboard was left without an owner"
    xclip -selection clipboard -t TARGETS -o | grep -vxE 'TARGETS|MULTIPLE|TIMESTAMP|SAVE_TARGETS' |
        sort >"$work/targets.after"
    cmp -s "$work/targets" "$work/targets.after" ||
        fail "the formats offered changed: $(diff "$work/targets" "$work/targets.after" | tr '\n' ' ')"
    for i in "${!targets[@]}"; do
        xclip -selection clipboard -t "${targets[$i]}" -o >"$work/after.$i" ||
            fail "could not read ${targets[$i]} after the expansions"
        cmp -s "$work/before.$i" "$work/after.$i" ||
            fail "${targets[$i]} came back with other bytes ($(stat -c %s "$work/before.$i") before, $(stat -c %s "$work/after.$i") after)"
    done
    # Still alive and still expanding.
    start_entry
    expand_once "omw " 101
    expect_entry "On my way"
    echo "clipboard_under_load: $load_seconds s for 100 expansions; formats compared:" "${targets[@]}"
    ;;

typed_text_stays_private)
    # Everything Quillo could write lands in the case's folder, and a crash leaves its core
    # file in Quillo's working folder.
    export HOME="$work/home" XDG_CACHE_HOME="$work/cache" TMPDIR="$work/tmp"
    mkdir -p "$HOME" "$XDG_CACHE_HOME" "$TMPDIR"
    ulimit -c unlimited 2>/dev/null || ulimit -c "$(ulimit -H -c)"
    quillo=$(realpath "$quillo")
    cd "$HOME" || fail "no home folder"
    write_snippets "$(snippet omw 'On my way')" "$(snippet brb 'Be right back')"
    # Words new to every run, without the shortcuts' letters so that none can end in one.
    words=()
    for _ in 1 2 3 4; do
        words+=("$(LC_ALL=C tr -dc 'ac-ln-qs-vx-z' </dev/urandom | head -c 12)")
    done
    start_quillo
    start_entry
    xdotool type --delay 66 "${words[0]} ${words[1]} omw "
    settle
    xdotool type --delay 66 "${words[2]} brb "
    settle
    # The last word is still in the typing buffer, nothing has reset it.
    xdotool type --delay 66 "${words[3]}"
    settle 0.5
    # Prints the files among the paths that hold the word, as UTF-8 or as UTF-16.
    holding() {
        local word=$1
        shift
        local wide
        wide=$(printf '%s' "$word" | sed 's/./&\\x00/g')
        LC_ALL=C grep -rlaF -e "$word" "$@" 2>/dev/null
        LC_ALL=C grep -rlaP -e "$wide" "$@" 2>/dev/null
    }
    written=("$work/quillo.out" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
        "$XDG_RUNTIME_DIR" "$HOME" "$TMPDIR")
    for word in "${words[@]}"; do
        found=$(holding "$word" "${written[@]}")
        [ -z "$found" ] || fail "the typed word $word was written to: $found"
    done
    # The crash below skips the usual end, where a sanitizer build reports; what it found so
    # far is already written.
    if grep -qE "Sanitizer|runtime error" "$work/quillo.out"; then
        fail "a sanitizer reported a fault"
    fi
    # A crash: whatever report it leaves must hold nothing typed either.
    kill -ABRT "$quillo_pid"
    wait "$quillo_pid"
    status=$?
    unset quillo_pid
    [ "$status" -eq 134 ] || fail "quillo ended with status $status on SIGABRT"
    mapfile -t cores < <(find "$work" -type f -name 'core*')
    for word in "${words[@]}"; do
        found=$(holding "$word" "${written[@]}" ${cores[@]+"${cores[@]}"})
        [ -z "$found" ] || fail "the typed word $word was written to: $found"
    done
    expect_entry "${words[0]} ${words[1]} On my way${words[2]} Be right back${words[3]}"
    ;;

ime_omw)
    write_snippets "$(snippet omw 'On my way')"
    start_input_method
    start_entry
    type_keys 'omw and omw '
    settle
    expect_entry "On my wayand On my way"
    ;;

ime_qt)
    # A Qt field: the shortcut, a hotkey and {cursor}.
    write_snippets "$(snippet omw 'On my way')" "$(snippet bold '<b>{cursor}</b>')" \
        "$(snippet '' 'Bye!' Hotkey '"hotkeyKeyCode":46,"hotkeyModifiers":786432')"
    start_input_method
    start_window quillo-e2e-qt "$helper" entry quillo-e2e-qt
    type_keys 'omw '
    settle
    xdotool key ctrl+alt+m
    settle
    type_keys 'bold '
    settle
    type_keys 'x'
    expect_entry "On my wayBye!<b>x</b>"
    ;;

ime_hotkey_and_cursor)
    write_snippets "$(snippet bold '<b>{cursor}</b>')" \
        "$(snippet '' 'Bye!' Hotkey '"hotkeyKeyCode":46,"hotkeyModifiers":786432')"
    start_input_method
    start_entry
    type_keys 'a'
    xdotool key ctrl+alt+m
    settle
    type_keys 'bold '
    settle
    type_keys 'x'
    expect_entry "aBye!<b>x</b>"
    ;;

ime_started_by_ibus)
    # Choosing the engine starts Quillo through its component file when it is not running.
    command -v ibus-daemon >/dev/null || { echo "SKIPPED: ibus is not installed (scripts/setup installs it)"; exit 77; }
    write_snippets "$(snippet omw 'On my way')"
    export HOME="$work/home" GTK_IM_MODULE=ibus QT_IM_MODULE=ibus XMODIFIERS=@im=ibus
    mkdir -p "$HOME"
    install_component_file
    gsettings set org.freedesktop.ibus.general use-system-keyboard-layout true
    ibus-daemon --panel=disable --emoji-extension=disable --cache=none >"$work/ibus.out" 2>&1 &
    daemon=$!
    pids+=($daemon)
    for _ in $(seq 200); do
        ibus list-engine --name-only 2>/dev/null | grep -qx quillo && break
        kill -0 "$daemon" 2>/dev/null || fail "the IBus daemon ended: $(cat "$work/ibus.out")"
        sleep 0.05
    done
    ibus list-engine --name-only | grep -qx quillo || fail "IBus does not list Quillo's engine"
    ibus engine quillo 2>/dev/null
    for _ in $(seq 100); do
        [ "$(ibus engine 2>/dev/null)" = quillo ] && break
        sleep 0.05
    done
    [ "$(ibus engine 2>/dev/null)" = quillo ] || fail "IBus did not start Quillo: $(cat "$work/ibus.out")"
    start_entry
    type_keys 'omw '
    settle
    expect_entry "On my way"
    ;;

ime_selection)
    # The selection comes with the field's text from Qt, through the copy keys from GTK; the
    # clipboard is given back.
    write_snippets "$(snippet '' '[{selection}]' Hotkey '"hotkeyKeyCode":46,"hotkeyModifiers":786432')"
    printf 'kept' | xclip -selection clipboard -i
    start_input_method
    start_entry
    type_keys 'hello world'
    xdotool key ctrl+shift+Left
    xdotool key ctrl+alt+m
    settle
    expect_entry "hello [world]"
    start_window quillo-e2e-qt "$helper" entry quillo-e2e-qt
    type_keys 'hello world'
    xdotool key ctrl+shift+Left
    xdotool key ctrl+alt+m
    settle
    expect_entry "hello [world]"
    after=$(xclip -selection clipboard -o)
    [ "$after" = "kept" ] || fail "the clipboard holds '$after' afterwards"
    ;;

ime_macro)
    # Typed text is committed, Left is forwarded to the entry, the Wait is waited.
    steps="$(step 'Type Text' 'abc' 0 0 200),$(step 'Wait' '' 0 0 100)"
    steps+=",$(step 'Press Key' '' 123 0 200),$(step 'Type Text' 'Grüße ✓' 0 0 200)"
    write_snippets "$(snippet mac '' 'After Delimiter' "\"macroSteps\":[$steps]")"
    printf 'kept' | xclip -selection clipboard -i
    start_input_method
    start_entry
    type_keys 'mac '
    settle 2
    after=$(xclip -selection clipboard -o)
    expect_entry "abGrüße ✓c"
    [ "$after" = "kept" ] || fail "the clipboard holds '$after' afterwards"
    ;;

ime_dead_key)
    # A shortcut typed with a dead key matches what the field shows.
    command -v setxkbmap >/dev/null || { echo "SKIPPED: setxkbmap is not installed"; exit 77; }
    setxkbmap us -variant intl || fail "setxkbmap failed"
    write_snippets "$(snippet 'café' 'Coffee')"
    start_input_method
    start_entry
    type_keys 'a caf'
    xdotool key dead_acute e space
    settle
    xdotool key dead_acute e
    expect_entry "a Coffeeé"
    ;;

ime_terminal)
    # GNOME's terminal widget takes the input method's text but tells it no surrounding text:
    # the erase goes as Backspace keys, and the text typed on after them lands after the
    # expansion. The clipboard is not used.
    /usr/bin/python3 -c 'import gi; gi.require_version("Vte", "2.91")' 2>/dev/null ||
        { echo "SKIPPED: GTK's terminal widget is not installed (scripts/setup installs it)"; exit 77; }
    write_snippets "$(snippet omw 'On my way')" "$(snippet bold '<b>{cursor}</b>')"
    printf 'kept' | xclip -selection clipboard -i
    start_input_method
    start_terminal quillo-e2e-vte /usr/bin/python3 "$(dirname "$0")/vte_terminal.py"
    xdotool type --delay 40 'omw see you omw bold x'
    sleep 0.04
    got=$(terminal_text)
    after=$(xclip -selection clipboard -o)
    [ "$got" = "On my waysee you On my way<b>x</b>" ] || fail "the terminal read '$got'"
    [ "$after" = "kept" ] || fail "the clipboard holds '$after' afterwards"
    ;;

ime_daemon_restarts)
    # IBus started again (`ibus restart`, or the desktop after a crash) and its source chosen
    # again, as the desktop does: Quillo's engine is there again, in the field that stayed open
    # and in new ones.
    write_snippets "$(snippet omw 'On my way')"
    start_tray
    start_input_method
    start_entry
    type_keys 'omw '
    settle 0.5
    ibus exit || fail "the IBus daemon did not end"
    ibus-daemon --panel=disable --emoji-extension=disable --cache=none >"$work/ibus.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        ibus engine quillo 2>/dev/null && [ "$(ibus engine 2>/dev/null)" = quillo ] && break
        sleep 0.05
    done
    [ "$(ibus engine 2>/dev/null)" = quillo ] || fail "the new daemon did not take Quillo's engine"
    expect_open_and_new_entries_expand
    ;;

ime_restart | ime_restart_unlisted)
    # Quitting Quillo and starting it again, as at an update or a crash: IBus still names its
    # engine the active one, and the field that stayed open and new fields expand again. Quillo
    # is listed by IBus through the component file installed with it, or, run from its build
    # folder, only as it registers itself.
    command -v ibus-daemon >/dev/null || { echo "SKIPPED: ibus is not installed (scripts/setup installs it)"; exit 77; }
    write_snippets "$(snippet omw 'On my way')"
    start_tray
    [ "$case_name" = ime_restart ] && install_component_file
    start_input_method
    start_entry
    type_keys 'omw '
    settle 0.5
    restart_quillo
    expect_open_and_new_entries_expand
    # Another source chosen before the restart stays chosen. IBus takes the engine from it when
    # a program that registered an engine quits: then it has none, but is not Quillo's either.
    ibus engine xkb:us::eng || fail "IBus did not switch to the layout's engine"
    restart_quillo
    start_entry
    type_keys 'omw '
    settle
    expect_entry "omw "
    engine=$(ibus engine 2>/dev/null)
    if [ "$case_name" = ime_restart ]; then
        [ "$engine" = xkb:us::eng ] || fail "IBus's engine is now '$engine'"
    else
        [ -z "$engine" ] || fail "IBus's engine is now '$engine'"
    fi
    ;;

ime_typing_on_40 | ime_typing_on_150)
    # Keys typed on while an expansion writes land after it.
    delay=${case_name#ime_typing_on_}
    write_snippets "$(snippet omw 'On my way')"
    start_input_method
    start_entry
    got=$(type_line "$delay" 'omw see you omw ok')
    [ "$got" = "On my waysee you On my wayok" ] || fail "at $delay ms a key the entry holds '$got'"
    start_window quillo-e2e-qt "$helper" entry quillo-e2e-qt
    got=$(type_line "$delay" 'omw see you ')
    [ "$got" = "On my waysee you " ] || fail "at $delay ms a key the Qt field holds '$got'"
    ;;

ime_application_filter)
    # Through the input method the application is told by the input context and the accessibility
    # bus, not by the X window, which this zenity makes say "Disguise". Launcher files give the
    # programs' own names launcher ids, as filters written in a Wayland session hold them.
    mkdir -p "$XDG_DATA_HOME/applications"
    printf '[Desktop Entry]\nType=Application\nName=Entry\nExec=zenity --entry\nStartupWMClass=Zenity\n' \
        >"$XDG_DATA_HOME/applications/org.example.Entry.desktop"
    printf '[Desktop Entry]\nType=Application\nName=Helper\nExec=quillo_e2e_helper entry\n' \
        >"$XDG_DATA_HOME/applications/org.example.Helper.desktop"
    write_snippets "$(snippet omw 'On my way' 'After Delimiter' '"allowedApps":["org.example.Entry"]')" \
        "$(snippet brb 'Be right back' 'After Delimiter' '"blockedApps":["Disguise"]')" \
        "$(snippet ttyl 'Talk later' 'After Delimiter' '"blockedApps":["Zenity"]')" \
        "$(snippet gtg 'Got to go' 'After Delimiter' '"allowedApps":["org.example.Helper"]')"
    start_accessibility_bus
    start_input_method
    wait_for_accessibility
    start_entry focus --class=Disguise
    [ "$(xprop -id "$entry_window" WM_CLASS 2>/dev/null)" = 'WM_CLASS(STRING) = "zenity", "Disguise"' ] ||
        fail "zenity's window is not disguised: $(xprop -id "$entry_window" WM_CLASS 2>&1)"
    for word in 'omw ' 'brb ' 'ttyl ' 'gtg '; do
        type_keys "$word"
        settle
    done
    expect_entry "On my wayBe right backttyl gtg "
    # A Qt field names no program to IBus; its process on the accessibility bus names its
    # executable, which a link of another name hides from X (Qt takes the window's class from it).
    ln -s "$(realpath "$helper")" "$work/masked-helper"
    start_window quillo-e2e-qt "$work/masked-helper" entry quillo-e2e-qt
    xprop -id "$entry_window" WM_CLASS 2>/dev/null | grep -qi quillo_e2e_helper &&
        fail "the helper's window is not disguised: $(xprop -id "$entry_window" WM_CLASS 2>&1)"
    for word in 'omw ' 'ttyl ' 'gtg '; do
        type_keys "$word"
        settle
    done
    expect_entry "omw Talk laterGot to go"
    ;;

ime_password_field)
    # GTK keeps the input method from a hidden entry; nothing reaches Quillo there.
    write_snippets "$(snippet omw 'On my way')"
    start_input_method
    start_password quillo-e2e-password zenity --password --title=quillo-e2e-password
    type_keys 'omw '
    settle
    got=$(password_text)
    [ "$got" = "omw " ] || fail "the password field holds '$got'"
    # A field that says it is for a password, with its text shown: the same program expands in
    # a field of another purpose, and not in this one.
    /usr/bin/python3 -c 'import gi; gi.require_version("Gtk", "3.0")' 2>/dev/null ||
        fail "python3-gi and GTK's introspection data are missing (scripts/setup installs them)"
    for purpose in free_form password pin; do
        start_window "quillo-e2e-$purpose" /usr/bin/python3 "$(dirname "$0")/purpose_entry.py" \
            "quillo-e2e-$purpose" "$purpose"
        type_keys 'omw '
        settle
        got=$(entry_text)
        case $purpose in
        free_form) want="On my way" ;;
        *) want="omw " ;;
        esac
        [ "$got" = "$want" ] || fail "the $purpose field holds '$got', expected '$want'"
    done
    ;;

wayland_ime)
    # A Wayland session: GTK's entry as a Wayland client hands its keys to IBus, which hands them
    # to Quillo's engine; the keys come from mutter's remote desktop, as from a keyboard, and the
    # typing goes on right after the shortcut.
    write_snippets "$(snippet omw 'On my way...')"
    start_wayland_session
    # No tray: Quillo opens its settings window at start, as on a first run, and mutter goes on
    # naming that window the active one while the Wayland entry has the keyboard.
    start_input_method
    start_wayland_entry
    wayland_type 40 $'omw and omw more\n'
    got=$(wayland_entry_text)
    [ "$got" = "On my way...and On my way...more" ] || fail "the entry holds '$got'"
    ;;

*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
display_is_ours || fail "the X server changed during the case"
# Quillo ends on SIGTERM like any program; a sanitizer build reports its findings then.
if [ -n "${quillo_pid:-}" ]; then
    kill -TERM "$quillo_pid"
    wait "$quillo_pid"
    status=$?
    [ "$status" -eq 0 ] || fail "quillo ended with status $status on SIGTERM"
    if grep -qE "Sanitizer|runtime error" "$work/quillo.out"; then
        fail "a sanitizer reported a fault"
    fi
fi
echo "PASS ($case_name)"

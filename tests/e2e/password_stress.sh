# Password fields under stress, sourced by e2e.sh for the case password_stress (its helpers and
# variables are this file's too).
#
# GTK (zenity) and Qt password dialogs, opened every way a person opens one: focused by the
# window manager as it maps them, activated, focused directly, clicked, typed into late, right
# after an ordinary entry, right after Quillo's own settings window, right after Quillo was quit
# and started again; every other set with both cores busy. In each dialog "omw " is typed and
# Ctrl+Alt+K pressed: not one may expand or paste. The clipboard must not change while the
# dialogs are typed into (Quillo pastes through it), and an ordinary entry typed into after each
# set must still expand.
#
#   QUILLO_E2E_STRESS_DIALOGS   how many dialogs (default 40; a multiple of the set's 8)

command -v openbox >/dev/null || {
    echo "SKIPPED: openbox is not installed (scripts/setup installs it)"
    exit 77
}
dialogs=${QUILLO_E2E_STRESS_DIALOGS:-40}
ways=(manager activate focus click late after_entry after_settings restart)
started=$SECONDS

write_snippets "$(snippet omw 'On my way')" \
    "$(snippet '' 'Best regards,\\nAda' Hotkey '"hotkeyKeyCode":40,"hotkeyModifiers":786432')"
openbox >"$work/openbox.out" 2>&1 &
pids+=($!)
# A window opened at start would take the focus from a dialog at a random moment.
start_tray
start_accessibility_bus
"$helper" watch >"$work/changes" &
pids+=($!)
for _ in $(seq 100); do
    grep -q watching "$work/changes" 2>/dev/null && break
    sleep 0.05
done

clipboard_changes() { grep -c changed "$work/changes"; }

# find_window TITLE: xdotool's own waiting search ends with an X error when a window it looks at
# goes away meanwhile, as the dialogs closing here do.
find_window() {
    local found
    for _ in $(seq 400); do
        found=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1)
        [ -n "$found" ] && echo "$found" && return
        sleep 0.05
    done
}

# An ordinary entry, given the keyboard.
open_entry() {
    zenity --entry --title=quillo-e2e --text=type >"$work/entry.out" 2>/dev/null &
    entry_pid=$!
    pids+=($entry_pid)
    entry_window=$(find_window quillo-e2e)
    [ -n "$entry_window" ] || fail "the entry after dialog $n did not appear"
    has_focus "$entry_window" 80 || xdotool windowactivate --sync "$entry_window"
    wait_for_focus "$entry_window"
}

start_quillo_and_wait() {
    start_quillo
    wait_for_accessibility
}

# has_focus WINDOW [TRIES]: whether X gives WINDOW the keyboard within TRIES looks, after which
# its program reads the keys in order behind the focus change.
has_focus() {
    for _ in $(seq "${2:-400}"); do
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
        sleep 0.025
    done
    return 1
}
wait_for_focus() {
    has_focus "$1" && return
    local focus
    focus=$(xdotool getwindowfocus 2>/dev/null)
    fail "dialog $n ($way, $kind): window $1 never got the keyboard, which stays with $focus" \
        "($(xdotool getwindowname "$focus" 2>/dev/null)); the active window is" \
        "$(xdotool getactivewindow 2>/dev/null)"
}

# close WINDOW PID: Return, typed (a key sent to a window is ignored under a window manager),
# ends the dialog, which writes what it held.
close() {
    wait_for_focus "$1"
    xdotool key Return
    for _ in $(seq 200); do
        kill -0 "$2" 2>/dev/null || return
        sleep 0.05
    done
    fail "dialog $n did not close"
}

# An ordinary entry still expands; its expansion also comes after every key typed before it.
entry_expands() {
    open_entry
    local seen
    seen=$(clipboard_changes)
    type_keys 'omw '
    for _ in $(seq 200); do
        [ "$(clipboard_changes)" -gt "$seen" ] && break
        sleep 0.05
    done
    settle
    close "$entry_window" "$entry_pid"
    [ "$(cat "$work/entry.out")" = "On my way" ] ||
        fail "the entry after dialog $n holds '$(cat "$work/entry.out")', expected 'On my way'"
}

n=0
unfocused=0
start_quillo_and_wait
entry_expands
busy=()
for n in $(seq "$dialogs"); do
    way=${ways[$(((n - 1) % ${#ways[@]}))]}
    kind=$([ $((n % 2)) -eq 0 ] && echo qt || echo gtk)
    if [ $(((n - 1) % ${#ways[@]})) -eq 0 ]; then
        # Quillo gives the clipboard back by owning it, and a Quillo that quits lets go of it:
        # another owner, so that only an expansion changes it.
        printf 'kept' | xclip -selection clipboard -i
        for _ in $(seq 100); do
            [ "$(xclip -selection clipboard -o 2>/dev/null)" = kept ] && break
            sleep 0.05
        done
        sleep 0.2
        set_changes=$(clipboard_changes)
        # Every other set with both cores busy.
        if [ $(((n - 1) / ${#ways[@]} % 2)) -eq 1 ]; then
            for _ in 1 2; do
                sh -c 'while :; do :; done' &
                busy+=($!)
                pids+=($!)
            done
        fi
    fi
    case $way in
    after_entry)
        open_entry
        type_keys 'x'
        close "$entry_window" "$entry_pid"
        ;;
    after_settings)
        # Started again, Quillo brings the running one's settings window forward.
        "$quillo" >/dev/null 2>&1
        settings_window=$(find_window 'Quillo Settings')
        wait_for_focus "$settings_window"
        ;;
    restart)
        kill -TERM "$quillo_pid"
        wait "$quillo_pid"
        start_quillo_and_wait
        ;;
    esac
    title=quillo-e2e-stress-$n
    if [ "$kind" = gtk ]; then
        zenity --password --title="$title" >"$work/password.out" 2>/dev/null &
    else
        "$helper" password "$title" >"$work/password.out" 2>/dev/null &
    fi
    password_pid=$!
    pids+=($password_pid)
    password_window=$(find_window "$title")
    [ -n "$password_window" ] || fail "dialog $n ($kind) did not appear"
    case $way in
    activate) xdotool windowactivate --sync "$password_window" ;;
    focus) xdotool windowfocus --sync "$password_window" ;;
    click) xdotool mousemove --window "$password_window" 20 20 click 1 ;;
    *)
        # The window manager focuses a new window, unless it holds that another was used since
        # the dialog was started (focus stealing prevention): then, as a person would, it is
        # activated.
        if ! has_focus "$password_window" 80; then
            xdotool windowactivate --sync "$password_window"
            unfocused=$((unfocused + 1))
        fi
        ;;
    esac
    wait_for_focus "$password_window"
    [ "$way" = late ] && sleep 1
    type_keys 'omw '
    xdotool key ctrl+alt+k
    # An expansion or paste that comes after the dialog closed still takes the clipboard.
    close "$password_window" "$password_pid"
    got=$(cat "$work/password.out")
    [ "$got" = "omw " ] || fail "dialog $n ($way, $kind) holds '$got', expected 'omw '"
    if [ $((n % ${#ways[@]})) -eq 0 ] || [ "$n" -eq "$dialogs" ]; then
        for pid in "${busy[@]}"; do
            kill "$pid"
        done
        busy=()
        settle
        [ "$(clipboard_changes)" = "$set_changes" ] ||
            fail "the clipboard changed while the dialogs up to $n were typed into"
        entry_expands
    fi
done
echo "password_stress: $dialogs dialogs in $((SECONDS - started)) s," \
    "$unfocused of them activated after the window manager left them unfocused"

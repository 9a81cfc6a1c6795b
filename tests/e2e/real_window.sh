#!/usr/bin/env bash
# The whole path in a real window: the real vantrel executable on a private X server (Xvfb with
# a window manager), driven with real keyboard and mouse events (xdotool), its effects checked
# outside the program. Every window on the way is saved as <build>/screenshots/e2e_*.png.
#
# Usage: real_window.sh first-start|demo-tcp|demo-rtu BUILD_DIR
#   first-start  a fresh settings folder: splash, the main window's hint, the About box, the
#                Help menu, quitting; the settings file then holds the demo locations.
#   demo-tcp     with the demo unit: Connect to "Demo unit (Modbus/TCP)", read ten holding
#   demo-rtu     registers and write one with function 06 in the Test dialog, save the Comms Log
#                report; the register is read back by an independent client (libmodbus through
#                Python), the report holds TX and RX frames, the settings name the location.
#                Skipped (exit 77) while the build has no Connect window.
set -euo pipefail

mode="${1:?mode}"
build="$(cd "${2:?build directory}" && pwd)"
app="$build/app/vantrel"
demo="$build/app/vantrel-demo-unit"
shots="$build/screenshots"
readonly skip=77

for tool in Xvfb openbox xdotool import convert python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"
        exit $skip
    fi
done
mkdir -p "$shots"
work="$(mktemp -d "$build/tmp-e2e-XXXXXX")"
pids=()
app_pid=""

cleanup() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid="${pids[i]}"
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 20 "$log"; } >&2
    done
    exit 1
}

# Waits until the command succeeds, up to $1 tenths of a second.
wait_for() {
    local tenths="$1"
    shift
    for ((n = 0; n < tenths; n++)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

start_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    wait_for 100 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$work/display")"
    openbox >"$work/openbox.log" 2>&1 &
    pids+=($!)
    # The window manager is up once it has announced itself on the root window.
    wait_for 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        fail "the window manager did not start"
}

# Prints the first visible window whose title matches the regular expression $1 and whose id is
# not $3, waiting up to $2 tenths of a second; fails when none appears.
find_window() {
    local pattern="$1" tenths="$2" other="${3:-}" id
    for ((n = 0; n < tenths; n++)); do
        for id in $(xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
            if [ "$id" != "$other" ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Prints the id of the window titled $1 once it is visible, waiting up to $2 tenths of a second.
# Returns 77 when it does not appear and the build has no such window (no class $3 in the
# executable), so that a path through windows still to come is skipped; fails otherwise.
await_window() {
    local id
    if id="$(find_window "^$1\$" "$2")"; then
        echo "$id"
        return 0
    fi
    grep -qa "$3" "$app" && fail "the $1 window did not appear"
    echo "SKIP: this build has no $1 window yet" >&2
    return $skip
}

# Ends a run whose next window this build lacks: quits through main window $1 and exits with
# status $2 (77: skipped).
end_early() {
    [ "$2" -eq $skip ] || exit "$2"
    quit_program "$1"
    exit $skip
}

# Saves window $1 with its frame as e2e_$2.png, after a moment for it to paint.
shot() {
    sleep 0.5
    import -frame -window "$1" "$shots/e2e_$2.png" || fail "no screenshot $2"
}

press() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
    shift
    xdotool key --clearmodifiers "$@"
}

# Opens the menu with mnemonic $2 of window $1 and chooses its item with mnemonic $3.
choose() {
    press "$1" "alt+$2"
    sleep 0.5
    xdotool key "$3"
}

start_program() {
    QT_QPA_PLATFORM=xcb VANTREL_SETTINGS="$settings" VANTREL_PORTS_DIR="$work/ports" \
        VANTREL_VIEWER=true "$app" >"$work/vantrel.log" 2>&1 &
    app_pid=$!
    pids+=("$app_pid")
}

# The splash comes first; OK appears after five seconds and takes Return. Prints the main
# window's id.
pass_splash() {
    local splash main
    splash="$(find_window '^Vantrel$' 150)" || fail "no splash"
    shot "$splash" splash
    sleep 5.5
    shot "$splash" splash_ok
    press "$splash" Return
    main="$(find_window '^Vantrel$' 100 "$splash")" || fail "the main window did not appear"
    wait_for 50 sh -c "! xdotool search --onlyvisible --name '^Vantrel$' | grep -qx '$splash'" ||
        fail "the splash did not close"
    echo "$main"
}

# The program ends through the window manager's close (there is no Exit command in the menus),
# saving its settings.
quit_program() {
    press "$1" alt+F4
    local status=0
    wait_for 200 sh -c "! kill -0 $app_pid" || fail "the program did not end"
    wait "$app_pid" || status=$?
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

# Fails unless the view's middle shows something (the hint) rather than an empty grey form.
check_hint_painted() {
    import -window "$1" "$work/main.png"
    local colours
    colours="$(convert "$work/main.png" -crop 500x110+70+150 +repage -format %k info:)"
    [ "$colours" -gt 2 ] || fail "the main view shows no hint ($colours colours)"
}

first_start() {
    settings="$work/settings/VNTLSettings.dat"
    mkdir -p "$work/settings"
    start_display
    start_program
    local main about
    main="$(pass_splash)"
    check_hint_painted "$main"
    shot "$main" main_window

    # The mouse over a toolbar button puts its prompt into the first pane.
    xdotool mousemove --window "$main" 24 34
    shot "$main" main_window_prompt

    press "$main" alt+h
    sleep 0.5
    import -window root "$shots/e2e_help_menu.png"
    xdotool key a
    about="$(find_window '^About' 50)" || fail "Help > About did not open the About box"
    shot "$about" about
    press "$about" Return
    wait_for 50 sh -c "! xdotool search --onlyvisible --name '^About' | grep -q ." ||
        fail "the About box did not close"

    quit_program "$main"
    [ -f "$settings" ] || fail "no settings file written"
    grep -qa "Demo unit (Modbus/TCP)" "$settings" || fail "settings lack the Modbus/TCP demo"
    grep -qa "Demo unit (RTU)" "$settings" || fail "settings lack the RTU demo"
    echo "PASS: first start"
}

# Reads holding register $1 from the demo unit over Modbus/TCP with libmodbus, not the program.
read_register() {
    python3 - "$tcp_port" "$1" <<'PY'
import ctypes, sys
lib = ctypes.CDLL("libmodbus.so.5")
lib.modbus_new_tcp.restype = ctypes.c_void_p
ctx = ctypes.c_void_p(lib.modbus_new_tcp(b"127.0.0.1", int(sys.argv[1])))
value = (ctypes.c_uint16 * 1)()
if lib.modbus_connect(ctx) != 0 or lib.modbus_read_registers(ctx, int(sys.argv[2]), 1, value) != 1:
    sys.exit(1)
print(value[0])
PY
}

start_demo_unit() {
    "$demo" --tcp-port 0 --rtu-tcp-port 0 --com 9 --ports-dir "$work/ports" \
        --write-settings "$settings" >"$work/demo.out" 2>"$work/demo.log" &
    pids+=($!)
    wait_for 150 grep -q ready "$work/demo.out" || fail "the demo unit did not start"
    tcp_port="$(sed -n 's/.*Modbus\/TCP on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/demo.out")"
}

# Types $2 into the field whose label carries the mnemonic $1 in window $3, replacing its text.
fill() {
    press "$3" "alt+$1" ctrl+a
    xdotool type --delay 30 "$2"
}

# Test dialog, through its labels' mnemonics: function 03 (the initial one) from Data Register
# 0 for ten values, Transmit; then function 06 writing $written to register $register, Transmit.
test_dialog_read_and_write() {
    local dialog="$1"
    fill r 0 "$dialog"
    fill n 10 "$dialog"
    press "$dialog" alt+t
    sleep 1.5
    shot "$dialog" "test_dialog_read_$location_tag"
    press "$dialog" alt+f
    xdotool type --delay 30 "06"
    press "$dialog" Tab
    fill r "$register" "$dialog"
    fill v "$written" "$dialog"
    press "$dialog" alt+t
    sleep 1.5
    shot "$dialog" "test_dialog_write_$location_tag"
}

# Comms Log: Save writes the report through the Save As dialog.
save_comms_log() {
    local main="$1" log save
    choose "$main" v c
    log="$(await_window 'Communications Log' 50 CCommsLogDlg)" || end_early "$main" $?
    shot "$log" "comms_log_$location_tag"
    press "$log" alt+s
    save="$(find_window 'Save' 50 "$log")" || fail "Save opened no file dialog"
    xdotool type --delay 20 "$work/report.txt"
    press "$save" Return
    wait_for 50 test -s "$work/report.txt" || fail "no report written"
    grep -q "TX" "$work/report.txt" || fail "the report holds no TX frame"
    grep -q "RX" "$work/report.txt" || fail "the report holds no RX frame"
    press "$log" Escape
}

demo_path() {
    local location_name="$1" location_row="$2"
    location_tag="$3"
    register=5
    written=4321
    settings="$work/settings/VNTLSettings.dat"
    mkdir -p "$work/settings"
    start_display
    start_demo_unit
    start_program
    local main connect test_dialog
    main="$(pass_splash)"
    choose "$main" o n
    connect="$(await_window 'Connect to unit' 50 CConnectDlg)" || end_early "$main" $?
    for ((row = 0; row < location_row; row++)); do press "$connect" Down; done
    shot "$connect" "connect_$location_tag"
    press "$connect" Return
    test_dialog="$(await_window 'Test Modbus Communications' 150 CTestModbusDlg)" ||
        end_early "$main" $?
    shot "$test_dialog" "test_dialog_$location_tag"
    test_dialog_read_and_write "$test_dialog"
    [ "$(read_register "$register")" = "$written" ] ||
        fail "register $register does not hold $written after the write"
    press "$test_dialog" Escape
    save_comms_log "$main"
    quit_program "$main"
    head -c 64 "$settings" | grep -qa "$location_name" ||
        fail "the settings do not name $location_name as the last location"
    echo "PASS: demo unit over $location_name"
}

case "$mode" in
first-start) first_start ;;
demo-tcp) demo_path "Demo unit (Modbus/TCP)" 0 tcp ;;
demo-rtu) demo_path "Demo unit (RTU)" 1 rtu ;;
*) fail "unknown mode $mode" ;;
esac

#!/usr/bin/env bash
# The whole path in a real window: the real vantrel executable on a private X server (Xvfb with
# a window manager), driven with real keyboard and mouse events (xdotool), its effects checked
# outside the program. Every window on the way is saved as <build>/screenshots/e2e_*.png.
#
# Usage: real_window.sh first-start|demo-tcp|demo-rtu BUILD_DIR
#   first-start  a fresh settings folder: splash, the main window's hint, the About box, the
#                Help menu, quitting; the settings file then holds the demo locations.
#   demo-tcp     with the demo unit: Online > Connect to "Demo unit (Modbus/TCP)" (keyboard) or
#   demo-rtu     "Demo unit (RTU)" on COM9 (a double click in the list); in the Test dialog read
#                ten holding registers and write one with function 06; save the Comms Log report.
#                The register is read back by an independent client (libmodbus through Python),
#                the report must hold both exchanges' TX and RX frames, and the read's Transmit
#                and Receive boxes (copied with Ctrl+A, Ctrl+C) the very frames the report holds,
#                Modbus/TCP transaction identifier included; the settings file must name the
#                location, and the demo unit must end cleanly.
#   installed    BUILD_DIR is a root the Debian package was unpacked into: the program under
#                usr/bin starts, and Help Topics and Release Notes hand the viewer the installed
#                documents under usr/share/vantrel.
#
# Every wait polls with a deadline: the machine may be slow and loaded, and nothing may hang.
set -euo pipefail
# A failure inside "$(...)" ends that substitution, and the assignment then ends the run: without
# this a failed wait for a window printed an empty id and the run went on with it.
shopt -s inherit_errexit

mode="${1:?mode}"
build="$(cd "${2:?build directory}" && pwd)"
app="$build/app/vantrel"
demo="$build/app/vantrel-demo-unit"
if [ "$mode" = installed ]; then
    app="$build/usr/bin/vantrel"
fi
shots="$build/screenshots"
readonly skip=77
# Seconds to wait for a window or an effect; generous, since a loaded machine is slow.
readonly kWindowSeconds=30
readonly kEffectSeconds=20
# Changed pixels a grab may differ by and still count as the same picture (a blinking cursor).
readonly kCursorPixels=64

for tool in Xvfb openbox xdotool xwininfo import compare python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"
        exit $skip
    fi
done
mkdir -p "$shots"
work="$(mktemp -d "$build/tmp-e2e-XXXXXX")"
pids=()
app_pid=""
demo_pid=""

# Ends process $1 with SIGTERM, then SIGKILL if it is still there after five seconds.
stop_process() {
    kill -TERM "$1" 2>/dev/null || return 0
    for ((n = 0; n < 50; n++)); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        stop_process "${pids[i]}"
    done
    rm -rf "$work"
}
trap cleanup EXIT

# Says what the screen and the program were doing: the visible windows and, when the program
# still runs, its state and the stack of each of its threads.
describe_state() {
    if [ -n "${DISPLAY:-}" ]; then
        echo "--- visible windows"
        for id in $(timeout 5 xdotool search --onlyvisible --name . 2>/dev/null); do
            echo "$id $(timeout 5 xdotool getwindowname "$id" 2>/dev/null)"
        done
    fi
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
        echo "--- the program"
        ps -o pid,stat,wchan:32,etime,time -p "$app_pid" || true
        if command -v gdb >/dev/null; then
            timeout 30 gdb -p "$app_pid" -batch -ex "thread apply all bt 8" 2>/dev/null |
                grep -E '^(Thread|#)' | head -n 80 || true
        fi
    fi
}

# Ends the run at once, also from inside a command substitution (the parent then stops on the
# failed assignment).
fail() {
    echo "FAIL after ${SECONDS} s: $*" >&2
    describe_state >&2
    for log in "$work"/*.log "$work"/*.out; do
        [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 20 "$log"; } >&2
    done
    exit 1
}

# Marks a step on the way, so that a failed run shows where its time went.
step() {
    echo "[${SECONDS} s] $*" >&2
}

# Runs the command until it succeeds, for up to $1 seconds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

start_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    wait_for $kWindowSeconds test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$work/display")"
    openbox >"$work/openbox.log" 2>&1 &
    pids+=($!)
    # The window manager is up once it has announced itself on the root window.
    wait_for $kWindowSeconds sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        fail "the window manager did not start"
}

is_viewable() {
    xwininfo -id "$1" 2>/dev/null | grep -q IsViewable
}

is_gone() {
    ! is_viewable "$1"
}

# Prints the first viewable window whose title matches the regular expression $1 and that is
# none of the ids after it, waiting up to kWindowSeconds; returns 1 when none appears.
find_window() {
    local pattern="$1" id
    shift
    local deadline=$((SECONDS + kWindowSeconds))
    while ((SECONDS < deadline)); do
        for id in $(xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
            case " $* " in
            *" $id "*) ;;
            *) echo "$id" && return 0 ;;
            esac
        done
        sleep 0.1
    done
    return 1
}

# Prints the id of the window titled exactly $1; fails the run when it does not appear.
await_window() {
    local title="$1"
    shift
    find_window "^$title\$" "$@" || fail "the $title window did not appear"
}

# Waits until window $1 has closed; fails the run naming it as $2 otherwise.
await_closed() {
    wait_for $kWindowSeconds is_gone "$1" || fail "the $2 window did not close"
}

# Succeeds when the pictures $1 and $2 differ by no more than a blinking cursor.
same_picture() {
    local pixels
    pixels="$(compare -metric AE "$1" "$2" null: 2>&1)" || true
    [[ "$pixels" =~ ^[0-9.e+]+$ ]] && awk -v n="$pixels" -v most=$kCursorPixels 'BEGIN { exit !(n + 0 <= most) }'
}

# An empty id would make import wait for a click on a window: never.
grab() {
    [ -n "$1" ] || return 1
    timeout 20 import -window "$1" "$2" 2>/dev/null
}

# Succeeds when window $1 no longer looks like the picture $2.
looks_changed() {
    grab "$1" "$work/now.png" && ! same_picture "$2" "$work/now.png"
}

# Waits until window $1 has looked the same for half a second (it has painted what it was
# told), for up to kWindowSeconds; returns 1 when it never settles.
await_settled() {
    local deadline=$((SECONDS + kWindowSeconds)) same=0
    grab "$1" "$work/settled.png" || return 1
    while ((SECONDS < deadline)); do
        sleep 0.25
        grab "$1" "$work/now.png" || return 1
        if same_picture "$work/settled.png" "$work/now.png"; then
            ((++same < 2)) || return 0
        else
            same=0
            mv "$work/now.png" "$work/settled.png"
        fi
    done
    return 1
}

# Saves window $1 with its frame as e2e_$2.png once it has settled; settled.png keeps the
# picture without the frame.
shot() {
    await_settled "$1" || echo "note: window $2 kept changing; saved as it was" >&2
    [ -n "$1" ] && timeout 20 import -frame -window "$1" "$shots/e2e_$2.png" ||
        fail "no screenshot $2"
}

# Activates window $1 and sends it the keys that follow.
press() {
    timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
    shift
    xdotool key --clearmodifiers "$@"
}

# Opens the menu with mnemonic $2 of window $1 and chooses its item with mnemonic $3. The keys
# reach the program in order, so the item's key finds the menu open.
choose() {
    press "$1" "alt+$2" "$3"
}

# Types $2 into the field that has the focus in window $1, replacing its text.
type_over() {
    press "$1" ctrl+a
    xdotool type --delay 30 "$2"
}

start_program() {
    QT_QPA_PLATFORM=xcb VANTREL_SETTINGS="$settings" VANTREL_PORTS_DIR="$work/ports" \
        VANTREL_VIEWER="${viewer:-true}" "$app" >"$work/vantrel.log" 2>&1 &
    app_pid=$!
    pids+=("$app_pid")
}

# The splash comes first; its OK appears after five seconds and takes Return. Prints the main
# window's id.
pass_splash() {
    local splash main
    splash="$(await_window Vantrel)"
    step "splash $splash appeared"
    shot "$splash" splash
    # OK shows as a change of the settled picture (unless it had already appeared).
    cp "$work/settled.png" "$work/splash.png"
    wait_for 10 looks_changed "$splash" "$work/splash.png" || true
    shot "$splash" splash_ok
    step "splash OK shown"
    local deadline=$((SECONDS + kWindowSeconds))
    until wait_for 1 is_gone "$splash"; do
        ((SECONDS < deadline)) || fail "Return did not close the splash"
        press "$splash" Return
    done
    step "splash closed"
    main="$(await_window Vantrel "$splash")"
    step "main window $main appeared"
    echo "$main"
}

# The program ends through the window manager's close (there is no Exit command in the menus),
# saving its settings.
quit_program() {
    press "$1" alt+F4
    local status=0
    wait_for $kWindowSeconds sh -c "! kill -0 $app_pid" || fail "the program did not end"
    wait "$app_pid" || status=$?
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

# Fails unless the view's middle shows something (the hint) rather than an empty grey form.
check_hint_painted() {
    grab "$1" "$work/main.png"
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
    await_settled "$main" || true
    check_hint_painted "$main"
    shot "$main" main_window

    # The mouse over a toolbar button puts its prompt into the first pane.
    xdotool mousemove --window "$main" 24 34
    shot "$main" main_window_prompt

    press "$main" alt+h
    await_settled root || true
    timeout 20 import -window root "$shots/e2e_help_menu.png"
    xdotool key a
    about="$(find_window '^About' "$main")" || fail "Help > About did not open the About box"
    shot "$about" about
    press "$about" Return
    await_closed "$about" About

    quit_program "$main"
    [ -f "$settings" ] || fail "no settings file written"
    grep -qa "Demo unit (Modbus/TCP)" "$settings" || fail "settings lack the Modbus/TCP demo"
    grep -qa "Demo unit (RTU)" "$settings" || fail "settings lack the RTU demo"
    echo "PASS: first start"
}

# Fails unless the viewer was handed the installed document named $1, which must exist.
check_shown() {
    local shown
    wait_for $kEffectSeconds grep -q "/$1\$" "$work/shown.txt" || fail "the viewer was not given $1"
    shown="$(grep "/$1\$" "$work/shown.txt" | head -n 1)"
    [ -f "$shown" ] || fail "the program looked for $1 at $shown, which does not exist"
    [ "$(realpath "$shown")" = "$(realpath "$build/usr/share/vantrel/$1")" ] ||
        fail "the program showed $shown, not the installed $1"
}

installed() {
    settings="$work/settings/VNTLSettings.dat"
    mkdir -p "$work/settings"
    # The viewer only writes down what it was given.
    viewer="$work/viewer.sh"
    printf '#!/bin/sh\necho "$1" >>"%s"\n' "$work/shown.txt" >"$viewer"
    chmod +x "$viewer"
    start_display
    start_program
    local main
    main="$(pass_splash)"
    choose "$main" h r
    check_shown Vantrel_ReleaseNotes.txt
    choose "$main" h h
    check_shown Vantrel.html
    quit_program "$main"
    echo "PASS: the installed program found its documents"
}

# Prints holding register $1 as libmodbus reads it from the demo unit over Modbus/TCP.
read_register() {
    python3 - "$tcp_port" "$1" <<'PY'
import ctypes, sys
lib = ctypes.CDLL("libmodbus.so.5")
lib.modbus_new_tcp.restype = ctypes.c_void_p
ctx = ctypes.c_void_p(lib.modbus_new_tcp(b"127.0.0.1", int(sys.argv[1])))
value = (ctypes.c_uint16 * 1)()
ok = lib.modbus_connect(ctx) == 0 and lib.modbus_read_registers(ctx, int(sys.argv[2]), 1, value) == 1
lib.modbus_close(ctx)
lib.modbus_free(ctx)
if not ok:
    sys.exit(1)
print(value[0])
PY
}

register_holds() {
    [ "$(read_register "$1")" = "$2" ]
}

start_demo_unit() {
    "$demo" --tcp-port 0 --rtu-tcp-port 0 --com 9 --ports-dir "$work/ports" \
        --write-settings "$settings" >"$work/demo.out" 2>"$work/demo.log" &
    demo_pid=$!
    pids+=("$demo_pid")
    wait_for $kWindowSeconds grep -q ready "$work/demo.out" || fail "the demo unit did not start"
    tcp_port="$(sed -n 's/.*Modbus\/TCP on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/demo.out")"
    [ -n "$tcp_port" ] || fail "the demo unit named no Modbus/TCP port"
}

# The demo unit ends on SIGTERM with status 0 and takes its COM link with it.
stop_demo_unit() {
    kill -TERM "$demo_pid"
    local status=0
    wait_for $kEffectSeconds sh -c "! kill -0 $demo_pid" || fail "the demo unit did not end"
    wait "$demo_pid" || status=$?
    [ "$status" -eq 0 ] || fail "the demo unit ended with status $status"
    [ ! -e "$work/ports/COM9" ] && [ ! -L "$work/ports/COM9" ] || fail "the demo unit left COM9"
}

# Connect to unit: the location in row $2 is chosen with the keyboard (Home, Down..., Return)
# or, with $3 = mouse, by a double click on its row. Prints the Test dialog's id.
connect_to() {
    local main="$1" row="$2" how="$3" connect
    choose "$main" o n
    connect="$(await_window 'Connect to unit' "$main")"
    if [ "$how" = mouse ]; then
        # The list's rows start 30 pixels into the dialog, 14 pixels apart (DejaVu Sans).
        xdotool mousemove --window "$connect" 60 $((36 + 14 * row)) click 1
        shot "$connect" "connect_$tag"
        xdotool click --repeat 2 --delay 80 1
    else
        press "$connect" Home
        for ((n = 0; n < row; n++)); do press "$connect" Down; done
        shot "$connect" "connect_$tag"
        press "$connect" Return
    fi
    # Going online opens the Test dialog.
    await_window 'Test Modbus Communications' "$main"
}

# Test dialog: Transmit, then wait until the dialog shows the outcome.
transmit() {
    grab "$1" "$work/before.png" || fail "the Test dialog cannot be seen"
    press "$1" alt+t
    wait_for $kEffectSeconds looks_changed "$1" "$work/before.png" ||
        fail "Transmit changed nothing in the Test dialog"
}

# Function 03 (the initial one) from Data Register 1 for ten values, through the labels'
# mnemonics; the unit's register n holds n.
read_ten_registers() {
    local dialog="$1"
    shot "$dialog" "test_dialog_$tag"
    press "$dialog" alt+r
    type_over "$dialog" 1
    press "$dialog" alt+n
    type_over "$dialog" 10
    transmit "$dialog"
    shot "$dialog" "test_dialog_read_$tag"
}

# Prints the text on the X clipboard (CLIPBOARD, as UTF-8), asking its owner through libX11.
clipboard_text() {
    python3 - <<'PY'
import ctypes, sys, time
from ctypes import POINTER, byref, c_char_p, c_int, c_long, c_ubyte, c_uint, c_ulong, c_void_p
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = c_void_p
x.XOpenDisplay.argtypes = [c_char_p]
x.XDefaultRootWindow.restype = c_ulong
x.XDefaultRootWindow.argtypes = [c_void_p]
x.XCreateSimpleWindow.restype = c_ulong
x.XCreateSimpleWindow.argtypes = [c_void_p, c_ulong, c_int, c_int, c_uint, c_uint, c_uint, c_ulong, c_ulong]
x.XInternAtom.restype = c_ulong
x.XInternAtom.argtypes = [c_void_p, c_char_p, c_int]
x.XConvertSelection.argtypes = [c_void_p, c_ulong, c_ulong, c_ulong, c_ulong, c_ulong]
x.XPending.argtypes = [c_void_p]
x.XNextEvent.argtypes = [c_void_p, c_void_p]
x.XFlush.argtypes = [c_void_p]
x.XGetWindowProperty.argtypes = [c_void_p, c_ulong, c_ulong, c_long, c_long, c_int, c_ulong,
                                 POINTER(c_ulong), POINTER(c_int), POINTER(c_ulong),
                                 POINTER(c_ulong), POINTER(POINTER(c_ubyte))]
display = x.XOpenDisplay(None)
if not display:
    sys.exit(1)
window = x.XCreateSimpleWindow(display, x.XDefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0)
atom = lambda name: x.XInternAtom(display, name, 0)
target = atom(b"VANTREL_E2E_CLIPBOARD")
x.XConvertSelection(display, atom(b"CLIPBOARD"), atom(b"UTF8_STRING"), target, window, 0)
x.XFlush(display)
SELECTION_NOTIFY = 31
event = (c_long * 24)()
deadline = time.time() + 5
while ctypes.cast(event, POINTER(c_int))[0] != SELECTION_NOTIFY:
    if time.time() > deadline:
        sys.exit(1)
    if x.XPending(display):
        x.XNextEvent(display, event)
    else:
        time.sleep(0.05)
kind, size, items, left = c_ulong(), c_int(), c_ulong(), c_ulong()
data = POINTER(c_ubyte)()
if x.XGetWindowProperty(display, window, target, 0, 1 << 16, 0, 0, byref(kind), byref(size),
                        byref(items), byref(left), byref(data)) != 0 or not data:
    sys.exit(1)
print(bytes(data[:items.value]).decode("utf-8"))
PY
}

# Writes the clipboard's text into the file $1; fails when there is none.
save_clipboard() {
    clipboard_text >"$1" && [ -s "$1" ]
}

# Copies the frame box that Tab reaches $2 times after "&No. of Values" into the file $3. The
# boxes are read-only: Ctrl+A selects their text and Ctrl+C copies it.
copy_box() {
    local dialog="$1" tabs="$2" file="$3" n
    press "$dialog" alt+n
    for ((n = 0; n < tabs; n++)); do press "$dialog" Tab; done
    press "$dialog" ctrl+a ctrl+c
    wait_for 5 save_clipboard "$file" ||
        fail "the frame box $tabs Tabs after the count could not be copied"
}

# The Transmit and Receive boxes after the read. From the count, Tab passes the read-only values
# box and, unless Modbus/TCP disables it, the check value mode before reaching them.
copy_frame_boxes() {
    local first=2
    [ "$tag" = tcp ] || first=3
    copy_box "$1" "$first" "$work/transmit_box.txt"
    copy_box "$1" $((first + 1)) "$work/receive_box.txt"
}

# Function 06 writing $written to register $register. "Data &Values" shares its mnemonic with
# "Con&vertor", so the values are reached with Tab from the register, past the disabled count.
# A write sent while the read was still pending is refused, and writing the same value again is
# harmless, so Transmit is pressed until the unit holds the value.
write_register() {
    local dialog="$1"
    # 06 is the sixth function in the list; keys, unlike a typed search, do not depend on timing.
    press "$dialog" alt+f Home Down Down Down Down Down
    press "$dialog" alt+r
    type_over "$dialog" "$register"
    press "$dialog" Tab
    type_over "$dialog" "$written"
    local deadline=$((SECONDS + kEffectSeconds))
    until register_holds "$register" "$written"; do
        ((SECONDS < deadline)) || fail "register $register does not hold $written after the write"
        transmit "$dialog"
        wait_for 3 register_holds "$register" "$written" || true
    done
    shot "$dialog" "test_dialog_write_$tag"
}

# Comms Log from the Test dialog; Save to File refreshes the list first (Yes) and asks for the
# report's path in Qt's own Save As dialog, which opens in the settings folder.
save_comms_log() {
    local main="$1" dialog="$2" log question save
    press "$dialog" alt+l
    log="$(await_window 'Communications Log' "$main")"
    shot "$log" "comms_log_$tag"
    press "$log" alt+s
    question="$(await_window Vantrel "$main")"
    shot "$question" "refresh_question_$tag"
    press "$question" alt+y
    save="$(await_window 'Save As' "$main")"
    shot "$save" "save_as_$tag"
    xdotool type --delay 30 "e2e-report"
    press "$save" Return
    await_closed "$save" "Save As"
    report="$work/settings/e2e-report.txt"
    wait_for $kEffectSeconds test -s "$report" || fail "no report written"
    shot "$log" "comms_log_saved_$tag"
    press "$log" alt+c
    await_closed "$log" "Communications Log"
}

# Fails unless the report holds a TX and an RX record whose frame contains each hexadecimal
# byte string given as KIND:bytes (the PDU of each request and answer, whatever the framing
# around it), or is exactly the frame given as KIND=bytes.
check_report() {
    python3 - "$report" "$@" <<'PY' || fail "the report lacks a frame (see above)"
import re, sys
records, current = [], None
for line in open(sys.argv[1], encoding="latin-1"):
    match = re.match(r"\s*\d+\s.*?\s(TX|RX):\s+\d+\s+(.*)$", line)
    if match:
        current = [match.group(1), match.group(2).split()]
        records.append(current)
    elif current and re.fullmatch(r"\s+([0-9A-F]{2}\s*)+", line.rstrip("\n") + " "):
        current[1] += line.split()
    else:
        current = None
frames = {(kind, " ".join(data)) for kind, data in records}
missing = 0
for wanted in sys.argv[2:]:
    exact = re.match(r"(TX|RX)=(.*)$", wanted, re.S)
    if exact:
        kind, frame = exact.group(1), " ".join(exact.group(2).split())
        if (kind, frame) not in frames:
            print(f"no {kind} frame that is exactly {frame}", file=sys.stderr)
            missing += 1
        continue
    kind, pdu = wanted.split(":", 1)
    if not any(k == kind and pdu in data for k, data in frames):
        print(f"no {kind} frame holding {pdu}", file=sys.stderr)
        missing += 1
sys.exit(1 if missing else 0)
PY
}

# The settings file starts with the last location's name, a length byte and its characters.
last_location() {
    python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); print(d[1:1 + d[0]].decode("latin-1"))' \
        "$settings"
}

demo_path() {
    local location_name="$1" row="$2" how="$3"
    tag="$4"
    register="$5"
    written="$6"
    settings="$work/settings/VNTLSettings.dat"
    mkdir -p "$work/settings"
    start_display
    start_demo_unit
    start_program
    local main dialog hex
    main="$(pass_splash)"
    dialog="$(connect_to "$main" "$row" "$how")"
    read_ten_registers "$dialog"
    copy_frame_boxes "$dialog"
    write_register "$dialog"
    save_comms_log "$main" "$dialog"
    press "$dialog" alt+c
    await_closed "$dialog" "Test Modbus Communications"
    shot "$main" "main_window_online_$tag"
    quit_program "$main"
    stop_demo_unit

    hex="$(printf '%02X %02X %02X %02X' $((register >> 8)) $((register & 255)) \
        $((written >> 8)) $((written & 255)))"
    check_report "TX:01 03 00 01 00 0A" \
        "RX:01 03 14 00 01 00 02 00 03 00 04 00 05 00 06 00 07 00 08 00 09 00 0A" \
        "TX:01 06 $hex" "RX:01 06 $hex" \
        "TX=$(cat "$work/transmit_box.txt")" "RX=$(cat "$work/receive_box.txt")"
    [ "$(last_location)" = "$location_name" ] ||
        fail "the settings name \"$(last_location)\" as the last location, not $location_name"
    echo "Transmit box: $(cat "$work/transmit_box.txt")"
    echo "Receive box: $(cat "$work/receive_box.txt")"
    echo "PASS: demo unit over $location_name"
}

case "$mode" in
first-start) first_start ;;
demo-tcp) demo_path "Demo unit (Modbus/TCP)" 0 keys tcp 5 4321 ;;
demo-rtu) demo_path "Demo unit (RTU)" 1 mouse rtu 7 1234 ;;
installed) installed ;;
*) fail "unknown mode $mode" ;;
esac

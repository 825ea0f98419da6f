#!/usr/bin/env bash
# Runs the Windows programs under Wine. First, when given, the host's own tests, which make a
# console window of their own on an Xvfb display. Then the program in a terminal, through its whole
# dialogue as a user would go: the keys are typed with tmux send-keys, the screen is read with tmux
# capture-pane, and the error box (a real window, on the same display) is found and dismissed with
# xdotool.
#
# Usage: tests/windows/under_wine.sh path/to/mirvane.exe [path/to/windows_host_test.exe]
#
# Every wait has a deadline; the tmux server, the display, the Wine prefix and its processes are
# this run's own and are removed at the end, whatever happens.
set -euo pipefail

if (($# < 1 || $# > 2)) || [[ ! -f $1 ]] || [[ $# == 2 && ! -f $2 ]]; then
  echo "usage: $0 path/to/mirvane.exe [path/to/windows_host_test.exe]" >&2
  exit 2
fi
exe=$(realpath "$1")
host_tests=""
if (($# == 2)); then host_tests=$(realpath "$2"); fi
here=$(cd "$(dirname "$0")" && pwd)

find_wine_tool() {  # name: Debian keeps the 64-bit loader and server off the PATH
  if command -v "$1" >/dev/null; then command -v "$1"; return; fi
  if [[ -x /usr/lib/wine/$1 ]]; then echo "/usr/lib/wine/$1"; return; fi
  echo "missing: $1" >&2
  exit 2
}
wine=$(find_wine_tool wine64)
wineserver=$(find_wine_tool wineserver)
for tool in tmux Xvfb xdotool timeout; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

work=$(mktemp -d)
server="mirvane-wine-$$"
export WINEPREFIX="$work/prefix"
xvfb_pid=""

cleanup() {
  tmux -L "$server" kill-server 2>/dev/null || true
  timeout 20 "$wineserver" -k 2>/dev/null || true
  if [[ -n $xvfb_pid ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# ---- Reading the screen -------------------------------------------------------------------------
pane() { tmux -L "$server" capture-pane -p -N -t "$1"; }  # -N: rows keep their trailing blanks
row() { pane "$1" | sed -n "$2p"; }
trimmed_row() { row "$1" "$2" | sed 's/ *$//'; }
text_at() {  # session row column length
  local line
  line=$(row "$1" "$2")
  printf '%s' "${line:$(($3 - 1)):$4}"
}
colours_row() { tmux -L "$server" capture-pane -p -N -e -t "$1" | awk -f "$here/screen_colours.awk" | sed -n "$2p"; }
cursor() { tmux -L "$server" display-message -p -t "$1" '#{cursor_flag} #{cursor_y} #{cursor_x}'; }
show_screen() {
  echo "---- screen of $1 ----"
  pane "$1" | sed 's/ *$//' | cat -n
  echo "---- cursor (visible row column, 0-based): $(cursor "$1")"
}

# wait_for seconds session description command...: polls until the command succeeds.
wait_for() {
  local seconds=$1 session=$2 description=$3
  shift 3
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    if ((SECONDS >= deadline)); then
      fail "gave up after ${seconds}s waiting for: $description"
      show_screen "$session"
      exit 1
    fi
    sleep 0.1
  done
}

row_is() { [[ "$(trimmed_row "$1" "$2")" == "$3" ]]; }
cursor_is() { [[ "$(cursor "$1")" == "$2" ]]; }

question="   Distances in feet or metres [F/M]?"
asks_units() { row_is "$1" 8 "$question" && cursor_is "$1" "1 7 53"; }
asks_first_measurement() {
  row_is "$1" 10 "   Horizontal distance to left speaker?" && cursor_is "$1" "1 9 53"
}
shows_closing_line_on() { row_is "$1" "$2" "   press any key to quit"; }

expect_row() {  # session row text: the row holds exactly the text (trailing blanks aside)
  local actual
  actual=$(trimmed_row "$1" "$2")
  [[ $actual == "$3" ]] || fail "$1 row $2: expected '$3', found '$actual'"
}

expect_at() {  # session row column text
  local actual
  actual=$(text_at "$1" "$2" "$3" "${#4}")
  [[ $actual == "$4" ]] || fail "$1 row $2 column $3: expected '$4', found '$actual'"
}

# expect_colours session row column text letter: the text's cells, from column on, are drawn in
# the colour of letter (K black, G dark grey) on bright white; its blanks only on bright white.
expect_colours() {
  local session=$1 row_number=$2 column=$3 text=$4 letter=$5 expected="" i actual
  for ((i = 0; i < ${#text}; i++)); do
    if [[ ${text:i:1} == " " ]]; then expected+="w"; else expected+="$letter"; fi
  done
  actual=$(colours_row "$session" "$row_number")
  actual=${actual:$((column - 1)):${#text}}
  [[ $actual == "$expected" ]] ||
    fail "$session row $row_number column $column, colours of '$text': expected $expected, found $actual"
}

expect_white_screen() {  # session: the 80 × 32 console is blank or text on bright white everywhere
  local r codes
  for ((r = 1; r <= 32; r++)); do
    codes=$(colours_row "$1" "$r")
    codes=${codes:0:80}
    [[ $codes =~ ^[KGw]{80}$ ]] || fail "$1 row $r is not all on bright white: $codes"
  done
}

type_line() {  # session text: types the text and Enter
  if [[ -n $2 ]]; then tmux -L "$server" send-keys -t "$1" -l "$2"; fi
  tmux -L "$server" send-keys -t "$1" Enter
}

# ---- The display and the Wine prefix ------------------------------------------------------------
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
deadline=$((SECONDS + 20))
until [[ -s $work/display ]]; do
  ((SECONDS < deadline)) || { echo "Xvfb did not start"; exit 1; }
  sleep 0.1
done
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
export WINEDEBUG=-all

echo "creating the Wine prefix"
# The prefix's first start; Wine's Mono and Gecko installers are not wanted (nor asked for).
if ! WINEDLLOVERRIDES="mscoree,mshtml=" timeout 240 "$wine" wineboot --init >"$work/wineboot.log" 2>&1; then
  echo "wineboot failed:"
  tail -n 20 "$work/wineboot.log"
  exit 1
fi

# ---- The host's tests ----------------------------------------------------------------------------
if [[ -n $host_tests ]]; then
  echo "the host's tests"
  # No terminal: the tests make a console with a window of their own.
  if timeout 180 "$wine" "$host_tests" </dev/null >"$work/host_tests.log" 2>&1; then
    grep -E '^\[ +(PASSED|SKIPPED) +\]' "$work/host_tests.log" || true
  else
    fail "the host's tests (exit $?):"
    cat "$work/host_tests.log"
  fi
fi

# start session: the program in a 100 × 40 terminal, larger than the console it asks for, so that
# the console's own size shows in where text wraps and whether the screen scrolls. The message
# box's trace (Wine's msgbox channel) and Wine's other messages go to a file, not to the screen.
start() {
  local session=$1 command
  printf -v command 'env WINEDEBUG=-all,+msgbox %q %q 2>%q; echo $? >%q; exec sleep 600' \
    "$wine" "$exe" "$work/$session.trace" "$work/$session.rc"
  tmux -L "$server" -f /dev/null new-session -d -s "$session" -x 100 -y 40 "$command"
}

exit_code_written() { [[ -s $work/$1.rc ]]; }

# ---- The whole dialogue -------------------------------------------------------------------------
echo "the whole dialogue"
s=dialogue
start "$s"
wait_for 60 "$s" "the units question on row 8, cursor at column 54" asks_units "$s"

expect_row "$s" 1 ""
expect_row "$s" 2 "   Mirvane v1"
for r in 3 4; do
  [[ $(text_at "$s" "$r" 1 4) =~ ^"   "[^\ ] ]] || fail "$s row $r: a header line with three blanks in front expected"
done
for r in 5 6 7; do expect_row "$s" "$r" ""; done
expect_colours "$s" 2 1 "   Mirvane v1" K
expect_colours "$s" 8 1 "$question" G
expect_white_screen "$s"
title=$(tmux -L "$server" display-message -p -t "$s" '#{pane_title}')
[[ $title == "Mirvane" ]] || fail "console title: expected 'Mirvane', found '$title'"

echo "a rejected unit and the error box"
type_line "$s" "feet"
xdo() { timeout 5 xdotool "$@" 2>/dev/null; }  # no xdotool call may hang the run
box_id() { xdo search --name '^  ERROR$' | head -n1; }
box_up() { [[ -n $(box_id) ]]; }
wait_for 30 "$s" "the error box" box_up
box=$(box_id || true)
caption=$(xdo getwindowname "$box" || true)
[[ $caption == "  ERROR" ]] || fail "box caption: expected '  ERROR', found '$caption'"
box_text_traced() { grep -qF 'MSGBOX_OnInit L"You must respond either F or M  "' "$work/$s.trace"; }
wait_for 10 "$s" "the box's text in Wine's trace" box_text_traced
# The dialogue is held while the box is up: the rejected answer is still on screen.
expect_at "$s" 8 54 "feet"

deadline=$((SECONDS + 30))
while box_up; do
  ((SECONDS < deadline)) || { fail "the error box could not be dismissed"; show_screen "$s"; exit 1; }
  xdo windowfocus --sync "$box" || true
  xdo key Return || true
  for _ in $(seq 20); do box_up || break; sleep 0.1; done
done
wait_for 20 "$s" "the question asked afresh once the box is dismissed" asks_units "$s"
expect_row "$s" 2 "   Mirvane v1"

echo "the measurement form"
type_line "$s" "m"
wait_for 20 "$s" "the first measurement on row 10" asks_first_measurement "$s"
expect_at "$s" 8 54 "m"
expect_row "$s" 9 ""
for answer in 3 "" "" 2 "" "" "" ""; do type_line "$s" "$answer"; done

wait_for 30 "$s" "the result screen" shows_closing_line_on "$s" 31

form_rows=(
  # row | prompt | what column 54 shows
  "10|   Horizontal distance to left speaker?|3"
  "11|   Horizontal distance to right speaker?|3"
  "12|   Height of left/right speakers?|0"
  "13||"
  "14|   Horizontal distance to centre speaker?|2"
  "15|   Height of centre speaker?|0"
  "16||"
  "17|   Horizontal distance to left surround speaker?|"
  "18|   Horizontal distance to right surround speaker?|"
  "19|   Height of surround speakers?|0"
)
for entry in "${form_rows[@]}"; do
  IFS='|' read -r r prompt answer <<<"$entry"
  expected=$prompt
  if [[ -n $answer ]]; then printf -v expected '%-53s%s' "$prompt" "$answer"; fi
  expect_row "$s" "$r" "$expected"
  [[ -n $prompt ]] && expect_colours "$s" "$r" 1 "$prompt" G
  [[ -n $answer ]] && expect_colours "$s" "$r" 54 "$answer" K
done

result_rows=(
  # row | label | value at column 27 (metres: 1 m nearer is 1000/344 ms)
  "23|   Left front delay|0.00 ms"
  "24|   Right front delay|0.00 ms"
  "25|   Centre front delay|2.91 ms"
  "26|   Left surround delay|8.72 ms"
  "27|   Right surround delay|8.72 ms"
)
for r in 20 21 22; do expect_row "$s" "$r" ""; done
for entry in "${result_rows[@]}"; do
  IFS='|' read -r r label value <<<"$entry"
  printf -v expected '%-26s%s' "$label" "$value"
  expect_row "$s" "$r" "$expected"
  expect_colours "$s" "$r" 1 "$label" G
  expect_colours "$s" "$r" 27 "$value" K
done
for r in 28 29 30 32; do expect_row "$s" "$r" ""; done
expect_colours "$s" 31 1 "   press any key to quit" G
# Nothing scrolled: the start screen's header is still in place above the results.
expect_row "$s" 2 "   Mirvane v1"
expect_white_screen "$s"
[[ $(cursor "$s") == 0\ * ]] || fail "the cursor should be hidden during the final wait: $(cursor "$s")"
exit_code_written "$s" && fail "the program ended before the final key"

tmux -L "$server" send-keys -t "$s" q
wait_for 20 "$s" "the program to end after the final key" exit_code_written "$s"
code=$(cat "$work/$s.rc")
[[ $code == 0 ]] || fail "exit code: expected 0, found $code"
# The screen keeps the program's last content.
expect_row "$s" 25 "   Centre front delay     2.91 ms"
[[ $(cursor "$s") == 1\ * ]] || fail "the cursor should be visible again after the program: $(cursor "$s")"

# ---- The console's size: 80 columns by 32 rows ------------------------------------------------
echo "the console's size"
s=size
start "$s"
wait_for 60 "$s" "the units question" asks_units "$s"
type_line "$s" "M"
wait_for 20 "$s" "the first measurement" asks_first_measurement "$s"
for answer in "" "" "" "" "" "" ""; do type_line "$s" "$answer"; done
wait_for 20 "$s" "the last measurement" cursor_is "$s" "1 18 53"
# Thirty digits from column 54 fill the row to column 80 and wrap onto row 20: the console is 80
# columns wide, not the terminal's 100. Everything below moves down one row, so the closing line
# lands on row 32 and its line end scrolls the console up by one: it is 32 rows high, not 40.
long_answer=123456789012345678901234567890
type_line "$s" "$long_answer"
wait_for 30 "$s" "the closing line, scrolled up to row 31" shows_closing_line_on "$s" 31
expect_row "$s" 1 "   Mirvane v1"
expect_at "$s" 18 54 "${long_answer:0:27}"
expect_at "$s" 19 1 "${long_answer:27}"
expect_row "$s" 32 ""
tmux -L "$server" send-keys -t "$s" Escape
wait_for 20 "$s" "the program to end on Esc" exit_code_written "$s"
code=$(cat "$work/$s.rc")
[[ $code == 0 ]] || fail "exit code after Esc: expected 0, found $code"

# ---- Standard output redirected ----------------------------------------------------------------
# The screen is then the console behind standard error; the file gets nothing. (Standard input is
# not redirected here: Wine's console in a terminal reads its keys from there.)
echo "standard output redirected to a file"
s=redirected
printf -v command 'env WINEDEBUG=-all %q %q >%q; echo $? >%q; exec sleep 600' \
  "$wine" "$exe" "$work/$s.stdout" "$work/$s.rc"
tmux -L "$server" -f /dev/null new-session -d -s "$s" -x 100 -y 40 "$command"
wait_for 60 "$s" "the units question" asks_units "$s"
# Every measurement left empty: every speaker is at the listening position.
for answer in M "" "" "" "" "" "" "" ""; do type_line "$s" "$answer"; done
wait_for 30 "$s" "the result screen" shows_closing_line_on "$s" 31
for entry in "${result_rows[@]}"; do
  IFS='|' read -r r label _ <<<"$entry"
  printf -v expected '%-26s%s' "$label" "0.00 ms"
  expect_row "$s" "$r" "$expected"
done
tmux -L "$server" send-keys -t "$s" z
wait_for 20 "$s" "the program to end" exit_code_written "$s"
code=$(cat "$work/$s.rc")
[[ $code == 0 ]] || fail "exit code with standard output redirected: expected 0, found $code"
[[ ! -s $work/$s.stdout ]] || fail "standard output got $(wc -c <"$work/$s.stdout") bytes; the screen is the console's"

# ---- No console at all ------------------------------------------------------------------------
# Started with neither a terminal nor a console, the program has no keyboard it could ever read:
# it ends with a non-zero status instead of waiting for ever.
echo "no console"
set +e
WINEDEBUG=-all timeout 60 "$wine" "$exe" </dev/null >"$work/detached.out" 2>&1
code=$?
set -e
((code == 124)) && fail "without a console the program did not end within 60 seconds"
((code == 1)) || fail "without a console: exit code 1 expected, found $code"

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "the Windows program passed under Wine"

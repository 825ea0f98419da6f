#!/usr/bin/env bash
# Drives the real program in a tmux pane: tmux_test.sh <scenario> <path to mirvane>.
# Each run has its own tmux server and folder, waits by polling the pane against a deadline, and
# removes both on the way out.
set -uo pipefail

scenario=$1
program=$(realpath "$2")
deadline_seconds=20

work=$(mktemp -d)
socket="mirvane-test-$$-$RANDOM"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null
  if [[ -s $work/pid ]]; then kill -KILL "$(cat "$work/pid")" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL [$scenario]: $*" >&2
  echo "---- pane ----" >&2
  tmux -L "$socket" capture-pane -p -t main:0 2>/dev/null | cat -A | sed 's/\$$//' >&2
  exit 1
}

# The pane runs the program under a small driver that notes the terminal settings before and
# after, the exit status, and then marks where the shell's output would go.
start() {  # columns rows [VAR=value ...]
  local columns=$1 rows=$2
  shift 2
  cat >"$work/run.sh" <<EOF
cd '$work'
trap : INT  # a Ctrl+C that ends the program must not end this driver too
stty -g > before
grep -h flags /proc/\$\$/fdinfo/[012] > flags-before
$([[ -n ${ignore_hang_up:-} ]] && echo "trap '' HUP")
bash -c 'echo \$\$ > pid; exec env "\$@"' driver LANG=C.UTF-8 LC_ALL= TERM=xterm-256color $* '$program' ${redirect:-}
echo \$? > status
stty -g > after
grep -h flags /proc/\$\$/fdinfo/[012] > flags-after
printf 'DONE-MARK'
exec sleep 600
EOF
  tmux -L "$socket" -f /dev/null new-session -d -s main -x "$columns" -y "$rows" "bash $work/run.sh" ||
    fail "tmux did not start"
}

screen() { tmux -L "$socket" capture-pane -p -t main:0 2>/dev/null || fail "the tmux server is gone"; }
colours() { tmux -L "$socket" capture-pane -p -e -t main:0; }
row() { screen | sed -n "${1}p"; }
cursor() { tmux -L "$socket" display -p -t main:0 "$1"; }
keys() { tmux -L "$socket" send-keys -t main:0 "$@"; }
typed() { tmux -L "$socket" send-keys -t main:0 -l "$1"; }

wait_for() {  # extended regular expression on the pane's text
  local end=$((SECONDS + deadline_seconds))
  while ((SECONDS < end)); do
    screen | grep -qE -- "$1" && return 0
    sleep 0.05
  done
  fail "timed out waiting for /$1/"
}

wait_until() {  # a shell condition
  local end=$((SECONDS + deadline_seconds))
  while ((SECONDS < end)); do
    eval "$1" && return 0
    sleep 0.05
  done
  fail "timed out waiting until $1"
}

wait_for_exit() {
  wait_until '[[ -s $work/status ]] && screen | grep -q DONE-MARK'
  status=$(cat "$work/status")
}

expect_eq() {  # what actual expected
  [[ $2 == "$3" ]] || fail "$1: got [$2], expected [$3]"
}

# The text of a row from a 1-based column, length characters.
cells() { local text; text=$(row "$1"); echo "${text:$(($2 - 1)):$3}"; }

expect_terminal_restored() {
  expect_eq "stty -g after the run" "$(cat "$work/after")" "$(cat "$work/before")"
  # The descriptors shared with the shell keep their flags: no O_NONBLOCK left behind.
  expect_eq "descriptor flags after the run" "$(cat "$work/flags-after")" "$(cat "$work/flags-before")"
  expect_eq "cursor shown after the run" "$(cursor '#{cursor_flag}')" 1
}

# ---- The dialogue ------------------------------------------------------------------------------

answer() {  # text, then the pattern that shows it was taken
  typed "$1"
  keys Enter
  wait_for "$2"
}

run_dialogue() {
  wait_for 'Distances in feet or metres \[F/M\]\?'
  answer M 'left speaker\?'
  answer 3 'right speaker\?'
  answer 3 'Height of left/right speakers\?'
  answer '' 'centre speaker\?'
  answer 2 'Height of centre speaker\?'
  answer '' 'left surround speaker\?'
  answer '' 'right surround speaker\?'
  answer '' 'Height of surround speakers\?'
  answer '' 'press any key to quit'
}

expect_form_rows() {  # offset: terminal row of buffer row 1 minus 1
  local o=$1
  expect_eq "title row" "$(row $((o + 2)))" "   Mirvane v1"
  expect_eq "question" "$(cells $((o + 8)) 1 37)" "   Distances in feet or metres [F/M]?"
  expect_eq "units answer at column 54" "$(cells $((o + 8)) 54 2)" "M"
  expect_eq "first answer at column 54" "$(cells $((o + 10)) 54 2)" "3"
  expect_eq "second answer" "$(cells $((o + 11)) 54 2)" "3"
  expect_eq "height default" "$(cells $((o + 12)) 54 2)" "0"
  expect_eq "centre" "$(cells $((o + 14)) 54 2)" "2"
  expect_eq "last question" "$(cells $((o + 19)) 1 31)" "   Height of surround speakers?"
}

expect_result_rows() {
  local o=$1
  expect_eq "left front" "$(row $((o + 23)))" "   Left front delay       0.00 ms"
  expect_eq "centre" "$(row $((o + 25)))" "   Centre front delay     2.91 ms"
  expect_eq "right surround" "$(row $((o + 27)))" "   Right surround delay   8.72 ms"
  expect_eq "delay at column 27" "$(cells $((o + 24)) 27 7)" "0.00 ms"
  expect_eq "closing line" "$(row $((o + 31)))" "   press any key to quit"
}

nothing_beyond() {  # columns rows: the pane is blank right of column 80 and below row 32
  local text
  text=$(screen | cut -c81- | tr -d ' \n')
  [[ -z $text ]] || fail "text right of column 80: [$text]"
}

scenario_layout() {  # columns rows final-key
  start "$1" "$2"
  run_dialogue
  expect_form_rows 0
  expect_result_rows 0
  expect_eq "cursor hidden at the final wait" "$(cursor '#{cursor_flag}')" 0
  nothing_beyond
  local below
  below=$(screen | sed -n '33,$p' | tr -d ' \n')
  [[ -z $below ]] || fail "text below row 32: [$below]"
  keys "$3"
  wait_for_exit
  expect_eq "exit status" "$status" 0
  expect_terminal_restored
  # The final screen stays, and the shell goes on right below it.
  expect_result_rows 0
  expect_eq "shell output below the last row" "$(row 33)" "DONE-MARK"
}

scenario_layout_80x32() {
  start 80 32
  run_dialogue
  expect_form_rows 0
  expect_result_rows 0
  expect_eq "cursor hidden at the final wait" "$(cursor '#{cursor_flag}')" 0
  keys q
  wait_for_exit
  expect_eq "exit status" "$status" 0
  expect_terminal_restored
  # The last row is the pane's: the shell's line pushes the screen up by one.
  expect_result_rows -1
  expect_eq "shell output below the last row" "$(row 32)" "DONE-MARK"
}

scenario_layout_132x43() { scenario_layout 132 43 Up; }  # an extended key ends the wait too
scenario_layout_300x60() { scenario_layout 300 60 q; }

# A shorter pane shows the part of the buffer around the cursor, as a console window does.
scenario_layout_80x24() {
  start 80 24
  wait_for 'Distances in feet or metres'
  expect_eq "top of the buffer while the cursor is high" "$(row 2)" "   Mirvane v1"
  run_dialogue
  # The cursor is on buffer row 32, so the pane shows buffer rows 9 to 32.
  expect_result_rows -8
  expect_eq "first form row" "$(cells 2 54 2)" "3"
  keys q
  wait_for_exit
  expect_eq "exit status" "$status" 0
  expect_terminal_restored
}

scenario_colours() {
  start 80 32
  wait_for 'Distances in feet or metres'
  local line
  line=$(colours | sed -n 8p)
  [[ $line == *$'\e[90m'*'Distances in feet or metres'* ]] || fail "prompt not dark grey: $(printf '%q' "$line")"
  [[ $line == *$'\e[107m'* || $(colours | sed -n 1,8p) == *$'\e[107m'* ]] ||
    fail "no bright white background: $(printf '%q' "$line")"
  typed M
  wait_until '[[ $(cells 8 54 1) == M ]]'
  line=$(colours | sed -n 8p)
  [[ $line == *$'\e[30m'*M* ]] || fail "answer not black: $(printf '%q' "$line")"
}

scenario_eight_colours() {
  start 80 32 TERM=linux
  wait_for 'Distances in feet or metres'
  local all
  all=$(colours)
  [[ $all != *$'\e[9'[0-7]m* && $all != *$'\e[10'[0-7]m* ]] || fail "bright SGR sent to an 8-colour terminal"
  [[ $all == *$'\e[47m'* ]] || fail "no light grey background"
  [[ $(colours | sed -n 8p) == *$'\e[1m'*'Distances'* ]] || fail "dark grey prompt not shown bold"
}

scenario_no_colour() {
  start 80 32 NO_COLOR=1
  wait_for 'Distances in feet or metres'
  [[ $(colours) != *$'\e['* ]] || fail "colour sequences with NO_COLOR"
  run_dialogue
  expect_form_rows 0
  expect_result_rows 0
}

scenario_message_box() {
  start 80 32
  local key
  for key in Enter Space Escape; do
    wait_for 'Distances in feet or metres \[F/M\]\?'
    typed x
    keys Enter
    wait_for 'You must respond either F or M'
    wait_for 'ERROR'
    wait_for '< OK >'
    expect_eq "cursor hidden under the box" "$(cursor '#{cursor_flag}')" 0
    typed 'q'  # not a key that closes the box
    keys "$key"
    wait_until '! screen | grep -q "You must respond"'
    wait_for 'Distances in feet or metres \[F/M\]\?'
    expect_eq "the question is asked again with an empty answer" "$(cells 8 54 5)" ""
  done
  answer M 'left speaker\?'
  expect_eq "the box took its keys: none reached the answer" "$(cells 8 54 5)" "M"
}

# 27 characters fill columns 54 to 80; the 28th goes to column 1 of the next row. Two Backspaces
# then blank it and the last cell of the row above, and leave the cursor there.
scenario_backspace_across_rows() {
  start 80 32
  wait_for 'Distances in feet or metres'
  answer M 'left speaker\?'
  typed "$(printf 'a%.0s' {1..27})b"
  wait_until '[[ $(cells 11 1 1) == b ]]'
  expect_eq "cursor after the wrap" "$(cursor '#{cursor_x},#{cursor_y}')" "1,10"
  keys BSpace BSpace
  wait_until '[[ $(cells 10 80 1) == "" && $(cells 11 1 1) == "" ]]'
  expect_eq "cursor on the last cell of the row above" "$(cursor '#{cursor_x},#{cursor_y}')" "79,9"
  expect_eq "the rest of the answer" "$(cells 10 54 26)" "$(printf 'a%.0s' {1..26})"
  keys Enter
  wait_for 'right speaker\?'
}

scenario_resize() {
  start 80 32
  tmux -L "$socket" set -g window-size manual >/dev/null
  wait_for 'Distances in feet or metres'
  answer M 'left speaker\?'
  typed 12
  tmux -L "$socket" resize-window -t main -x 100 -y 40
  wait_until '[[ $(cursor "#{window_height}") == 40 ]]'
  wait_for 'left speaker\?'
  wait_until '[[ $(cells 10 54 2) == 12 ]]'
  expect_eq "title after growing" "$(row 2)" "   Mirvane v1"
  tmux -L "$socket" resize-window -t main -x 80 -y 20
  wait_until '[[ $(cursor "#{window_height}") == 20 ]]'
  wait_until '[[ $(cells 10 54 2) == 12 ]]'
  typed 3
  keys Enter
  wait_for 'right speaker\?'
  expect_eq "the answer kept its place" "$(cells 10 54 3)" "123"
  tmux -L "$socket" resize-window -t main -x 80 -y 12
  wait_until '[[ $(cursor "#{window_height}") == 12 ]]'
  # Buffer row 11 holds the cursor; a 12-row pane still shows from the top.
  wait_until '[[ $(row 11) == "   Horizontal distance to right speaker?" ]]'
  answer '' 'Height of left/right speakers\?'
  answer '' 'centre speaker\?'
  # Buffer row 14 holds the cursor now: the view has followed it, two rows down.
  wait_until '[[ $(cursor "#{cursor_y}") == 11 ]]'
  wait_until '[[ $(row 12) == "   Horizontal distance to centre speaker?" ]]'
  expect_eq "the default answer" "$(cells 9 54 3)" "123"
}

scenario_ctrl_c() {
  start 80 32
  wait_for 'Distances in feet or metres'
  keys C-c Escape F1 Left
  typed M
  wait_until '[[ $(cells 8 54 3) == M ]]'
  keys Enter
  wait_for 'left speaker\?'
  answer 3 'right speaker\?'
  local i
  for i in 1 2 3 4 5 6 7; do keys Enter; done
  wait_for 'press any key to quit'
  keys C-c
  wait_for_exit
  expect_eq "exit status after Ctrl+C at the final wait" "$status" 0
  expect_terminal_restored
}

scenario_ctrl_backslash() {
  start 80 40
  wait_for 'Distances in feet or metres'
  typed M
  wait_until '[[ $(cells 8 54 1) == M ]]'
  keys 'C-\'
  wait_for_exit
  expect_eq "exit status of the break key" "$status" $((128 + 3))
  expect_terminal_restored
  expect_eq "the screen stays" "$(row 2)" "   Mirvane v1"
}

scenario_signals() {
  local signal number
  for signal in TERM HUP INT SEGV; do
    start 80 32
    wait_for 'Distances in feet or metres'
    number=$(kill -l "$signal")
    kill -s "$signal" "$(cat "$work/pid")"
    wait_for_exit
    expect_eq "exit status after SIG$signal" "$status" $((128 + number))
    expect_terminal_restored
    tmux -L "$socket" kill-server
    rm -f "$work/status" "$work/pid"
  done
}

hang_up() {  # [trap command run before the program starts]
  start 80 32
  wait_for 'Distances in feet or metres'
  local pid started took
  pid=$(cat "$work/pid")
  started=${EPOCHREALTIME/./}
  tmux -L "$socket" kill-server
  wait_until '! kill -0 '"$pid"' 2>/dev/null'
  took=$(((${EPOCHREALTIME/./} - started) / 1000))
  # How soon is a figure for the benchmark, not a pass mark here: this machine may be busy.
  echo "ended $took ms after the hang-up"
}

scenario_hang_up() { hang_up; }

# Under nohup the signal never comes: the terminal's end of input must end the run all the same.
scenario_hang_up_ignored() {
  ignore_hang_up=1
  hang_up
}

scenario_stop_and_continue() {
  cat >"$work/shell.sh" <<EOF
cd '$work'
stty -g > before
export PS1='SHELL> ' LANG=C.UTF-8 TERM=xterm-256color
exec bash --norc --noprofile -i
EOF
  tmux -L "$socket" -f /dev/null new-session -d -s main -x 80 -y 32 "bash $work/shell.sh" ||
    fail "tmux did not start"
  wait_for 'SHELL>'
  typed "'$program'"
  keys Enter
  wait_for 'Distances in feet or metres'
  typed M
  wait_until '[[ $(cells 8 54 1) == M ]]'
  local pid
  pid=$(pgrep -P "$(cursor '#{pane_pid}')") || fail "no program process under the shell"
  kill -TSTP "$pid"
  wait_for 'Stopped'
  typed "stty -g > stopped"
  keys Enter
  wait_until '[[ -s $work/stopped ]]'
  expect_eq "stty -g while stopped" "$(cat "$work/stopped")" "$(cat "$work/before")"
  typed fg
  keys Enter
  wait_until '[[ $(row 2) == "   Mirvane v1" && $(cells 8 54 1) == M ]]'
  typed 'x'  # raw again: echoed in place without Enter
  wait_until '[[ $(cells 8 54 2) == Mx ]]'
  # A stop that cannot be caught: the shell takes the terminal back, and after fg the program
  # takes it again and draws its screen anew.
  kill -STOP "$pid"
  wait_for 'Stopped'
  typed fg
  keys Enter
  wait_until '[[ $(row 2) == "   Mirvane v1" && $(cells 8 54 2) == Mx ]]'
  typed 'y'
  wait_until '[[ $(cells 8 54 3) == Mxy ]]'
  keys 'C-\'
  wait_for 'SHELL>'
  typed "stty -g > after"
  keys Enter
  wait_until '[[ -s $work/after ]]'
  expect_eq "stty -g at the end" "$(cat "$work/after")" "$(cat "$work/before")"
}

# A locale without UTF-8: the box is drawn in ASCII.
scenario_ascii_locale() {
  start 80 32 LANG=C LC_ALL=C
  wait_for 'Distances in feet or metres'
  typed x
  keys Enter
  wait_for 'You must respond either F or M'
  local top
  top=$(screen | grep -m1 -E '^ *\+-  ERROR-+\+ *$') || fail "no ASCII box edge"
  screen | grep -qE '^ *\| +You must respond either F or M +\| *$' || fail "no ASCII box side"
  keys Enter
  wait_until '! screen | grep -q "You must respond"'
}

# The window dressing by the terminal's means: the title, and the bell before the error box
# (tmux flags a bell in a window that is not the current one).
scenario_title_and_bell() {
  start 80 32
  tmux -L "$socket" new-window -d -t main:1 'sleep 600'
  tmux -L "$socket" select-window -t main:1
  wait_for 'Distances in feet or metres'
  expect_eq "title" "$(tmux -L "$socket" display -p -t main:0 '#{pane_title}')" "Mirvane"
  expect_eq "no bell yet" "$(tmux -L "$socket" display -p -t main:0 '#{window_bell_flag}')" 0
  typed x
  keys Enter
  wait_for 'You must respond either F or M'
  expect_eq "bell" "$(tmux -L "$socket" display -p -t main:0 '#{window_bell_flag}')" 1
}

# Standard output to a file: the screen is standard error's terminal, and the file stays empty.
scenario_screen_on_stderr() {
  redirect="> '$work/stdout'"
  start 80 40
  run_dialogue
  expect_form_rows 0
  expect_result_rows 0
  keys q
  wait_for_exit
  expect_eq "exit status" "$status" 0
  expect_terminal_restored
  [[ ! -s $work/stdout ]] || fail "standard output got [$(cat "$work/stdout")]"
}

# Standard input from elsewhere: keys still come from the terminal, but its input mode cannot be
# set, so Ctrl+C stays the interrupt it was, as on a console whose standard input is redirected.
scenario_stdin_redirected() {
  redirect="< /dev/null"
  start 80 40
  wait_for 'Distances in feet or metres'
  answer M 'left speaker\?'
  keys C-c
  wait_for_exit
  expect_eq "exit status" "$status" $((128 + 2))
  expect_terminal_restored
}

# A paste arrives complete and in order: 3000 characters typed into one answer, every row of it as
# pasted, the text wrapping and the screen scrolling as it goes.
scenario_paste() {
  deadline_seconds=60
  start 80 32
  wait_for 'Distances in feet or metres'
  answer M 'left speaker\?'
  # The numbers counted up never repeat a stretch of text, so a row lost, doubled or out of
  # order shows, and the last row can only look as expected once the paste is complete.
  local pattern="" n=0
  while ((${#pattern} < 3000)); do pattern+="$n."; n=$((n + 1)); done
  pattern=${pattern:0:3000}
  printf '%s' "$pattern" >"$work/paste"
  tmux -L "$socket" load-buffer -b paste "$work/paste"
  tmux -L "$socket" paste-buffer -b paste -t main:0
  # 27 characters fill row 10 from column 54, then 80 a row: the last 13 end on row 32.
  wait_until '[[ $(row 32) == "${pattern:2987:13}" ]]'
  local k
  for ((k = 1; k <= 20; k++)); do
    expect_eq "row $((32 - k)) of the pasted answer" "$(row $((32 - k)))" "${pattern:$((27 + (37 - k) * 80)):80}"
  done
}

"scenario_$scenario" || exit 1
echo "PASS [$scenario]"

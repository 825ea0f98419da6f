#!/usr/bin/env bash
# The program with no terminal: keys from standard input, the final screen printed as text.
# plain_stream_test.sh <path to mirvane>
set -uo pipefail

program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Runs the program detached from any terminal (setsid: no /dev/tty) with the given input bytes.
run() {  # name input [VAR=value ...]
  local name=$1 input=$2
  shift 2
  printf '%b' "$input" >"$work/$name.in"
  timeout 20 setsid env LANG=C.UTF-8 LC_ALL= TERM=xterm-256color "$@" "$program" \
    <"$work/$name.in" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.status"
}

report='
   Mirvane v1
   Copyright (c) 2026 the Mirvane developers
   No web site: see the README that comes with the program



   Distances in feet or metres [F/M]?                M

   Horizontal distance to left speaker?              3
   Horizontal distance to right speaker?             3
   Height of left/right speakers?                    0

   Horizontal distance to centre speaker?            2
   Height of centre speaker?                         0

   Horizontal distance to left surround speaker?
   Horizontal distance to right surround speaker?
   Height of surround speakers?                      0



   Left front delay       0.00 ms
   Right front delay      0.00 ms
   Centre front delay     2.91 ms
   Left surround delay    8.72 ms
   Right surround delay   8.72 ms



   press any key to quit'

expect_report() {  # name
  local name=$1
  [[ $(cat "$work/$name.status") == 0 ]] || fail "$name: exit status $(cat "$work/$name.status")"
  [[ $(cat "$work/$name.out") == "$report" ]] ||
    fail "$name: report differs:"$'\n'"$(diff <(echo "$report") "$work/$name.out")"
  [[ ! -s $work/$name.err ]] || fail "$name: unexpected standard error: $(cat "$work/$name.err")"
  # Trailing blanks and trailing empty rows are dropped; the last row ends with a line end.
  ! grep -q ' $' "$work/$name.out" || fail "$name: trailing blanks"
  [[ $(tail -c 1 "$work/$name.out" | od -An -c | tr -d ' ') == '\n' ]] || fail "$name: no final line end"
}

# The final key: one more line, or the end of input itself.
run lf 'M\n3\n3\n\n2\n\n\n\n\n\n'
expect_report lf
run end_is_the_key 'M\n3\n3\n\n2\n\n\n\n\n'
expect_report end_is_the_key
run crlf 'M\r\n3\r\n3\r\n\r\n2\r\n\r\n\r\n\r\n\r\n'
expect_report crlf
run cr 'M\r3\r3\r\r2\r\r\r\r\r'
expect_report cr
run no_term 'M\n3\n3\n\n2\n\n\n\n\n' TERM=
expect_report no_term
run dumb 'M\n3\n3\n\n2\n\n\n\n\n' TERM=dumb
expect_report dumb

# A refused units answer: its box goes to standard error, the dialogue goes on.
run refused 'x\nM\n3\n3\n\n2\n\n\n\n\n'
[[ $(cat "$work/refused.out") == "$report" ]] || fail "refused: report differs"
[[ $(cat "$work/refused.err") == '  ERROR: You must respond either F or M  ' ]] ||
  fail "refused: standard error is [$(cat "$work/refused.err")]"

# Input that ends while an answer is awaited: a message and a failure status, promptly.
for early in '' 'M\n' 'M\n3\n3' 'x\n'; do
  run early "$early"
  status=$(cat "$work/early.status")
  [[ $status != 0 && $status != 124 ]] || fail "input [$early] ended early: exit status $status"
  grep -q 'standard input ended' "$work/early.err" ||
    fail "input [$early] ended early: no message, standard error [$(cat "$work/early.err")]"
done

# Bytes outside ASCII: UTF-8 in, the code page's glyph out.
run glyphs 'M\n\xc3\xa9\xe2\x96\x91\n3\n\n2\n\n\n\n\n'
grep -q '   Horizontal distance to left speaker?              é░' "$work/glyphs.out" ||
  fail "glyphs: $(sed -n 10p "$work/glyphs.out")"

((failures == 0)) || exit 1
echo "PASS [plain stream]"

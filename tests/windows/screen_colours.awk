# Reads a screen captured with `tmux capture-pane -p -e` and prints, for each row, one letter per
# cell, so that the colours of a row can be compared as text:
#   K  a character in black on bright white
#   G  a character in dark grey on bright white
#   w  a blank on bright white
#   ?  anything else (another colour, or the terminal's default)
# tmux writes a colour change only where it happens, so the colours carry over from row to row.
BEGIN { fg = "default"; bg = "default" }

function colour256(n, base, brightBase) {
  if (n < 8) return base + n
  if (n < 16) return brightBase + n - 8
  return "other"
}

function apply(params,    parts, count, i, p) {
  count = split(params, parts, ";")
  if (count == 0) { fg = "default"; bg = "default"; return }
  for (i = 1; i <= count; i++) {
    p = parts[i] + 0
    if (parts[i] == "" || p == 0) { fg = "default"; bg = "default" }
    else if ((p >= 30 && p <= 37) || (p >= 90 && p <= 97)) fg = p
    else if (p == 39) fg = "default"
    else if ((p >= 40 && p <= 47) || (p >= 100 && p <= 107)) bg = p
    else if (p == 49) bg = "default"
    else if ((p == 38 || p == 48) && parts[i + 1] == "5") {
      if (p == 38) fg = colour256(parts[i + 2] + 0, 30, 90)
      else bg = colour256(parts[i + 2] + 0, 40, 100)
      i += 2
    }
  }
}

function code(ch) {
  if (bg != 107) return "?"
  if (ch == " ") return "w"
  if (fg == 30) return "K"
  if (fg == 90) return "G"
  return "?"
}

{
  line = $0
  out = ""
  while (length(line) > 0) {
    if (substr(line, 1, 2) == "\033[") {
      rest = substr(line, 3)
      end = match(rest, /[A-Za-z]/)
      if (end == 0) break
      if (substr(rest, end, 1) == "m") apply(substr(rest, 1, end - 1))
      line = substr(rest, end + 1)
      continue
    }
    out = out code(substr(line, 1, 1))
    line = substr(line, 2)
  }
  print out
}

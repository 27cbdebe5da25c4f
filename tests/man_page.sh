#!/usr/bin/env bash
# The manual page follows the tool: it has an entry (a .SS line under COMMANDS) for each command that
# "navconfig --help" lists and for no other; each entry names the options that "navconfig COMMAND --help"
# lists; OPTIONS names the options of "navconfig --help"; and no option is named that the tool does not have.
# The exit codes that "navconfig --help" lists are those of EXIT STATUS, and the transcripts of the tool's tests
# (TRANSCRIPTS/*.txt) expect each of them somewhere ("? CODE"; 0 is every case without one). The page also renders
# without a warning from man or groff (as lintian checks it).
# Usage: man_page.sh TOOL PAGE TRANSCRIPTS
set -euo pipefail
tool=$1
page=$2
transcripts=$3
problems=()
problem() { problems+=("$*"); }

# The commands and the options of one help text ("Subcommands:" and "Options:" blocks, two-space indent).
commands_of() { sed -n '/^Subcommands:/,/^$/p' | sed -nE 's/^  ([a-z][a-z-]*) .*/\1/p'; }
options_of() { sed -n '/^Options:/,/^$/p' | sed -nE 's/^  (-[a-zA-Z],)?(--[a-z][a-z-]*).*/\2/p'; }
# The options named in roff text, where a dash is written \-.
named_options() { sed 's/\\-/-/g' | grep -oE -- '--[a-z][a-z-]*' | sort -u || true; }
# The lines of one section (.SH NAME) of the page, without the heading; with "!", all the other lines.
section() {
  awk -v name="${1#!}" -v not="${1%%[!!]*}" '/^\.SH/ {on = ($0 == ".SH " name || $0 == ".SH \"" name "\"")}
    (not == "") == on' "$page"
}
# The entries of COMMANDS as "command<TAB>line" for each of their lines (a heading's first word names it).
entries() {
  section COMMANDS | awk '/^\.SS/ {
      line = $0; sub(/^\.SS[ "]*/, "", line); gsub(/\\f[BIRP]/, "", line); split(line, w, /[ "]/); name = w[1]
      gsub(/\\-/, "-", name) }
    name != "" { print name "\t" $0 }'
}

# listed LIST WORD: WORD is one of the lines of LIST.
listed() { [[ $'\n'$1$'\n' == *$'\n'$2$'\n'* ]]; }

help=$("$tool" --help)
global=$(options_of <<<"$help" | sort -u)
commands=$(commands_of <<<"$help")
[ -n "$commands" ] || { echo "no commands found in '$tool --help'"; exit 1; }
entries=$(entries)
documented=$(cut -f1 <<<"$entries" | sort -u)

for c in $commands; do
  listed "$documented" "$c" ||
    problem "$page: COMMANDS has no entry for '$c', which '$tool --help' lists: add a .SS entry for it"
done
for c in $documented; do
  listed "$commands" "$c" ||
    problem "$page: COMMANDS describes '$c', which '$tool --help' does not list: remove or rename the entry"
done

described=$(section OPTIONS | named_options)
for o in $global; do
  listed "$described" "$o" || problem "$page: OPTIONS does not describe $o, which '$tool --help' lists"
done
all_options=$global
for c in $commands; do
  own=$("$tool" "$c" --help | options_of | grep -vx -- --help | sort -u || true)
  all_options+=$'\n'$own
  listed "$documented" "$c" || continue
  named=$(awk -F'\t' -v c="$c" '$1 == c {print $2}' <<<"$entries" | named_options)
  for o in $own; do
    listed "$named" "$o" || problem "$page: the entry of '$c' does not describe $o, which '$tool $c --help' lists"
  done
  for o in $named; do
    listed "$own"$'\n'"$global" "$o" ||
      problem "$page: the entry of '$c' names $o, which neither '$tool $c --help' nor '$tool --help' lists"
  done
done
for o in $(section '!COMMANDS' | named_options); do
  listed "$all_options" "$o" || problem "$page: names $o, which no command of '$tool' has"
done

# Exit codes: "  N  text" lines after "Exit codes:" in the help; ".TP" then ".B N" in EXIT STATUS.
help_codes=$(sed -n '/^Exit codes:/,$p' <<<"$help" | sed -nE 's/^  ([0-9]+)  .*/\1/p' | sort -u)
page_codes=$(section "EXIT STATUS" | sed -nE 's/^\.B ([0-9]+)$/\1/p' | sort -u)
[ -n "$help_codes" ] || problem "'$tool --help' lists no exit codes"
[ "$help_codes" = "$page_codes" ] ||
  problem "$page: EXIT STATUS lists the codes $(echo $page_codes), '$tool --help' $(echo $help_codes)"
for code in $help_codes; do
  [ "$code" = 0 ] || grep -qx "? $code" "$transcripts"/*.txt ||
    problem "no transcript in $transcripts expects the exit code $code"
done

# Warnings of man and groff, as lintian asks for them.
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || problem "$page: man reports: $warnings"

if [ ${#problems[@]} -gt 0 ]; then
  printf '%s\n' "${problems[@]}"
  exit 1
fi
echo "manual page: $(wc -w <<<"$commands") commands and $(sort -u <<<"$all_options" | grep -c .) options," \
  "as the tool lists them"

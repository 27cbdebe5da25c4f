#!/usr/bin/env bash
# The bash completion of navconfig, driven as bash drives it: the completion function runs with COMP_LINE and
# COMP_POINT set for a command line, and what it leaves in COMPREPLY (or asks of compopt, which bash honours
# by completing file or directory names itself) is compared with what Tab must give.
# Usage: completion.sh TOOL COMPLETION_SCRIPT
set -uo pipefail
tool=$1
PATH=$(cd "$(dirname "$tool")" && pwd):$PATH
# shellcheck source=/dev/null
source "$2"
complete -p navconfig >/dev/null || { echo "$2 does not register a completion for navconfig"; exit 1; }
# compopt works only while bash itself completes; here it records what was asked.
compopt() { asked+="$* "; }

failures=0
# expect LINE [POINT] EXPECTED: with the cursor at POINT (default: the end of LINE), COMPREPLY holds the
# candidates EXPECTED (joined by |), or EXPECTED is "compopt -o dirnames" or "compopt -o default".
expect() {
  local line=$1 point=${#1} want
  if [ $# -eq 3 ]; then point=$2; fi
  want=${*: -1}
  COMP_LINE=$line COMP_POINT=$point COMP_WORDBREAKS=$' \t\n"\'><=;|&(:' COMPREPLY=() asked=""
  _navconfig navconfig
  local got
  got=$(IFS='|'; echo "${COMPREPLY[*]}")
  [ -n "$asked" ] && got="compopt ${asked% }${got:+ + $got}"
  if [ "$got" != "$want" ]; then
    echo "Tab after [${line:0:point}]: got [$got], want [$want]"
    failures=$((failures + 1))
  fi
}

# Commands: all that the help lists (the hidden __complete is not one of them), or those that begin so.
commands=$("$tool" --help | sed -n '/^Subcommands:/,/^$/p' | sed -nE 's/^  ([a-z][a-z-]*) .*/\1/p' | paste -sd'|')
expect 'navconfig ' "$commands"
expect 'navconfig ver' 'version-string'
expect 'navconfig bogus ' ''
# Sections and keys of the catalogue: the first section, a section found without regard to case, the keys
# of a section in catalogue order, and the only key that begins so.
expect 'navconfig get Dist' 'DistanceCache'
expect 'navconfig get Ima' 'Image'
expect 'navconfig get ima' 'Image'
expect 'navconfig get Image ' 'KeepPercent|AllowSquish'
expect 'navconfig get Image Keep' 'KeepPercent'
expect 'navconfig unset image keep' 'KeepPercent'
expect 'navconfig get Image KeepPercent ' ''
expect 'navconfig watch ima' 'Image'
expect 'navconfig watch Image Keep' 'KeepPercent'
expect 'navconfig set Image KeepPercent ' ''
# Candidates that differ from the typed text in case, and have less in common than was typed: none.
expect 'navconfig get po' ''
# The cursor within the line: the word up to the cursor is completed.
expect 'navconfig get Ima KeepPercent' 17 'Image'
# Names with blanks and word-break characters, quoted as typed: bash replaces only the text after the last
# word break (':') or after an open quote, so the candidate is cut there.
expect 'navconfig get User\ Se' 'User\ Settings'
expect "navconfig get 'User Se" 'User Settings'
expect 'navconfig get "File Pol' 'File Policies'
expect "navconfig get 'Since Inception' Received:\\ B" '\ Bytes'
expect "navconfig get Since\\ Inception 'Sent: GM" 'Sent: GMessages'
# A full path keeps its layer.
expect 'navconfig get user\\Ima' 'user\\Image'
# Options: of the tool before the command, of the command and the tool after it; global options with a
# value are skipped over; option values.
expect 'navconfig --con' '--config-dir'
expect 'navconfig --config-dir /tmp --json get Ima' 'Image'
expect 'navconfig --config-dir=/tmp get Ima' 'Image'
expect 'navconfig get Image KeepPercent --o' '--origin'
expect 'navconfig set Image KeepPercent 70 --s' '--string'
expect 'navconfig get Image KeepPercent --sh' '--show-origin'
# reset takes any number of keys.
expect 'navconfig reset Image KeepPercent All' 'AllowSquish'
expect 'navconfig list --' '--help|--all|--version|--config-dir|--runtime-dir|--json'
expect 'navconfig mapsets . --type ' 'data|orospeeds|ispeeds|tmc|polygons'
expect 'navconfig mapsets . --type=t' 'tmc'
# registry: its actions, then the roots; account's option.
expect 'navconfig registry ' 'get|set|list|delete'
expect 'navconfig registry l' 'list'
expect 'navconfig registry list hk' 'HKCU\\|HKLM\\|HKCR\\'
expect 'navconfig registry get HKCU\\Software ' ''
expect 'navconfig account --c' '--clear|--config-dir'
# File and directory names are left to bash.
expect 'navconfig --config-dir ' 'compopt -o dirnames'
expect 'navconfig --runtime-dir=/t' 'compopt -o dirnames'
expect 'navconfig mapsets /t' 'compopt -o dirnames'
expect 'navconfig check ' 'compopt -o default'
expect 'navconfig check a.cfg b' 'compopt -o default'
expect 'navconfig import --dry-run ' 'compopt -o default'

if [ "$failures" -gt 0 ]; then
  echo "$failures completion cases failed"
  exit 1
fi
echo "completion: every case gave what Tab must give"

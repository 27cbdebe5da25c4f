# bash completion for navconfig: commands, options, their values, and the sections and keys of the built-in
# catalogue. The tool works out the candidates itself (navconfig __complete) from the command line up to the
# cursor, so that they follow its own commands and catalogue.
_navconfig() {
  local tool=${1/#\~/$HOME} reply=()
  mapfile -t reply < <("$tool" __complete -- "${COMP_LINE:0:COMP_POINT}" "$COMP_WORDBREAKS" 2>/dev/null)
  case ${reply[0]-} in
    words) COMPREPLY=("${reply[@]:1}") ;;
    dirs) compopt -o dirnames ;;  # no candidates of its own: bash completes directory names
    files) compopt -o default ;;  # and here file names
  esac
}
complete -F _navconfig navconfig

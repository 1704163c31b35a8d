# Bash completion for logvane: its options, and the parameter-file keywords
# after --set (-s). tests/completion_test.cpp holds both lists to the
# program's own tables.

_logvane() {
  local cur prev
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  local options="-o --output= -p --params= -f --format= --style= --threads= --geoip=
    --title= -s --set= --rotated= --state= --merge= --dump-state= --from= --until= --agents= -q
    --quiet --check -h --help --version --"
  local keywords="INFILE= OUTFILE= TITLE= LOOKUP= TIMEOUT= DNSTHREADS= THREADS= DEBUG=
    HOFFSET= MAXUSERS= MAXPAGES= MAXDIRS= MAXNOTFOUND= MAXNATIONS= MAXEXTRA1= MAXEXTRA2=
    ADJWIDTH= hstb_loc= ULOOKUP= SELECT= EXCLUDE_ADDR= EXCLUDE_TYPE= EXCLUDE_EXTRA1=
    EXCLUDE_EXTRA2= GEOIP= ROBOTS=RPT USER=FIELD2 PAGES=FULL PROXY=ON PLOW STYLE= LOGFORMAT=
    EXTRA1= EXTRA2= TABLES=SUMMARY DISTINCT=ON STATEFILE= MERGE= SOURCE= NOSHOW NO_USER NO_DATE
    NO_DAY NO_HOUR NO_PAGE NO_DIR NO_NATION NO_CODE AGENTS= BOTS= EXCLUDE_BOTS= NO_BROWSER
    NO_SYSTEM NO_CRAWLER MAXBROWSERS= MAXSYSTEMS= MAXCRAWLERS= TIMEFIELD= NO_TIMES MAXSLOW=
    MINHITS= FROM= UNTIL="

  # A value after "--set=" or "--set ".
  if [[ $cur == --set=* ]]; then
    local word=${cur#--set=}
    COMPREPLY=($(compgen -P --set= -W "$keywords" -- "$word"))
    compopt -o nospace 2>/dev/null
    return
  fi
  case $prev in
    -s | --set)
      COMPREPLY=($(compgen -W "$keywords" -- "$cur"))
      compopt -o nospace 2>/dev/null
      return
      ;;
    --style) COMPREPLY=($(compgen -W "classic modern" -- "$cur")); return ;;
    -o | --output | -p | --params | --rotated | --geoip | --state | --merge | --dump-state | --agents)
      COMPREPLY=($(compgen -f -- "$cur"))
      return
      ;;
    -f | --format | --threads | --title | --from | --until) return ;;
  esac
  case $cur in
    --style=*) COMPREPLY=($(compgen -P --style= -W "classic modern" -- "${cur#--style=}")); return ;;
    --*=*)
      COMPREPLY=($(compgen -P "${cur%%=*}=" -f -- "${cur#*=}"))
      return
      ;;
    -*)
      COMPREPLY=($(compgen -W "$options" -- "$cur"))
      [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
      return
      ;;
  esac
  COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -F _logvane logvane

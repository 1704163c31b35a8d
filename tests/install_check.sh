#!/usr/bin/env bash
# What an installation holds: the program, the manual page, the bash
# completion, the bar image, the example parameter file, the nightly kit and
# the licence.
#   install_check.sh BUILD_DIR WORK_DIR          checks `cmake --install`
#   install_check.sh BUILD_DIR WORK_DIR PACKAGE  checks a .deb unpacked
set -euo pipefail
build="$(realpath "$1")" work="$(realpath -m "$2")" package="${3:-}"
source="$(cd "$(dirname "$0")/.." && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work"

if [ -n "$package" ]; then
  dpkg-deb --info "$package" > "$work/info.txt"
  depends=$(dpkg-deb --field "$package" Depends)
  for library in libc6 libstdc++6 zlib1g; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
  done
  dpkg -x "$package" "$work/root"
  prefix="$work/root/usr"
else
  cmake --install "$build" --prefix "$work/prefix" > "$work/install.txt"
  prefix="$work/prefix"
fi

[ -x "$prefix/bin/logvane" ] || fail "no bin/logvane"
"$prefix/bin/logvane" --version | grep -q '^Quorvel Logvane v' || fail "installed program does not run"
page="$prefix/share/man/man1/logvane.1"
[ -f "$page" ] || fail "no share/man/man1/logvane.1"
cmp -s "$page" "$source/doc/logvane.1" || fail "installed manual page differs"
cmp -s "$prefix/share/logvane/hstb.gif" "$source/assets/hstb.gif" || fail "no share/logvane/hstb.gif"
[ -f "$prefix/share/logvane/lvparam.dat" ] || fail "no share/logvane/lvparam.dat"
[ -x "$prefix/share/logvane/daily/logvane-daily" ] || fail "no executable daily script"
for file in logvane-daily.dat logvane-daily.service logvane-daily.timer logvane-daily.cron; do
  [ -f "$prefix/share/logvane/daily/$file" ] || fail "no share/logvane/daily/$file"
done
[ -f "$prefix/share/doc/logvane/copyright" ] || fail "no licence in share/doc/logvane"
completion="$prefix/share/bash-completion/completions/logvane"
cmp -s "$completion" "$source/completion/logvane.bash" || fail "no bash completion in share/bash-completion"
# The completion offers the options and, after --set, the keywords.
words=$(bash -c 'source "$1"; COMP_WORDS=(logvane --ou); COMP_CWORD=1; _logvane; echo "${COMPREPLY[*]}"
                 COMP_WORDS=(logvane -s MAXU); COMP_CWORD=2; _logvane; echo "${COMPREPLY[*]}"' _ "$completion")
[ "$words" = $'--output=\nMAXUSERS=' ] || fail "the completion offers: $words"
if command -v man > /dev/null; then
  MANPATH="$prefix/share/man" man -w logvane | grep -q "$page" || fail "man does not find the page"
fi
echo "installation checks passed${package:+ for $package}"

#!/usr/bin/env bash
# cmake --install into a fresh prefix: every file in its place; the desktop entry, the metainfo,
# the manual page, the bash completion and the service unit each checked with its own tool; the
# settings file beside a portable copy and in the user's configuration folder for an installed
# one (as root also as the user nobody, for whom the prefix is read-only).
# Usage: test_install.sh BUILD_FOLDER      (exit code 77: skipped, with the reason on stdout)
set -uo pipefail

build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
. "$(dirname "$0")/../script_support.sh"

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }

app_id=com.velmorasoftware.FilesMonitor
expected=(
  bin/filesmonitor
  bin/filesmonitor-cli
  libexec/filesmonitor/filesmonitor-capture
  "share/applications/$app_id.desktop"
  share/icons/hicolor/scalable/apps/filesmonitor.svg
  "share/metainfo/$app_id.metainfo.xml"
  share/man/man1/filesmonitor-cli.1.gz
  share/bash-completion/completions/filesmonitor-cli
  "lib/systemd/system/filesmonitor-cli@.service"
  share/doc/filesmonitor/copyright
  share/doc/filesmonitor/changelog.gz
  share/lintian/overrides/filesmonitor
)
for file in "${expected[@]}"; do
  [ -f "$prefix/$file" ] || fail "$file was not installed"
done
extra=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
[ -z "$extra" ] || fail "installed but not expected: $extra"
[ -x "$prefix/bin/filesmonitor-cli" ] || fail "filesmonitor-cli is not executable"

# The entry names an icon and a program that the prefix holds.
entry=$prefix/share/applications/$app_id.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the entry's icon $icon is not installed"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ -x "$prefix/bin/$exec_program" ] || fail "the entry's Exec program $exec_program is not in bin/"
grep -q '^Categories=.*System;' "$entry" || fail "no Categories in the entry"
grep -q '^Keywords=' "$entry" || fail "no Keywords in the entry"

appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log"; fail "appstreamcli validate"; }

# The manual page renders without a warning and documents every option --help lists.
man_page=$prefix/share/man/man1/filesmonitor-cli.1.gz
MANWIDTH=80 man --warnings -l "$man_page" >"$work/man.txt" 2>"$work/man.err" || fail "man -l $man_page"
[ ! -s "$work/man.err" ] || { cat "$work/man.err"; fail "man -l warned"; }
"$prefix/bin/filesmonitor-cli" --help >"$work/help.txt" || fail "filesmonitor-cli --help"
options=$(grep -o -- '--[a-z]\+' "$work/help.txt" | sort -u)
[ "$(echo "$options" | wc -l)" -ge 7 ] || fail "--help lists too few options: $options"
for option in $options; do
  grep -q -- "$option" "$work/man.txt" || fail "the manual page lacks $option"
done

# The completion offers the options and the values of a choice.
complete_words() { # words of the command line; the last is completed
  bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _filesmonitor_cli; printf "%s\n" "${COMPREPLY[@]}"' \
    completion "$prefix/share/bash-completion/completions/filesmonitor-cli" "$@"
}
[ "$(complete_words filesmonitor-cli --format jo)" = journal ] || fail "completion of --format jo"
[ "$(complete_words filesmonitor-cli --back)" = --backend ] || fail "completion of --back"
mkdir -p "$work/folders/alpha"
[ "$(complete_words filesmonitor-cli --root "$work/folders/al")" = "$work/folders/alpha" ] ||
  fail "completion of a --root folder"

# The unit passes systemd's own check for one instance, its manual page found in the prefix.
unit_dir=$work/units
mkdir -p "$unit_dir"
instance=filesmonitor-cli@$(systemd-escape --path /var/tmp).service
cp "$prefix/lib/systemd/system/filesmonitor-cli@.service" "$unit_dir/$instance"
grep -q "^ExecStart=$prefix/bin/filesmonitor-cli " "$unit_dir/$instance" || fail "the unit does not start the installed companion"
MANPATH=$prefix/share/man: systemd-analyze verify "$unit_dir/$instance" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log"; fail "systemd-analyze verify"; }
[ ! -s "$work/verify.log" ] || { cat "$work/verify.log"; fail "systemd-analyze verify warned"; }

# Settings: --help names the file in use. A portable copy, alone in a folder it may write to,
# keeps them beside itself; an installed copy in the user's configuration folder, even where this
# user (root, or the owner of a prefix in the home folder) may write to its folder.
settings_of() { grep -o 'Settings file in use without --config: .*' | sed 's/.*: //'; }
mkdir "$work/portable"
cp "$prefix/bin/filesmonitor-cli" "$work/portable/"
beside=$("$work/portable/filesmonitor-cli" --help | settings_of)
[ "$beside" = "$work/portable/config.ini" ] || fail "portable copy: settings in $beside"
if [ -w "$prefix/bin" ]; then
  installed_copy=$(XDG_CONFIG_HOME=/nonexistent/conf "$prefix/bin/filesmonitor-cli" --help | settings_of)
  [ "$installed_copy" = /nonexistent/conf/filesmonitor/config.ini ] || fail "writable installed copy: settings in $installed_copy"
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED (the rest): a read-only program folder needs root, to run as nobody"
  exit 77
fi
chmod 0755 "$work" # nobody runs the programs
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin "$@"; }
from_xdg=$(as_nobody XDG_CONFIG_HOME=/nonexistent/conf HOME=/nonexistent/home "$prefix/bin/filesmonitor-cli" --help | settings_of)
[ "$from_xdg" = /nonexistent/conf/filesmonitor/config.ini ] || fail "read-only program folder: settings in $from_xdg"
from_home=$(as_nobody HOME=/nonexistent/home "$prefix/bin/filesmonitor-cli" --help | settings_of)
[ "$from_home" = /nonexistent/home/.config/filesmonitor/config.ini ] || fail "without XDG_CONFIG_HOME: settings in $from_home"
echo "installed files checked in $prefix"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the files that make Rondotheka a desktop program (dist/): the
# desktop entry, the AppStream data, the catalogue's MIME type, the manual
# pages and the bash completion of rondotheka-cli.
# Usage: dist_test.sh SOURCE_DIR RONDOTHEKA_CLI
set -uo pipefail
src=$1
cli=$2
dist=$src/dist
id=io.github.rondotheka.Rondotheka
failures=0
fail() {
  echo "CHYBA: $*" >&2
  failures=$((failures + 1))
}

for tool in desktop-file-validate appstreamcli xmllint update-mime-database gio man lexgrog; do
  command -v "$tool" >/dev/null || {
    echo "chybí $tool; nainstaluje ho scripts/setup" >&2
    exit 1
  }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export RONDOTHEKA_REGISTRY=$work/registry.ini RONDOTHEKA_BORROWED=$work/borrowed.big
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_DATA_DIRS=$work/data:/usr/share

# The validators: no error and no warning (infos are fine).
out=$(desktop-file-validate "$dist/$id.desktop" 2>&1) || fail "desktop-file-validate selhal"
[ -z "$out" ] || fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net "$dist/$id.metainfo.xml" 2>&1) || fail "appstreamcli: $out"
! grep -E '^(E|W):' <<<"$out" || fail "appstreamcli hlásí chyby nebo varování"

# The MIME type: a catalogue is known by its name, and by its first bytes
# under another name; another .dat file is not taken for one.
xmllint --noout "$dist/$id.xml" || fail "MIME XML není v pořádku"
mkdir -p "$work/data/mime/packages"
cp "$dist/$id.xml" "$work/data/mime/packages/"
update-mime-database "$work/data/mime" || fail "update-mime-database selhal"
"$cli" --db "$work/katalog.big" init >/dev/null || fail "init selhal"
cp "$work/katalog.big" "$work/renamed.dat"
printf 'Not a catalogue at all\n' >"$work/other.dat"
while read -r file expected; do
  type=$(gio info -a standard::content-type "$work/$file" | sed -n 's/.*content-type: //p')
  [ "$type" = "$expected" ] || fail "$file: typ $type, čekán $expected"
done <<EOT
katalog.big application/x-rondotheka-catalogue
renamed.dat application/x-rondotheka-catalogue
other.dat text/plain
EOT

# The manual pages render without a warning and have a NAME line.
for page in "$dist"/man/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page: $warnings"
  lexgrog "$page" >/dev/null || fail "$page: lexgrog nenašel NAME"
done

# Every command and every option "rondotheka-cli --help" prints is in its
# manual page: a command as the tag of an entry, an option anywhere.
help=$("$cli" --help) || fail "--help selhal"
page=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\&//g' "$dist/man/rondotheka-cli.1")
tags=$(awk 'tag { sub(/^\.[A-Z]+ /, ""); gsub(/"/, ""); print; tag = 0 } /^\.TP/ { tag = 1 }' <<<"$page")
commands=$(sed -n '/^Příkazy:/,/^$/p' <<<"$help" | grep -E '^  [a-z]' | sed -E 's/^  //; s/  .*//' |
  awk '{ print ($2 ~ /^[a-z]+$/) ? $1 " " $2 : $1 }' | sort -u)
[ "$(wc -l <<<"$commands")" -ge 20 ] || fail "v --help se našlo málo příkazů: $commands"
while read -r command; do
  grep -qE "^$command( |$)" <<<"$tags" || fail "rondotheka-cli.1 nepopisuje příkaz $command"
done <<<"$commands"
while read -r option; do
  grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" <<<"$page" || fail "rondotheka-cli.1 nepopisuje $option"
done < <(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u)

# The completion: a command, an option, a group and a stored disc's serial,
# with the catalogue given by --db as a separate word or after "=".
mkdir -p "$work/disc/Alba"
"$cli" --db "$work/katalog.big" add "$work/disc" --serial 0A1B-2C3D >/dev/null || fail "add selhal"
"$cli" groups add "Filmy 2020" || fail "groups add selhal"
# shellcheck source=/dev/null
source "$dist/completion/rondotheka-cli"
# Completes at the end of the line, split as bash splits it: "=" is a word.
complete_line() {
  local line=$1
  read -r -a COMP_WORDS <<<"${line//=/ = }"
  [[ $line == *' ' ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _rondotheka_cli
  printf '%s\n' "${COMPREPLY[@]}"
}
db="--db $work/katalog.big"
while IFS='|' read -r line expected; do
  got=$(complete_line "$cli $line" 2>&1)
  [ "$got" = "$expected" ] || fail "doplnění '$line': '$got', čekáno '$expected'"
done <<EOT
$db ex|exists
$db search x --no-w|--no-wrap
$db list --group F|Filmy\ 2020
$db exists |0A1B-2C3D
--db=$work/katalog.big recalc 0A|0A1B-2C3D
$db ls 0A1B-2C3D A|Alba
EOT

[ "$failures" -eq 0 ] || exit 1
echo "dist: vše v pořádku"

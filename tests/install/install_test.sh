#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a scratch DESTDIR with the prefix /usr, as a
# package build does, and checks the installed tree: every file the build
# installs is where the desktop and Debian expect it and nothing else is
# there; no file names the folders it was built in; the programs run from
# there, find their language files in share/rondotheka and write nothing
# below the prefix.
#
# install_test.sh BUILD_DIR SOURCE_DIR VERSION GUI_BUILT(1|0) SANITIZED(1|0)
set -u

build=$1
source=$2
version=$3
gui=$4
sanitized=${5:-0}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The installed tree. Each row: the file in the source tree whose presence
# means the installing part is there (so the check tightens by itself as
# the parts arrive), then the installed path below DESTDIR.
expected_table() {
  local dist=dist/CMakeLists.txt docs=cmake/packaging.cmake size
  echo "src/cli/main.cpp usr/bin/rondotheka-cli"
  echo "lang/czech.lng usr/share/rondotheka/czech.lng"
  echo "lang/english.lng usr/share/rondotheka/english.lng"
  echo "$dist usr/share/man/man1/rondotheka.1.gz"
  echo "$dist usr/share/man/man1/rondotheka-cli.1.gz"
  echo "$dist usr/share/bash-completion/completions/rondotheka-cli"
  echo "$docs usr/share/doc/rondotheka/copyright"
  echo "$docs usr/share/doc/rondotheka/changelog.gz"
  echo "$docs usr/share/doc/rondotheka/README.md"
  # The desktop program and what the desktop shows of it.
  [ "$gui" = 1 ] || return 0
  echo "src/gui/main.cpp usr/bin/rondotheka"
  echo "$dist usr/share/applications/io.github.rondotheka.Rondotheka.desktop"
  echo "$dist usr/share/icons/hicolor/scalable/apps/io.github.rondotheka.Rondotheka.svg"
  for size in 16 22 24 32 48 64 128 256; do
    echo "$dist usr/share/icons/hicolor/${size}x${size}/apps/io.github.rondotheka.Rondotheka.png"
  done
  echo "$dist usr/share/metainfo/io.github.rondotheka.Rondotheka.metainfo.xml"
  echo "$dist usr/share/mime/packages/io.github.rondotheka.Rondotheka.xml"
}

if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

# Every expected file whose part is there; nothing that is not in the table.
allowed=$work/allowed
: >"$allowed"
while read -r part path; do
  echo "$path" >>"$allowed"
  if [ -e "$source/$part" ]; then
    [ -f "$root/$path" ] || fail "not installed: /$path"
  else
    echo "not checked yet (no $part): /$path"
  fi
done < <(expected_table)
(cd "$root" && find . ! -type d | sed 's|^\./||') | sort >"$work/installed"
sort -o "$allowed" "$allowed"
comm -23 "$work/installed" "$allowed" | while read -r extra; do
  echo "FAIL: installed but not expected: /$extra"
done | tee "$work/extra"
[ -s "$work/extra" ] && failures=$((failures + 1))
[ -x "$root/usr/bin/rondotheka-cli" ] || fail "rondotheka-cli is not executable"

# No file carries the paths of this machine's build (debug information,
# compiled-in folders, generated texts), compressed files included. A
# sanitizer build is exempt: GCC's sanitizers record each source file's full
# path for their reports whatever the prefix maps say, and such a build is
# never packaged.
folders=("$build" "$source")
[ "$sanitized" = 1 ] && folders=()
for folder in "${folders[@]}"; do
  while IFS= read -r -d '' file; do
    case $file in
      *.gz) gzip -dc "$file" | grep -qF "$folder" && fail "${file#"$root"} names $folder" ;;
      *) grep -qF "$folder" "$file" && fail "${file#"$root"} names $folder" ;;
    esac
  done < <(find "$root" -type f -print0)
done

# The programs run from the installed tree with an empty home of their own.
snapshot() { (cd "$root" && find . -printf '%p %y %s %T@\n' | sort); }
snapshot >"$work/before"
home=$work/home
mkdir -p "$home"
# Only what a user's session would give, and the sanitizers' settings of a
# sanitizer build.
run() {
  env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 \
    ${ASAN_OPTIONS:+"ASAN_OPTIONS=$ASAN_OPTIONS"} ${LSAN_OPTIONS:+"LSAN_OPTIONS=$LSAN_OPTIONS"} \
    ${UBSAN_OPTIONS:+"UBSAN_OPTIONS=$UBSAN_OPTIONS"} "$@"
}
cli=$root/usr/bin/rondotheka-cli
out=$(run "$cli" --version) || fail "rondotheka-cli --version"
[[ $out == *"QEL Rondotheka $version"* ]] || fail "rondotheka-cli --version says: $out"
mkdir -p "$work/disc/Hudba"
echo "la la" >"$work/disc/Hudba/píseň.txt"
catalogue=$work/katalog.big
run "$cli" --db "$catalogue" init >/dev/null || fail "rondotheka-cli init"
run "$cli" --db "$catalogue" add "$work/disc" --name "Zkušební disk" >/dev/null ||
  fail "rondotheka-cli add"
out=$(run "$cli" --db "$catalogue" search 'píseň*') || fail "rondotheka-cli search"
[[ $out == *"píseň.txt"* ]] || fail "rondotheka-cli search found: $out"
# The borrowed list of an installed program lives in the user's data folder.
run "$cli" borrowed list >/dev/null || fail "rondotheka-cli borrowed list"
[ -d "$home/.local/share/rondotheka" ] || fail "no user data folder for the borrowed list"

if [ "$gui" = 1 ]; then
  gui_program=$root/usr/bin/rondotheka
  # Answered before any window: no display needed.
  out=$(run "$gui_program" --version) || fail "rondotheka --version"
  [[ $out == "rondotheka (QEL Rondotheka $version)"$'\n'*"GPL"* ]] || fail "rondotheka --version says: $out"
  out=$(run "$gui_program" --help) || fail "rondotheka --help"
  [[ $out == *"Použití: rondotheka"* ]] || fail "rondotheka --help says: $out"

  # The window on the offscreen platform, once in each language, over a
  # catalogue not made yet: the program makes it once its language is set
  # up, the sign that it got that far. Had it not found the language file
  # in share/rondotheka, it would have stopped at a warning and written a
  # new one into the user's data folder; had it found the file lacking
  # texts, it would have written a completed copy there.
  for language in czech english; do
    settings=$work/registry-$language.ini
    window_catalogue=$work/okno-$language.big
    printf '%s\n' '[Software\QEL Software\Rondotheka]' "Cesta=$window_catalogue" \
      "VerzeProgramu=QEL Rondotheka $version" "Language=$language.lng" >"$settings"
    run QT_QPA_PLATFORM=offscreen RONDOTHEKA_REGISTRY="$settings" "$gui_program" \
      >"$work/window.log" 2>&1 &
    pid=$!
    for _ in $(seq 600); do
      [ -s "$window_catalogue" ] && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    written=$home/.local/share/rondotheka/$language.lng
    if [ -f "$written" ]; then
      if grep -q '^Autor=' "$written"; then
        fail "share/rondotheka/$language.lng lacks texts of the windows (a completed copy was written)"
      else
        fail "$language.lng was not found in share/rondotheka"
      fi
      rm -f "$written"
    fi
    [ -s "$window_catalogue" ] || {
      cat "$work/window.log"
      fail "the window ($language) did not get as far as opening its catalogue"
    }
  done
fi

snapshot >"$work/after"
diff "$work/before" "$work/after" >/dev/null || {
  diff "$work/before" "$work/after"
  fail "running the programs changed the installed tree"
}

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installed tree checked"

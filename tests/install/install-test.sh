#!/usr/bin/env bash
# The installed program as a user meets it: installs the "vescor" component of a
# build into a temporary DESTDIR under the prefix /usr, then runs the installed
# programs through their links in /usr/bin and checks the desktop entry.
#
# Usage: install-test.sh BUILD_DIR SOURCE_DIR VERSION
set -uo pipefail

build=$1
source=$2
version=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
prefix=$root/usr
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect DESCRIPTION ACTUAL EXPECTED
expect() {
  if [ "$2" == "$3" ]; then
    echo "PASS: $1"
  else
    fail "$1: got '$2', expected '$3'"
  fi
}

if ! DESTDIR=$root cmake --install "$build" --prefix /usr --component vescor > "$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

# Everything that the package carries, in its place.
for file in \
  bin/vescor bin/vescor-cli \
  lib/vescor/vescor lib/vescor/vescor-cli lib/vescor/libtillo10.so lib/vescor/tillo10-image.json \
  lib/vescor/models/57.json \
  share/applications/vescor.desktop share/icons/hicolor/scalable/apps/vescor.svg share/doc/vescor/README.md share/doc/vescor/tillo10.md \
  share/doc/vescor/copyright share/doc/vescor/changelog.gz share/metainfo/example.orvane.vescor.metainfo.xml \
  share/man/man1/vescor.1.gz share/man/man1/vescor-cli.1.gz; do
  [ -e "$prefix/$file" ] || fail "not installed: /usr/$file"
done
for program in vescor vescor-cli; do
  expect "/usr/bin/$program links into the program's folder" \
    "$(readlink "$prefix/bin/$program")" "../lib/vescor/$program"
done
expect "models installed" \
  "$(cd "$source/models" && ls ./*.json | sort | tr '\n' ' ')" "$(cd "$prefix/lib/vescor/models" && ls ./*.json | sort | tr '\n' ' ')"
cmp -s "$source/driver/default-image.json" "$prefix/lib/vescor/tillo10-image.json" ||
  fail "the default image differs from driver/default-image.json"

# A user of their own: the per-user files go below the temporary folder.
export XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/home/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset TILLO10_EMULATOR TILLO10_TRACE
cd "$work" || exit 1

expect "vescor-cli --version" "$("$prefix/bin/vescor-cli" --version 2>&1)" "vescor-cli $version"
# The window's program answers --help and --version without a display.
expect "vescor --version" "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/vescor" --version 2>&1)" "vescor $version"
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/vescor" --help 2>&1)
expect "vescor --help: exit status" "$?" "0"
expect "vescor --help: usage" "$(head -n 1 <<< "$help")" "Использование: vescor [ПАРАМЕТР]"
# No answer lost without a word: standard output on a full device.
for option in --help --version; do
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/vescor" $option > /dev/full 2> "$work/full.err"
  expect "vescor $option on a full device: exit status" "$?" "3"
  expect "vescor $option on a full device: message" "$(cat "$work/full.err")" \
    "Не удалось записать на стандартный вывод: нет места на устройстве"
done
grep -q 'Использование: vescor' <<< "$(zcat "$prefix/share/man/man1/vescor.1.gz")" ||
  fail "the manual page of vescor does not carry its --help"
# Each manual page has a synopsis, the exit statuses and an example; vescor-cli's
# names every option of every command.
for page in vescor vescor-cli; do
  text=$(zcat "$prefix/share/man/man1/$page.1.gz")
  for section in SYNOPSIS "EXIT STATUS" EXAMPLES; do
    grep -q "^\.SH \"\?$section" <<< "$text" || fail "the manual page of $page has no $section section"
  done
done
cli_page=$(zcat "$prefix/share/man/man1/vescor-cli.1.gz")
for option in dry-run only-different encoding json tables quiet; do
  grep -qF -- "\-\-${option//-/\\-}" <<< "$cli_page" || fail "the manual page of vescor-cli never names --$option"
done
for command in identify export import diff journal revert snapshot; do
  grep -q "^\.SS $command\$" <<< "$cli_page" || fail "the manual page of vescor-cli has no section on $command"
done

# identify NAME STATUS OUTPUT ERROR: runs the installed vescor-cli identify and
# compares its exit status, its output (lines joined by "|") and the start of
# its standard error.
identify() {
  local output status error
  output=$("$prefix/bin/vescor-cli" identify 2>"$work/identify.err")
  status=$?
  expect "$1: exit status" "$status" "$2"
  expect "$1: output" "${output//$'\n'/|}" "$3"
  error=$(cat "$work/identify.err")
  expect "$1: message" "${error:0:${#4}}" "$4"
}
default_register='Модель: 57 (Вескор-Эмулятор 57)|Заводской номер: 0057000001|Версия ПО: 3.0.25|Фискальный режим: да (ФИСК.)'

# The emulated register of a copy of the installed default image.
cp "$prefix/lib/vescor/tillo10-image.json" "$work/image.json"
TILLO10_EMULATOR=$work/image.json identify "identify, image named" 0 "$default_register" ""
# The installed programs load the installed driver, not one of a build.
LD_DEBUG=files TILLO10_EMULATOR=$work/image.json "$prefix/bin/vescor-cli" identify > /dev/null 2> "$work/ld.log"
grep -q "calling init: $(realpath "$prefix/lib/vescor/libtillo10.so")\$" "$work/ld.log" ||
  fail "the installed vescor-cli loaded no driver from /usr/lib/vescor: $(grep -o 'calling init: .*tillo10.*' "$work/ld.log")"
# Without an image named, the driver makes the user's copy from the default image beside it.
identify "identify, user's copy of the default image" 0 "$default_register" ""
[ -f "$XDG_DATA_HOME/tillo10/register-image.json" ] || fail "no per-user register image made"
# A missing image: the installed CLI reports the driver's failure.
TILLO10_EMULATOR=$work/none.json identify "identify, image missing" 3 "" "Ошибка - 20 [Образ ККТ $work/none.json"

# The window on the offscreen platform: it starts, reaches its event loop and
# is ended by a signal (or quits on its own, cleanly).
# Started from a folder holding plug-in folders of its own, it does not look there.
mkdir -p "$work/start/platforms" "$work/start/styles"
(cd "$work/start" && QT_DEBUG_PLUGINS=1 QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES=default.debug=true QT_FORCE_STDERR_LOGGING=1 \
  exec "$prefix/bin/vescor") > "$work/vescor.log" 2>&1 &
pid=$!
while kill -0 "$pid" 2>/dev/null && ! grep -q '"Vescor started"' "$work/vescor.log"; do
  sleep 0.2
done
kill -TERM "$pid" 2>/dev/null
wait "$pid"
status=$?
if grep -q '"Vescor started"' "$work/vescor.log" && { [ $status == 0 ] || [ $status == 143 ]; }; then
  echo "PASS: vescor starts"
else
  cat "$work/vescor.log"
  fail "vescor did not start (exit status $status)"
fi
grep -q 'checking directory path' "$work/vescor.log" || fail "Qt reported no plug-in folders (QT_DEBUG_PLUGINS)"
if grep 'checking directory path' "$work/vescor.log" | grep -q -e "\"$work/start" -e '"\./' -e '"platforms'; then
  fail "vescor looks for plug-ins in the folder it was started from: $(grep 'checking directory path' "$work/vescor.log" | grep "$work/start")"
fi

# The desktop entry: valid without a remark, naming the installed program and icon.
desktop=$prefix/share/applications/vescor.desktop
if command -v desktop-file-validate > /dev/null; then
  expect "desktop-file-validate" "$(desktop-file-validate "$desktop" 2>&1; echo "status $?")" "status 0"
else
  fail "desktop-file-validate is missing (package desktop-file-utils, scripts/install-deps)"
fi
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ -x "$prefix/bin/$(entry Exec)" ] || fail "the desktop entry runs '$(entry Exec)', not an installed program"
[ -f "$prefix/share/icons/hicolor/scalable/apps/$(entry Icon).svg" ] || fail "no icon '$(entry Icon)' installed"
grep -q '<svg ' "$prefix/share/icons/hicolor/scalable/apps/vescor.svg" || fail "the icon is not an SVG image"

if [ $failures -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all passed"

#!/usr/bin/env bash
# The example playbook against 20 emulated registers on this machine (forks 10)
# and one more whose image makes writes fail, with the driver's settings and
# the registers' passwords from inventory variables written as the README shows:
#   1. the first run changes the 20 registers (their images then hold the files'
#      values) and fails the broken one alone; its time is reported;
#   2. a second run changes nothing on any of them (barcodes included);
#   3. check mode on fresh images reports the change and leaves the images
#      untouched byte for byte;
# the password shows neither in the process list during a run nor anywhere in
# Ansible's output; and the modules' parameters, answers and failures, one
# ad-hoc run each.
# Usage: playbook-test.sh BIN_DIR ANSIBLE_DIR
set -uo pipefail

bin=$1
examples=$2/examples
work=$(mktemp -d "${TMPDIR:-/tmp}/vescor-ansible.XXXXXX")
watcher=
cleanup() {
    [ -n "$watcher" ] && kill "$watcher" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

command -v ansible-playbook >/dev/null || { echo "ansible-playbook is missing: run scripts/install-deps" >&2; exit 1; }
[ -x "$bin/vescor-cli" ] || { echo "no vescor-cli in $bin" >&2; exit 1; }

export ANSIBLE_HOME=$work/ansible-home
export ANSIBLE_LOCAL_TEMP=$work/ansible-tmp
export ANSIBLE_REMOTE_TEMP=$work/ansible-tmp
export ANSIBLE_COLLECTIONS_PATH=$2
export ANSIBLE_NOCOLOR=1
export ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_DEPRECATION_WARNINGS=0
export ANSIBLE_LOCALHOST_WARNING=0
export ANSIBLE_FORKS=10
export XDG_DATA_HOME=$work/data
export LC_ALL=C.UTF-8
export VESCOR_BIN=$bin
export VESCOR_IMAGES=$work/images
mkdir -p "$VESCOR_IMAGES"

good=$(for i in $(seq -w 1 20); do printf 'kassa-%s ' "$i"; done)
good=${good% }
broken=kassa-broken
secret="Vx-$RANDOM-$RANDOM-pass"

# Fresh images from the default register, each with its own serial number;
# the broken one refuses writes to table 6.
fresh_images() {
    local n=0
    for host in $good $broken; do
        n=$((n + 1))
        sed "s/\"serialNumber\": \"0057000001\"/\"serialNumber\": \"00570010$(printf %02d $n)\"/" \
            "$bin/tillo10-image.json" > "$VESCOR_IMAGES/$host.json"
    done
    sed -i 's/"faults": \[\]/"faults": [{"call": "write", "table": 6, "code": 2, "description": "Нет связи"}]/' \
        "$VESCOR_IMAGES/$broken.json"
    grep -q '"description": "Нет связи"' "$VESCOR_IMAGES/$broken.json" || fail "could not make $broken's image fail"
}

# The example inventory with its hosts replaced: the driver's settings with the
# register's passwords, as a dictionary on odd hosts and as a JSON text on even ones.
inventory=$work/inventory.yml
{
    sed -n '/^registers:/,/^  hosts:/p' "$examples/inventory.yml"
    odd=1
    for host in $good $broken; do
        echo "    $host:"
        if [ $odd -eq 1 ]; then
            printf '      vescor_settings:\n        Port: 1\n        UserPassword: "%s"\n        AccessPassword: "%s"\n' \
                "$secret" "$secret"
        else
            printf "      vescor_settings: '{\"Port\": 1, \"UserPassword\": \"%s\", \"AccessPassword\": \"%s\"}'\n" \
                "$secret" "$secret"
        fi
        odd=$((1 - odd))
    done
    sed -n '/^  vars:/,$p' "$examples/inventory.yml"
} > "$inventory"
if ! grep -q "^    $broken:" "$inventory" || ! grep -q '^  vars:' "$inventory"; then
    echo "could not rewrite the hosts of $examples/inventory.yml" >&2
    exit 1
fi

play() { # LOG ARGS...: runs the playbook, returns its exit status
    local log=$1
    shift
    ansible-playbook -i "$inventory" "$examples/playbook.yml" "$@" > "$log" 2>&1
}

# recap LOG HOST CHANGED FAILED: the host's line of the play recap
recap() {
    grep -Eq "^$2 +: ok=[0-9]+ +changed=$3 +unreachable=0 +failed=$4 " "$1" \
        || fail "$1: expected $2 changed=$3 failed=$4: $(grep -E "^$2 " "$1")"
}

# The register holds the files' values: diff finds nothing.
holds_files() {
    for file in "$examples"/files/*.csv; do
        TILLO10_EMULATOR=$VESCOR_IMAGES/$1.json "$bin/vescor-cli" diff --json "$file" > "$work/diff.json" 2>/dev/null
        grep -q '"different":false' "$work/diff.json" || fail "$1 does not hold $file: $(cat "$work/diff.json")"
    done
}

# Every command line of the machine, many times a second, while a play runs.
watch_processes() {
    while :; do
        ps -eo args >> "$work/processes.log" 2>/dev/null
        sleep 0.05
    done
}

for module in vescor_tables vescor_info; do
    ansible-doc "vescor.registers.$module" > /dev/null 2>&1 || fail "ansible-doc cannot read the documentation of $module"
done

# 1. First run: 20 changed, the broken register fails alone.
fresh_images
cp "$VESCOR_IMAGES/$broken.json" "$work/$broken.before"
start=$(date +%s%N)
play "$work/first.log" && fail "first run: the failed host did not fail the run"
elapsed=$((($(date +%s%N) - start) / 1000000))
for host in $good; do
    recap "$work/first.log" "$host" 1 0
    holds_files "$host"
done
recap "$work/first.log" $broken 0 1
grep -q 'Нет связи' "$work/first.log" || fail "first run: $broken's failure does not name the driver's message"
cmp -s "$VESCOR_IMAGES/$broken.json" "$work/$broken.before" || fail "$broken's image changed"

# 2. Second run, fully verbose, through a program that takes its time so that
# the process list sees its command lines: nothing to change, anywhere.
printf '#!/bin/sh\nsleep 0.3\nexec "%s" "$@"\n' "$bin/vescor-cli" > "$work/slow-vescor-cli"
chmod +x "$work/slow-vescor-cli"
watch_processes &
watcher=$!
play "$work/second.log" --limit "${good// /,}" -vvv -e vescor_cli="$work/slow-vescor-cli" || fail "second run failed"
kill "$watcher"
wait "$watcher" 2>/dev/null
watcher=
for host in $good; do
    recap "$work/second.log" "$host" 0 0
done
grep -q 'slow-vescor-cli import --json' "$work/processes.log" \
    || fail "the process list never showed vescor-cli during the second run"
grep -qF -- "$secret" "$work/processes.log" && fail "the password showed in the process list: $(grep -F -- "$secret" "$work/processes.log" | head -3)"
grep -q 'VALUE_SPECIFIED_IN_NO_LOG_PARAMETER' "$work/second.log" \
    || fail "second run: the settings are not shown as hidden in the module's invocation"

# The modules alone on kassa-01, whose image now holds the files, reached
# through the environment the module inherits: one case a line,
# "STATUS|what the output must hold|options of ansible|module|module arguments".
bad=$work/bad.csv
sed 's/^"1";"22.00";/"1";"x";/' "$examples/files/taxes.csv" > "$bad"
echo '{"Port": 1}' > "$work/settings.json"
taxes=$examples/files/taxes.csv
goods=$examples/files/goods.csv
cli=$bin/vescor-cli
# Programs that answer what vescor-cli never should.
answer() { # NAME TEXT
    printf '#!/bin/sh\nprintf %%s %q\n' "$2" > "$work/$1"
    chmod +x "$work/$1"
}
answer not-json 'Segmentation fault'
answer not-object '[1, 2]'
answer no-cells '{"changed": false, "tables": [], "error": null}'
answer text-changed '{"changed": "yes", "cells": [], "tables": [], "error": null}'
answer identity-list '[]'
# A program that keeps its command line and what its settings file held, and how.
cat > "$work/recording-cli" <<EOF
#!/bin/sh
printf '%s\n' "\$@" > "$work/recorded-arguments"
for argument; do
    case \$argument in
    --settings=@*) file=\${argument#--settings=@}; stat -c %a "\$file" > "$work/recorded-mode"; cat "\$file" > "$work/recorded-settings"; echo "\$file" > "$work/recorded-file" ;;
    esac
done
printf '%s' '{"changed": false, "cells": [], "tables": [], "error": null}'
EOF
chmod +x "$work/recording-cli"
# Nothing but a regular file is replaced by the snapshot: these stay as they are.
mkfifo "$work/fifo.zip"
echo kept > "$work/outside.txt"
ln -s "$work/outside.txt" "$work/link.zip"
while IFS='|' read -r status expected options module arguments; do
    # shellcheck disable=SC2086 # the options are words
    TILLO10_EMULATOR=$VESCOR_IMAGES/kassa-01.json \
        ansible kassa-01 -i "$inventory" $options -m "vescor.registers.$module" -a "$arguments" > "$work/module.log" 2>&1
    grep -q "^kassa-01 | $status" "$work/module.log" || fail "$module $arguments: not $status: $(cat "$work/module.log")"
    grep -qF -- "$expected" "$work/module.log" || fail "$module $arguments: no '$expected' in $(cat "$work/module.log")"
    grep -q 'Traceback' "$work/module.log" && fail "$module $arguments: a traceback: $(cat "$work/module.log")"
    cat "$work/module.log" >> "$work/modules.log"
done <<CASES
SUCCESS|"changed": false||vescor_tables|files=$taxes cli=$cli settings=$work/settings.json
SUCCESS|"changed": false||vescor_tables|files=$taxes cli=$cli settings='{"Port": 1}'
SUCCESS|"changed": false||vescor_tables|files=$taxes cli=$cli settings=''
SUCCESS|"changed": false||vescor_tables|files=$goods cli=$cli settings=@$work/settings.json
SUCCESS|"changed": false|-e {"s":{"Port":1,"AccessPassword":"$secret"}}|vescor_tables|files=$taxes cli=$cli settings={{s}}
CHANGED|"before": "22.00"||vescor_tables|files=$taxes cli=$cli only_different=false
CHANGED|"snapshot": "$work/before.zip"||vescor_tables|files=$taxes cli=$cli only_different=false snapshot=$work/before.zip
FAILED|Не удалось записать снимок ККТ||vescor_tables|files=$taxes cli=$cli snapshot=$work/no-such-dir/before.zip
FAILED|именованный канал — это не обычный файл||vescor_tables|files=$taxes cli=$cli only_different=false snapshot=$work/fifo.zip
FAILED|символическая ссылка — это не обычный файл||vescor_tables|files=$taxes cli=$cli only_different=false snapshot=$work/link.zip
CHANGED|"before": "22.00"|--check|vescor_tables|files=$taxes cli=$cli only_different=false
FAILED|"field": "Ставка, %"||vescor_tables|files=$bad cli=$cli
FAILED|"msg": "Ошибка - 4 [настройка \\"Port\\"||vescor_tables|files=$taxes cli=$cli settings='{"Port": "x", "AccessPassword": "$secret"}'
FAILED|Failed to find required executable||vescor_tables|files=$taxes cli=no-such-vescor-cli
FAILED|ответ не является JSON; программа сообщила: Segmentation fault||vescor_tables|files=$taxes cli=$work/not-json
FAILED|ответ не является объектом JSON||vescor_tables|files=$taxes cli=$work/not-object
FAILED|в ответе нет ключа \\"cells\\"||vescor_tables|files=$taxes cli=$work/no-cells
FAILED|ключ \\"changed\\" ответа имеет неверный тип||vescor_tables|files=$taxes cli=$work/text-changed
SUCCESS|"changed": false||vescor_tables|files=--dry-run.csv cli=$work/recording-cli settings='{"Port": 1, "AccessPassword": "$secret"}'
SUCCESS|"serialNumber": "0057001001"||vescor_info|tables=4,6 cli=$cli settings='{"Port": 1, "AccessPassword": "$secret"}'
FAILED|ответ не является объектом JSON||vescor_info|cli=$work/identity-list
FAILED|Ошибка - 4 [настройка \\"Port\\"||vescor_info|cli=$cli settings='{"Port": "x"}'
CASES

[ -p "$work/fifo.zip" ] || fail "the FIFO given as the snapshot was replaced"
[ -L "$work/link.zip" ] && [ "$(cat "$work/outside.txt")" = kept ] || fail "the link given as the snapshot was followed or replaced"

# The recording program's run: files after "--", settings in a private file
# holding the password, removed after the run.
[ "$(tail -n 2 "$work/recorded-arguments" 2>/dev/null | head -n 1)" = "--" ] \
    || fail "the files do not follow --: $(cat "$work/recorded-arguments" 2>/dev/null)"
[ "$(cat "$work/recorded-mode" 2>/dev/null)" = 600 ] || fail "the settings file is not private: $(cat "$work/recorded-mode" 2>/dev/null)"
grep -qF -- "$secret" "$work/recorded-settings" 2>/dev/null || fail "the settings file does not hold the settings"
[ -e "$(cat "$work/recorded-file" 2>/dev/null)" ] && fail "the settings file was left behind"
grep -qF -- "$secret" "$work/recorded-arguments" && fail "the password is on vescor-cli's command line"

# The snapshot saved before the import is one that vescor-cli accepts.
TILLO10_EMULATOR=$VESCOR_IMAGES/kassa-01.json "$cli" snapshot show "$work/before.zip" > /dev/null 2>&1 \
    || fail "the snapshot saved before the import is refused"

# vescor_info's digest is the digest of the table as vescor-cli exports it.
grep -A 10 -F '"name": "Налоговые ставки"' "$work/modules.log" | grep -o '"sha256": "[0-9a-f]*"' > "$work/info.sha" \
    || fail "vescor_info reports no digest of table 6"
TILLO10_EMULATOR=$VESCOR_IMAGES/kassa-01.json "$cli" export --tables 6 "$work/export" > /dev/null 2>&1
grep -qF "$(sha256sum "$work"/export/*_6.csv | cut -c 1-64)" "$work/info.sha" \
    || fail "vescor_info's digest of table 6 is not that of its export: $(cat "$work/info.sha")"

# 3. Check mode on fresh images: changed, images untouched.
fresh_images
for host in $good; do
    cp "$VESCOR_IMAGES/$host.json" "$work/$host.before"
done
play "$work/check.log" --limit "${good// /,}" --check --diff || fail "check run failed"
for host in $good; do
    recap "$work/check.log" "$host" 1 0
    cmp -s "$VESCOR_IMAGES/$host.json" "$work/$host.before" || fail "check mode changed $host's image"
done
grep -q '^+22.00$' "$work/check.log" || fail "check run: the diff does not show the new rate"
# One hunk per table: its changed cells together, not a hunk for each cell.
tables_shown=$(grep -c '^--- before: ' "$work/check.log")
hunks=$(grep -c '^@@ ' "$work/check.log")
[ "$tables_shown" -gt 0 ] && [ "$hunks" -eq "$tables_shown" ] \
    || fail "check run: $hunks hunks for $tables_shown tables in the diff"
grep -q '^-20.00$' "$work/check.log" || fail "check run: the diff does not show the old rate"
grep -qF 'table 1, row 1, field 4 (Штрихкод)' "$work/check.log" \
    || fail "check run: the diff hides more than the password: $(grep -F 'Штрихкод' "$work/check.log" | head -2)"

# No output of Ansible names the password.
for log in first second check modules; do
    grep -qF -- "$secret" "$work/$log.log" && fail "the password shows in the $log output: $(grep -F -- "$secret" "$work/$log.log" | head -3)"
done

if [ "$failures" -ne 0 ]; then
    for log in first second check; do
        echo "===== $log run" >&2
        tail -n 60 "$work/$log.log" >&2 2>/dev/null
    done
    exit 1
fi
echo "playbook: 20 registers changed in ${elapsed} ms (forks 10), one failed alone, idempotent with barcodes," \
     "check mode leaves images untouched, no password in the process list or the output"

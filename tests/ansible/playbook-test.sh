#!/usr/bin/env bash
# The example playbook against four emulated registers on this machine:
#   1. the first run changes kassa-01..03 (their images then hold the files'
#      values) and fails kassa-04 alone, whose image makes writes fail;
#   2. a second run changes nothing;
#   3. check mode on fresh images reports the change and leaves the images
#      untouched byte for byte;
# and the module's parameters and failures, one ad-hoc run each.
# Usage: playbook-test.sh BIN_DIR ANSIBLE_DIR
set -uo pipefail

bin=$1
examples=$2/examples
library=$2/library
work=$(mktemp -d "${TMPDIR:-/tmp}/vescor-ansible.XXXXXX")
trap 'rm -rf "$work"' EXIT

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
export ANSIBLE_NOCOLOR=1
export ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_DEPRECATION_WARNINGS=0
export ANSIBLE_LOCALHOST_WARNING=0
export ANSIBLE_FORKS=4
export XDG_DATA_HOME=$work/data
export LC_ALL=C.UTF-8
export VESCOR_BIN=$bin
export VESCOR_IMAGES=$work/images
good="kassa-01 kassa-02 kassa-03"
mkdir -p "$VESCOR_IMAGES"

# Fresh images from the default register; kassa-04's refuses writes to table 6.
fresh_images() {
    for host in $good; do
        cp "$bin/tillo10-image.json" "$VESCOR_IMAGES/$host.json"
    done
    python3 - "$bin/tillo10-image.json" "$VESCOR_IMAGES/kassa-04.json" <<'EOF'
import json, sys
image = json.load(open(sys.argv[1], encoding='utf-8'))
image['faults'] = [{'call': 'write', 'table': 6, 'code': 2, 'description': 'Нет связи'}]
json.dump(image, open(sys.argv[2], 'w', encoding='utf-8'), ensure_ascii=False)
EOF
}

# The example inventory with the faulty register added.
inventory=$work/inventory.yml
sed 's/^    kassa-03:$/    kassa-03:\n    kassa-04:/' "$examples/inventory.yml" > "$inventory"
grep -q 'kassa-04:' "$inventory" || { echo "could not extend $examples/inventory.yml" >&2; exit 1; }

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
    for file in "$examples/files/taxes.csv" "$examples/files/header.csv"; do
        TILLO10_EMULATOR=$VESCOR_IMAGES/$1.json "$bin/vescor-cli" diff --json "$file" > "$work/diff.json" 2>/dev/null
        grep -q '"different":false' "$work/diff.json" || fail "$1 does not hold $file: $(cat "$work/diff.json")"
    done
}

ansible-doc -M "$library" vescor_tables > /dev/null 2>&1 || fail "ansible-doc cannot read the documentation of vescor_tables"

# 1. First run: three changed, the faulty register fails alone.
fresh_images
cp "$VESCOR_IMAGES/kassa-04.json" "$work/kassa-04.before"
play "$work/first.log" && fail "first run: the failed host did not fail the run"
for host in $good; do
    recap "$work/first.log" "$host" 1 0
    holds_files "$host"
done
recap "$work/first.log" kassa-04 0 1
grep -q 'Нет связи' "$work/first.log" || fail "first run: kassa-04's failure does not name the driver's message"
cmp -s "$VESCOR_IMAGES/kassa-04.json" "$work/kassa-04.before" || fail "kassa-04's image changed"

# 2. Second run: nothing to change.
play "$work/second.log" --limit "${good// /,}" || fail "second run failed"
for host in $good; do
    recap "$work/second.log" "$host" 0 0
done

# The module alone on kassa-01, whose image now holds the files, reached
# through the environment the module inherits: one case a line,
# "STATUS|what the output must hold|options of ansible|module arguments".
bad=$work/bad.csv
sed 's/^"1";"22.00";/"1";"x";/' "$examples/files/taxes.csv" > "$bad"
echo '{"Port": 1}' > "$work/settings.json"
taxes=$examples/files/taxes.csv
cli=$bin/vescor-cli
while IFS='|' read -r status expected options arguments; do
    # shellcheck disable=SC2086 # the options are words
    TILLO10_EMULATOR=$VESCOR_IMAGES/kassa-01.json \
        ansible kassa-01 -i "$inventory" -M "$library" $options -m vescor_tables -a "$arguments" > "$work/module.log" 2>&1
    grep -q "^kassa-01 | $status" "$work/module.log" || fail "vescor_tables $arguments: not $status: $(cat "$work/module.log")"
    grep -qF -- "$expected" "$work/module.log" || fail "vescor_tables $arguments: no '$expected' in $(cat "$work/module.log")"
done <<CASES
SUCCESS|"changed": false||files=$taxes cli=$cli settings=$work/settings.json
SUCCESS|"changed": false||files=$taxes cli=$cli settings='{"Port": 1}'
SUCCESS|"changed": false||files=$taxes cli=$cli settings=''
CHANGED|"before": "22.00"||files=$taxes cli=$cli only_different=false
CHANGED|"before": null|--check|files=$taxes cli=$cli only_different=false
FAILED|"field": "Ставка, %"||files=$bad cli=$cli
FAILED|"msg": "Ошибка - 4 [настройка \\"Port\\"||files=$taxes cli=$cli settings='{"Port": "x"}'
FAILED|Failed to find required executable||files=$taxes cli=no-such-vescor-cli
CASES

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
grep -q '^-20.00$' "$work/check.log" || fail "check run: the diff does not show the old rate"

if [ "$failures" -ne 0 ]; then
    for log in first second check; do
        echo "===== $log run" >&2
        cat "$work/$log.log" >&2 2>/dev/null
    done
    exit 1
fi
echo "playbook: changed on three registers, one failed alone, idempotent, check mode leaves images untouched"

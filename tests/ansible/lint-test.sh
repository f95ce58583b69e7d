#!/usr/bin/env bash
# The Ansible collection as Ansible's own tools see it: yamllint over every
# YAML file of ansible/, ansible-lint's production profile (what Galaxy asks
# of a published collection) over ansible/, and validate-modules (the checker behind
# "ansible-test sanity --test validate-modules") over the modules. ansible-test
# would install the checker's Python packages from the network into a virtual
# environment; the checker runs here on the system's Python with Debian's
# packages instead. Skips (77) only when a tool is missing.
# Usage: lint-test.sh ANSIBLE_DIR
set -uo pipefail

ansible_dir=$1
collection=ansible_collections/vescor/registers
validate=/usr/lib/python3/dist-packages/ansible_test/_util/controller/sanity/validate-modules/validate.py
skip=77

command -v yamllint >/dev/null || { echo "SKIP: yamllint is missing: run scripts/install-deps" >&2; exit $skip; }
command -v ansible-lint >/dev/null || { echo "SKIP: ansible-lint is missing: run scripts/install-deps" >&2; exit $skip; }
[ -f "$validate" ] || { echo "SKIP: ansible-test's validate-modules is missing (ansible-core)" >&2; exit $skip; }
/usr/bin/python3 -c 'import voluptuous' 2>/dev/null \
    || { echo "SKIP: validate-modules needs python3-voluptuous: run scripts/install-deps" >&2; exit $skip; }

failures=0
cd "$ansible_dir" || exit 1
yamllint -s -c .yamllint . || { echo "FAIL: yamllint" >&2; failures=$((failures + 1)); }
# Offline: nothing is fetched from Galaxy; colours would only hide the text in the test's log.
ansible-lint --offline --profile production --nocolor \
    || { echo "FAIL: ansible-lint --profile production" >&2; failures=$((failures + 1)); }

version=$(sed -n 's/^version: *//p' "$collection/galaxy.yml")
cd "$collection" || exit 1
report=$(ANSIBLE_COLLECTIONS_PATH=$ansible_dir PYTHONPATH=$ansible_dir /usr/bin/python3 "$validate" \
    --format json --arg-spec --collection "$collection" --collection-version "$version" plugins/modules/*.py 2>&1)
status=$?
if [ "$status" -ne 0 ] || [ "$report" != "{}" ]; then
    echo "FAIL: validate-modules (exit status $status):" >&2
    echo "$report" >&2
    failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] || exit 1
echo "yamllint, ansible-lint (production) and validate-modules: the collection vescor.registers is clean"

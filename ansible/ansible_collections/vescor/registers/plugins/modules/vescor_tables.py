#!/usr/bin/python
# -*- coding: utf-8 -*-

# Copyright: (c) 2026, Vescor developers
# GNU General Public License v3.0+ (see LICENSE or https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: vescor_tables
short_description: Bring the settings tables of a fiscal cash register in line with CSV files
description:
  - Runs C(vescor-cli import --json) on the managed host against the register its driver
    settings name, with CSV files exported from a reference register (C(vescor-cli export)
    or the window's export), edited where needed.
  - With I(only_different) the register's tables are read first and only the cells that differ
    are written, so a second run changes nothing and reports C(ok).
  - Reports C(changed) exactly when cells were written. In check mode nothing is written
    (C(--dry-run)) and C(changed) tells whether cells would be. In diff mode each table shows as
    one change, its cells with the register's values before and the file's values after.
  - All files are checked against the register's model description before the first cell is
    written; a refused file or value, or a failure of the driver or the register, fails the host
    with the program's message.
  - The program and its driver library read their environment, so the play's C(environment)
    keyword reaches them (for example C(TILLO10_EMULATOR), which names the image of an
    emulated register).
version_added: "1.0.0"
options:
  files:
    description:
      - CSV files on the managed host, one table in each, imported in the order given.
    type: list
    elements: path
    required: true
  only_different:
    description:
      - Read each table first and write only the cells whose value differs from the register's.
      - A value differs only when the register would store other bytes for it, so leading zeros of a
        barcode, blanks around a number or guillemets for quotes are no change.
      - Without it every writable cell of the files is written, and the module always reports a change.
    type: bool
    default: true
  snapshot:
    description:
      - Before anything is written, save a snapshot of the register's tables into this file on the
        managed host (C(vescor-cli snapshot save)); C(vescor-cli snapshot restore) of it undoes the
        change. A snapshot that cannot be saved fails the host before any cell is written.
      - Not saved in check mode.
    type: path
extends_documentation_fragment:
  - action_common_attributes
  - vescor.registers.connection
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
  platform:
    platforms: posix
notes:
  - The files must be on the managed host; copy them there first (M(ansible.builtin.copy)) when
    the register is reached from another machine.
seealso:
  - module: vescor.registers.vescor_info
author:
  - Vescor developers (!UNKNOWN)
'''

EXAMPLES = r'''
- name: New VAT rate and header line on every register
  vescor.registers.vescor_tables:
    files:
      - /srv/vescor/setup/taxes.csv
      - /srv/vescor/setup/header.csv
    settings: /etc/vescor/kassa.json

- name: Settings from the inventory, a dictionary with the register's passwords
  vescor.registers.vescor_tables:
    files: /srv/vescor/setup/taxes.csv
    settings:
      Port: 2
      IPAddress: 10.0.1.11
      IPPort: 5555
      AccessPassword: "{{ vault_register_password }}"

- name: Against an emulated register
  vescor.registers.vescor_tables:
    files: "{{ setup_files }}"
    cli: /opt/vescor/bin/vescor-cli
    snapshot: /var/backups/vescor/before-setup.zip
  environment:
    TILLO10_EMULATOR: "{{ register_image }}"
'''

RETURN = r'''
cells:
  description: The cells written (in check mode, those that would be written).
  returned: always
  type: list
  elements: dict
  sample:
    - {"file": "taxes.csv", "table": 6, "row": 1, "field": 1, "name": "Ставка, %",
       "before": "20.00", "after": "22.00"}
tables:
  description: The tables written (or to be written), each with its file and count of cells.
  returned: always
  type: list
  elements: dict
  sample:
    - {"file": "taxes.csv", "table": 6, "name": "Налоговые ставки", "cells": 1}
error:
  description:
    - Why the program stopped, with the file, data row and field of its first part where they
      are known, and in C(problems) every part (each refused value) placed by itself.
  returned: failure
  type: dict
  sample: {"message": "taxes.csv: Ошибка: ...", "file": "taxes.csv", "row": 1, "field": "Ставка, %",
           "problems": [{"message": "taxes.csv: Ошибка: ...", "file": "taxes.csv", "row": 1,
                         "field": "Ставка, %"}]}
rc:
  description: The exit status of C(vescor-cli) (0 success, 1 refused file or value, 2 usage, 3 driver,
      register or a failed write).
  returned: always
  type: int
stderr:
  description: What the program said on its standard error (progress and messages).
  returned: always
  type: str
snapshot:
  description: The snapshot saved before the change, when I(snapshot) was given outside check mode.
  returned: when saved
  type: str
command:
  description: The command line of C(vescor-cli); the settings appear as the path of their private file.
  returned: always
  type: list
  elements: str
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vescor.registers.plugins.module_utils.vescor_cli import (
    COMMON_ARGUMENTS, VescorCli, answer_failure, read_report)


def cell_text(value):
    return '' if value is None else value


def table_diffs(cells):
    """Ansible's before/after, one per table of a file: each changed cell's place on a line of its
    own, then its value, so that the places stay as context and the values make one hunk."""
    tables = []
    by_table = {}
    for cell in cells:
        if cell.get('before') is not None and cell_text(cell.get('before')) == cell_text(cell.get('after')):
            continue  # written again as it was (only_different off): no change to show
        key = (cell.get('file'), cell.get('table'))
        if key not in by_table:
            header = '%s: table %s' % key
            by_table[key] = {'before_header': header, 'after_header': header, 'before': '', 'after': ''}
            tables.append(by_table[key])
        diff = by_table[key]
        place = 'table %s, row %s, field %s' % (cell.get('table'), cell.get('row'), cell.get('field'))
        if cell.get('name'):
            place += ' (%s)' % cell['name']
        before = cell.get('before')
        diff['before'] += '%s:\n%s\n' % (place, cell_text(before) if before is not None else '(not read)')
        diff['after'] += '%s:\n%s\n' % (place, cell_text(cell.get('after')))
    return tables


def save_snapshot(module, cli, path):
    """The register's tables into a snapshot file before the import; fails the host when it cannot."""
    rc, out, err, command = cli.run('snapshot', ['--json'], ['save', path])
    report, why = read_report(out)
    if report is None:
        module.fail_json(msg=answer_failure(cli.program, rc, out, err, why), rc=rc, stderr=err, command=command)
    if rc != 0 or report['error']:
        message = (report['error'] or {}).get('message') or err.strip() or 'vescor-cli: код выхода %d' % rc
        module.fail_json(msg=message, rc=rc, stderr=err, command=command, error=report['error'])
    return path


def main():
    argument_spec = dict(
        files=dict(type='list', elements='path', required=True),
        only_different=dict(type='bool', default=True),
        snapshot=dict(type='path'),
    )
    argument_spec.update(COMMON_ARGUMENTS)
    module = AnsibleModule(argument_spec=argument_spec, supports_check_mode=True)
    params = module.params
    if not params['files']:
        module.fail_json(msg='vescor_tables: в параметре files не указано ни одного файла CSV')

    cli = VescorCli(module)
    saved = None
    if params['snapshot'] and not module.check_mode:
        saved = save_snapshot(module, cli, params['snapshot'])
    options = ['--json']
    if params['only_different']:
        options.append('--only-different')
    if module.check_mode:
        options.append('--dry-run')
    rc, out, err, command = cli.run('import', options, params['files'])
    result = dict(changed=False, rc=rc, stderr=err, cells=[], tables=[], command=command)
    if saved:
        result['snapshot'] = saved

    report, why = read_report(out)
    if report is None:
        module.fail_json(msg=answer_failure(cli.program, rc, out, err, why), **result)

    result['changed'] = report['changed']
    result['cells'] = [cell for cell in report['cells'] if isinstance(cell, dict)]
    result['tables'] = report['tables']
    if module._diff:
        result['diff'] = table_diffs(result['cells'])

    error = report['error']
    if rc != 0 or error:
        result['error'] = error
        message = (error or {}).get('message') or err.strip() or 'vescor-cli: код выхода %d' % rc
        module.fail_json(msg=message, **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()

#!/usr/bin/python
# -*- coding: utf-8 -*-
# Vescor: settings tables of fiscal cash registers, applied by Ansible.

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
    (C(--dry-run)) and C(changed) tells whether cells would be. In diff mode each cell comes
    with the register's value before and the file's value after.
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
  settings:
    description:
      - >-
        The driver's settings, a JSON text (for example C({"Port": 2, "IPAddress": "10.0.0.5"})),
        or the path of a file holding it (also written C(@path)).
      - Absent, C(vescor-cli) uses C(Vescor.ini) beside itself.
    type: str
  only_different:
    description:
      - Read each table first and write only the cells whose value differs from the register's.
      - Without it every writable cell of the files is written, and the module always reports a change.
    type: bool
    default: true
  cli:
    description:
      - The C(vescor-cli) program, a path or a name looked up on the PATH of the managed host.
    type: str
    default: vescor-cli
notes:
  - Supports check mode and diff mode.
  - The files must be on the managed host; copy them there first (M(ansible.builtin.copy)) when
    the register is reached from another machine.
author:
  - Vescor developers
'''

EXAMPLES = r'''
- name: New VAT rate and header line on every register
  vescor_tables:
    files:
      - /srv/vescor/setup/taxes.csv
      - /srv/vescor/setup/header.csv
    settings: /etc/vescor/kassa.json

- name: Against an emulated register
  vescor_tables:
    files: "{{ setup_files }}"
    cli: /opt/vescor/bin/vescor-cli
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
  description: The exit status of C(vescor-cli) (0 success, 1 refused file or value, 2 usage, 3 driver).
  returned: always
  type: int
stderr:
  description: What the program said on its standard error (progress and messages).
  returned: always
  type: str
'''

import json
import os

from ansible.module_utils.basic import AnsibleModule


def settings_argument(settings):
    """The --settings value: a JSON text as it is (empty: the driver's defaults), a file as @path."""
    text = settings.strip()
    if not text or text.startswith('{') or text.startswith('@'):
        return text
    return '@' + os.path.expanduser(text)


def cell_text(value):
    return '' if value is None else value


def cell_diff(cell):
    """Ansible's before/after of one cell."""
    place = 'table %s, row %s, field %s' % (cell.get('table'), cell.get('row'), cell.get('field'))
    if cell.get('name'):
        place += ' (%s)' % cell['name']
    before = cell.get('before')
    return {
        'before_header': '%s: %s' % (cell.get('file'), place),
        'after_header': '%s: %s' % (cell.get('file'), place),
        'before': (cell_text(before) + '\n') if before is not None else '(not read)\n',
        'after': cell_text(cell.get('after')) + '\n',
    }


def main():
    module = AnsibleModule(
        argument_spec=dict(
            files=dict(type='list', elements='path', required=True),
            settings=dict(type='str'),
            only_different=dict(type='bool', default=True),
            cli=dict(type='str', default='vescor-cli'),
        ),
        supports_check_mode=True,
    )
    params = module.params
    if not params['files']:
        module.fail_json(msg='files: no CSV file given')

    cli = params['cli']
    if os.sep not in cli:
        cli = module.get_bin_path(cli, required=True)
    command = [cli, 'import', '--json']
    if params['only_different']:
        command.append('--only-different')
    if module.check_mode:
        command.append('--dry-run')
    if params['settings'] is not None:
        command.append('--settings=' + settings_argument(params['settings']))
    command.extend(params['files'])

    rc, out, err = module.run_command(command)
    result = dict(changed=False, rc=rc, stderr=err, cells=[], tables=[], command=command)
    try:
        report = json.loads(out)
    except ValueError:
        message = err.strip() or out.strip() or 'vescor-cli gave no report'
        module.fail_json(msg='%s (exit status %d)' % (message, rc), **result)

    result['changed'] = bool(report.get('changed'))
    result['cells'] = report.get('cells') or []
    result['tables'] = report.get('tables') or []
    if module._diff:
        result['diff'] = [cell_diff(cell) for cell in result['cells']]

    error = report.get('error')
    if rc != 0 or error:
        result['error'] = error
        message = (error or {}).get('message') or err.strip() or 'vescor-cli failed'
        module.fail_json(msg=message, **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()

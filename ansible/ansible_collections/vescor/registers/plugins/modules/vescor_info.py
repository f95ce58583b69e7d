#!/usr/bin/python
# -*- coding: utf-8 -*-

# Copyright: (c) 2026, Vescor developers
# GNU General Public License v3.0+ (see LICENSE or https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: vescor_info
short_description: Identity and settings tables of a fiscal cash register, with a digest of each table
description:
  - Runs C(vescor-cli identify --json) and C(vescor-cli export) on the managed host against the register
    its driver settings name, and reports the register's identity and, for each table read, its
    number, name, count of data lines and the SHA-256 digest of the table as exported to CSV.
  - Registers whose tables hold the same values give the same digests, so the digests show at a glance
    which registers have drifted from a reference; M(vescor.registers.vescor_tables) brings them back.
  - Reads only; nothing is written to the register.
version_added: "1.0.0"
options:
  tables:
    description:
      - The tables to read, by number; absent, every table of the register's model description.
      - The commodity base (table 1) of a real register may take minutes to read over a serial line.
    type: list
    elements: int
extends_documentation_fragment:
  - action_common_attributes
  - vescor.registers.connection
attributes:
  check_mode:
    support: full
    details: The module only reads.
  diff_mode:
    support: none
  platform:
    platforms: posix
seealso:
  - module: vescor.registers.vescor_tables
author:
  - Vescor developers (!UNKNOWN)
'''

EXAMPLES = r'''
- name: Read the register's identity and the digests of its settings tables
  vescor.registers.vescor_info:
    tables: [2, 4, 5, 6]
    settings: "{{ vescor_settings }}"
  register: register_info

- name: Registers whose tax table differs from the reference
  ansible.builtin.debug:
    msg: "{{ register_info.identity.serialNumber }} has other tax rates"
  when: >-
    (register_info.tables | selectattr('table', 'equalto', 6) | first).sha256 != reference_taxes_sha256
'''

RETURN = r'''
identity:
  description: The register as it identifies itself.
  returned: success
  type: dict
  contains:
    modelCode:
      description: The model's code.
      type: int
      sample: 57
    modelName:
      description: The model's name.
      type: str
      sample: Вескор-Эмулятор 57
    serialNumber:
      description: The register's serial number.
      type: str
      sample: "0057000001"
    firmware:
      description: The version of the register's firmware.
      type: str
      sample: 3.0.25
    fiscal:
      description: Whether the register works in fiscal mode.
      type: bool
      sample: true
tables:
  description: The tables read, in the order of their numbers.
  returned: success
  type: list
  elements: dict
  contains:
    table:
      description: The table's number.
      type: int
      sample: 6
    name:
      description: The title of its CSV export, the table's name.
      type: str
      sample: Налоговые ставки
    rows:
      description: The count of data lines of its CSV export.
      type: int
      sample: 5
    sha256:
      description: The SHA-256 digest of its CSV export, in hexadecimal.
      type: str
      sample: 2c26b46b68ffc68ff99b453c1d30413413422d706483bfa0f98a5e886266e7ae
rc:
  description: The exit status of the C(vescor-cli) run that failed, or 0.
  returned: always
  type: int
stderr:
  description: What the program said on its standard error.
  returned: always
  type: str
'''

import hashlib
import os
import re
import shutil
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vescor.registers.plugins.module_utils.vescor_cli import (
    COMMON_ARGUMENTS, VescorCli, answer_failure, read_report)

IDENTITY_KEYS = {
    'modelCode': ((int,), False),
    'modelName': ((str,), False),
    'serialNumber': ((str,), False),
    'firmware': ((str,), False),
    'fiscal': ((bool,), False),
}

# <serial number>_<table number>.csv, as vescor-cli export names its files.
EXPORT_NAME = re.compile(r'_(\d+)\.csv$')


def table_of(path):
    """Number, name, data lines and digest of one exported table."""
    with open(path, 'rb') as stream:
        content = stream.read()
    lines = content.decode('utf-8', 'replace').splitlines()
    # The title line is the table's name and the file format's version.
    title = lines[0].rsplit(' ', 1)[0] if lines else ''
    return {
        'table': int(EXPORT_NAME.search(path).group(1)),
        'name': title,
        'rows': max(len(lines) - 2, 0),
        'sha256': hashlib.sha256(content).hexdigest(),
    }


def main():
    argument_spec = dict(tables=dict(type='list', elements='int'))
    argument_spec.update(COMMON_ARGUMENTS)
    module = AnsibleModule(argument_spec=argument_spec, supports_check_mode=True)
    cli = VescorCli(module)
    result = dict(changed=False, rc=0, stderr='')

    rc, out, err, command = cli.run('identify', ['--json'])
    result.update(rc=rc, stderr=err)
    if rc != 0:
        module.fail_json(msg=err.strip() or 'vescor-cli identify: код выхода %d' % rc, **result)
    identity, why = read_report(out, IDENTITY_KEYS)
    if identity is None:
        module.fail_json(msg=answer_failure(cli.program, rc, out, err, why), **result)

    folder = tempfile.mkdtemp(prefix='vescor-export-', dir=module.tmpdir)
    try:
        options = []
        if module.params['tables']:
            options.append('--tables=' + ','.join(str(number) for number in module.params['tables']))
        rc, out, err, command = cli.run('export', options, [folder])
        result.update(rc=rc, stderr=err)
        if rc != 0:
            module.fail_json(msg=err.strip() or 'vescor-cli export: код выхода %d' % rc, **result)
        names = [name for name in os.listdir(folder) if EXPORT_NAME.search(name)]
        tables = sorted((table_of(os.path.join(folder, name)) for name in names), key=lambda table: table['table'])
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    module.exit_json(identity=identity, tables=tables, **result)


if __name__ == '__main__':
    main()

# -*- coding: utf-8 -*-

# Copyright: (c) 2026, Vescor developers
# GNU General Public License v3.0+ (see LICENSE or https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    # The options by which every module of the collection reaches the register.
    DOCUMENTATION = r'''
options:
  settings:
    description:
      - >-
        The driver's settings: a dictionary (for example C({"Port": 2, "IPAddress": "10.0.0.5"})),
        the same as a JSON text, or the path of a file on the managed host holding it
        (also written C(@path)).
      - The settings reach C(vescor-cli) in a file that only the module's user can read and that is
        removed after the run, never on its command line, so the register's passwords
        (C(UserPassword), C(AccessPassword)) do not show in the process list; Ansible keeps them out
        of its output.
      - Ansible hides every occurrence of a password in the output, so a password of one or two
        characters hides those characters elsewhere too.
      - Absent, C(vescor-cli) uses its stored settings, C(~/.config/Vescor/Vescor.ini) of the remote user.
    type: json
  cli:
    description:
      - The C(vescor-cli) program, a path or a name looked up on the PATH of the managed host.
    type: str
    default: vescor-cli
'''

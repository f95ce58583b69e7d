# -*- coding: utf-8 -*-

# Copyright: (c) 2026, Vescor developers
# GNU General Public License v3.0+ (see LICENSE or https://www.gnu.org/licenses/gpl-3.0.txt)

"""Running vescor-cli from a module: the program, the driver's settings and its JSON answer."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os
import tempfile


# The options both modules share, as documented in their DOCUMENTATION.
COMMON_ARGUMENTS = dict(
    settings=dict(type='json', no_log=True),
    cli=dict(type='str', default='vescor-cli'),
)


def _texts(value):
    """The texts Ansible would hide for a value of a no_log parameter."""
    if value is None or isinstance(value, (bool, dict, list)):
        return set()
    text = value if isinstance(value, str) else str(value)
    return {text} if text else set()


def keep_settings_private(module):
    """Hides the settings and the register's passwords in all output, and nothing else.

    Ansible hides every value inside a no_log dictionary wherever it shows up,
    so a port number 1 would turn every 1 of the output into asterisks; of the
    settings only the passwords are secret. The settings as a whole stay hidden.
    """
    settings = module.params.get('settings')
    if not settings:
        return
    try:
        parsed = json.loads(settings)
    except ValueError:
        parsed = None
    if isinstance(parsed, dict):
        passwords = set()
        ordinary = set()
        for key, value in parsed.items():
            (passwords if 'password' in key.lower() else ordinary).update(_texts(value))
        module.no_log_values.difference_update(ordinary - passwords)
        module.no_log_values.update(passwords)
    module.no_log_values.add(settings)


class VescorCli(object):
    """vescor-cli on the managed host, with the driver's settings handed over in a private file."""

    def __init__(self, module):
        self.module = module
        keep_settings_private(module)
        program = module.params['cli']
        if os.sep not in program:
            program = module.get_bin_path(program, required=True)
        self.program = program
        self._settings_file = None

    def settings_option(self):
        """The --settings option, or None for the program's stored settings (Vescor.ini).

        A JSON text (or a dict, which Ansible hands over as JSON) goes into a
        file only this user can read, so that the register's passwords never
        appear on a command line; a path names the user's own file.
        """
        settings = self.module.params['settings']
        if settings is None:
            return None
        text = settings.strip()
        if not text:
            return '--settings='
        if text.startswith('@'):
            return '--settings=@' + os.path.expanduser(text[1:])
        if not text.startswith('{'):
            return '--settings=@' + os.path.expanduser(text)
        if self._settings_file is None:
            descriptor, path = tempfile.mkstemp(prefix='vescor-settings-', suffix='.json', dir=self.module.tmpdir)
            self._settings_file = path
            with os.fdopen(descriptor, 'w') as stream:
                stream.write(text)
        return '--settings=@' + self._settings_file

    def remove_settings_file(self):
        if self._settings_file is not None:
            try:
                os.unlink(self._settings_file)
            except OSError:
                pass
            self._settings_file = None

    def run(self, command, options, arguments=None):
        """Runs `vescor-cli COMMAND OPTIONS -- ARGUMENTS`: rc, stdout, stderr and the command line."""
        argv = [self.program, command] + list(options)
        settings = self.settings_option()
        if settings is not None:
            argv.append(settings)
        if arguments:
            argv.append('--')
            argv.extend(arguments)
        try:
            rc, out, err = self.module.run_command(argv)
        finally:
            self.remove_settings_file()
        return rc, out, err, argv

    def fail(self, message, **result):
        self.remove_settings_file()
        self.module.fail_json(msg=message, **result)


# Keys of a JSON answer and the types they must have; None allowed where listed.
_REPORT_KEYS = {
    'changed': ((bool,), False),
    'cells': ((list,), False),
    'tables': ((list,), False),
    'error': ((dict,), True),
}


def read_report(text, keys=None):
    """The JSON object vescor-cli printed, or (None, why not) when it is not a report."""
    try:
        report = json.loads(text)
    except ValueError:
        return None, 'ответ не является JSON'
    if not isinstance(report, dict):
        return None, 'ответ не является объектом JSON'
    for key, (types, nullable) in (keys or _REPORT_KEYS).items():
        if key not in report:
            return None, 'в ответе нет ключа "%s"' % key
        value = report[key]
        if value is None and nullable:
            continue
        if not isinstance(value, types) or (bool not in types and isinstance(value, bool)):
            return None, 'ключ "%s" ответа имеет неверный тип' % key
    return report, None


def answer_failure(program, rc, out, err, why):
    """The message for an answer that is no report: what, from where and why."""
    said = err.strip() or out.strip()[:200] or 'ничего'
    return 'vescor-cli (%s, код выхода %d): %s; программа сообщила: %s' % (program, rc, why, said)

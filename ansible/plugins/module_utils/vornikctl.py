# Shared by the modules: how vornikctl is called and how its JSON is read.
# vornikctl holds every rule about the devices (field names, ranges, the
# read-back that confirms a write); the modules only pass options through and
# turn its answer into what Ansible reports, so a rule never lives twice.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os
import tempfile

LINK_ARGUMENT_SPEC = dict(
    vornikctl=dict(type='str', default='vornikctl'),
    port=dict(type='int'),
    broadcast=dict(type='str'),
    bind=dict(type='list', elements='str'),
    tries=dict(type='int'),
    interval=dict(type='float'),
)

# What an "all devices" run gathers search replies for, as vornikctl's --wait.
SEARCH_ARGUMENT_SPEC = dict(
    wait=dict(type='float'),
    expect=dict(type='int'),
)

EXIT_BAD_INPUT = 2


def link_arguments(params):
    """vornikctl's global options for the link options given."""
    args = []
    for name in ('port', 'broadcast', 'tries', 'interval'):
        if params.get(name) is not None:
            args += ['--' + name, str(params[name])]
    for address in params.get('bind') or []:
        args += ['--bind', address]
    return args


def search_arguments(params):
    args = []
    for name in ('wait', 'expect'):
        if params.get(name) is not None:
            args += ['--' + name, str(params[name])]
    return args


def target_arguments(params):
    """The devices a write is for: the MACs given, or --all."""
    if params.get('all'):
        return ['--all'] + search_arguments(params)
    return list(params.get('macs') or [])


def program(module):
    path = module.params['vornikctl']
    if os.sep in path:
        return path
    return module.get_bin_path(path, required=True)


def run(module, command):
    """Runs vornikctl with --json and gives (exit code, document, stderr).

    A run whose standard output is no JSON document ends the task: vornikctl
    always prints one with --json, so anything else means the wrong program
    or a crash, and its stderr says more than any guess here could."""
    argv = [program(module), '--json', '--quiet'] + link_arguments(module.params) + command
    rc, out, err = module.run_command(argv)
    try:
        doc = json.loads(out)
    except ValueError:
        module.fail_json(msg='vornikctl printed no JSON (exit %d): %s' % (rc, (err or out).strip()),
                         cmd=argv, rc=rc, stdout=out, stderr=err)
    if not isinstance(doc, dict):
        module.fail_json(msg='vornikctl printed JSON that is not an object', cmd=argv, rc=rc, stdout=out)
    return rc, doc, err


def failure_message(doc, stderr=''):
    """vornikctl's own words for what went wrong: the refused input, or each
    device that failed, named by its MAC."""
    error = doc.get('error')
    if isinstance(error, dict) and error.get('message'):
        return error['message']
    # A search lists devices without "ok"; only a device said to have failed counts.
    failed = ['%s: %s' % (d.get('mac', '?'), d.get('error') or d.get('result') or 'failed')
              for d in doc.get('devices') or [] if d.get('ok') is False]
    if failed:
        return '; '.join(failed)
    return (stderr or '').strip() or 'vornikctl failed'


def field_blocks(module):
    """Each field name vornikctl knows, with the block of the settings file
    it belongs in ("network" or "device")."""
    rc, doc, err = run(module, ['fields'])
    if rc != 0 or not doc.get('ok'):
        module.fail_json(msg=failure_message(doc, err), rc=rc)
    return dict((f['name'], f['block']) for f in doc.get('fields', []))


def settings_document(fields, blocks):
    """A settings file holding the given fields, nested by the dots of their
    names as the file nests them; gives (document, unknown names)."""
    doc = {'format': 'vornik-settings', 'version': 1}
    unknown = []
    for name in sorted(fields):
        block = blocks.get(name)
        if block is None:
            unknown.append(name)
            continue
        node = doc.setdefault(block, {})
        parts = name.split('.')
        for part in parts[:-1]:
            node = node.setdefault(part, {})
        node[parts[-1]] = fields[name]
    return doc, unknown


def write_temporary(module, doc, text=None, suffix='.json'):
    """Writes a settings document (or the text given) to a private file that
    is removed when the module ends."""
    fd, path = tempfile.mkstemp(prefix='vornik-', suffix=suffix, dir=module.tmpdir)
    with os.fdopen(fd, 'w') as f:
        if text is None:
            json.dump(doc, f, indent=2)
        else:
            f.write(text)
    module.add_cleanup_file(path)
    return path


def _text(value):
    if isinstance(value, bool):
        return 'true' if value else 'false'
    if isinstance(value, (dict, list)):
        return json.dumps(value, sort_keys=True)
    return str(value)


def device_diffs(doc):
    """Ansible's diff, one entry per device that differs: each field that
    differs as a "field: value" line, the old values before, the new after."""
    diffs = []
    for device in doc.get('devices') or []:
        changes = device.get('changes') or []
        if not changes:
            continue
        diffs.append({
            'before_header': '%s (read from the device)' % device.get('mac', '?'),
            'after_header': '%s (to be written)' % device.get('mac', '?'),
            'before': ''.join('%s: %s\n' % (c['field'], _text(c.get('old'))) for c in changes),
            'after': ''.join('%s: %s\n' % (c['field'], _text(c.get('new'))) for c in changes),
        })
    return diffs


def changed(doc):
    """Whether the run changed (or, with --dry-run, would change) a device.

    Without the "changes" lists (a vornikctl that does not compare before it
    writes) every confirmed write counts as a change."""
    if isinstance(doc.get('changed'), int) and not doc.get('dry-run'):
        return doc['changed'] > 0
    for device in doc.get('devices') or []:
        if not device.get('ok', False):
            continue
        if 'changes' in device:
            if device['changes']:
                return True
        elif device.get('result') != 'unchanged':
            return True
    return False


def device_summaries(doc):
    """Per device: its MAC, what happened and the fields that differed."""
    out = []
    for device in doc.get('devices') or []:
        summary = {'mac': device.get('mac'), 'ok': bool(device.get('ok')), 'result': device.get('result')}
        if 'changes' in device:
            summary['changes'] = device['changes']
        if device.get('error'):
            summary['error'] = device['error']
        out.append(summary)
    return out


def apply(module, settings_file, extra, names=None):
    """Runs `vornikctl apply` and ends the task as Ansible expects: changed
    as vornikctl reports it, the diff when asked for, failed with
    vornikctl's message when a device is not confirmed or the input is
    refused. names: the option each temporary file was made of, said in the
    message instead of the file's name, which means nothing to the user."""
    command = ['apply', settings_file] + extra
    if module.params.get('force'):
        command.append('--force')
    if module.check_mode:
        command.append('--dry-run')
    rc, doc, err = run(module, command)
    result = dict(
        changed=changed(doc),
        devices=device_summaries(doc),
        # vornikctl's own count is of the devices that are ok, unchanged and
        # only read (check mode) ones too; this one is what its name says.
        confirmed=sum(1 for d in doc.get('devices') or [] if d.get('ok') and d.get('result') == 'confirmed'),
        unchanged=doc.get('unchanged', 0),
        failed_devices=doc.get('failed', 0),
        rc=rc,
    )
    if module._diff:
        result['diff'] = device_diffs(doc)
    if rc != 0 or not doc.get('ok', False):
        message = failure_message(doc, err)
        for path, option in (names or {}).items():
            message = message.replace(path, option)
        module.fail_json(msg=message, **result)
    module.exit_json(**result)

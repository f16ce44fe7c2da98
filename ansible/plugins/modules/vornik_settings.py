# vornik_settings: brings devices to the given fields or settings file.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
module: vornik_settings
short_description: Bring Vornik devices to the given settings
description:
  - Runs C(vornikctl apply) on the host for one device, a list of devices or every device a search finds.
  - vornikctl reads each device first and writes only a device whose values differ; each write is
    confirmed by reading the device back. A device that already holds the values is not written, and
    the task then reports no change.
  - Each device keeps its own C(ip) and C(terminal-address); give those with M(vornik.devices.vornik_identities).
version_added: 2.0.0
author: Vornik Setup developers
extends_documentation_fragment:
  - vornik.devices.link
  - vornik.devices.link.search
options:
  macs:
    description:
      - MAC addresses of the devices to configure, as C(02-56-4B-00-00-01), C(02:56:4b:00:00:01)
        or C(02564B000001).
      - One of I(macs) and I(all) is required.
    type: list
    elements: str
  all:
    description:
      - Configure every device a search finds. Devices that share a MAC address are not written and fail the task.
    type: bool
    default: false
  fields:
    description:
      - The fields to set, named as C(vornikctl fields) lists them (for example C(server3.target-port),
        C(channel4.temp-upper), C(baud)), with their values as the settings file has them.
      - Give text such as C(terminal-address) quoted, so that YAML does not make a number of it.
    type: dict
  settings_file:
    description:
      - A settings file on the host (as C(vornikctl export) writes it; a part of one is enough).
    type: path
  settings:
    description:
      - The content of a settings file, as a dictionary; for one file on the controller for every site,
        C("{{ lookup('file', 'site.json') | from_json }}").
      - One of I(fields), I(settings_file) and I(settings) is required.
    type: dict
  force:
    description:
      - Write an address another device answers with, a mask that is not contiguous or a gateway outside the
        subnet, which vornikctl otherwise refuses (vornikctl C(--force)).
    type: bool
    default: false
attributes:
  check_mode:
    support: full
    description: Runs vornikctl with C(--dry-run); the devices are read, nothing is written.
  diff_mode:
    support: full
    description: Shows, per device, each field that differs with its value read from the device and the new value.
'''

EXAMPLES = r'''
- name: One settings file for every device of the site
  vornik.devices.vornik_settings:
    all: true
    expect: 12
    settings_file: /etc/vornik/site.json
    broadcast: 192.168.10.255
    bind: [192.168.10.2]

- name: Two fields on two devices
  vornik.devices.vornik_settings:
    macs: [02-56-4B-00-00-01, 02-56-4B-00-00-02]
    fields:
      server3.target-port: 4001
      channel4.temp-upper: 25.3
      parity: even
  register: result

- name: What would change, without writing (run with --check --diff to see each field)
  vornik.devices.vornik_settings:
    all: true
    fields:
      upload-interval: 30
  check_mode: true
'''

RETURN = r'''
devices:
  description: One entry per device.
  returned: always
  type: list
  elements: dict
  contains:
    mac:
      description: The device's MAC address.
      type: str
    ok:
      description: Whether the device holds the values now (or, in check mode, could be read).
      type: bool
    result:
      description: vornikctl's word for what happened, such as C(unchanged), C(would change) or C(not confirmed).
      type: str
    changes:
      description: Each field that differs, with its old value (read from the device) and the new one.
      type: list
      elements: dict
      sample: [{"field": "server3.target-port", "old": 2002, "new": 4001}]
    error:
      description: Why the device failed.
      type: str
      returned: when the device failed
confirmed:
  description: Devices written and confirmed by reading back.
  returned: always
  type: int
unchanged:
  description: Devices that already held the values.
  returned: always
  type: int
failed_devices:
  description: Devices that failed.
  returned: always
  type: int
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vornik.devices.plugins.module_utils.vornikctl import (
    LINK_ARGUMENT_SPEC, SEARCH_ARGUMENT_SPEC, apply, field_blocks, settings_document, target_arguments,
    write_temporary)

# Each device has its own; a value shared by many devices would make them clash.
IDENTITY_FIELDS = ('ip', 'terminal-address')


def settings_file(module):
    """The settings file to apply: the one given, or one made of the fields."""
    if module.params['settings_file']:
        return module.params['settings_file']
    if module.params['settings'] is not None:
        return write_temporary(module, module.params['settings'])
    fields = module.params['fields']
    shared = sorted(set(fields) & set(IDENTITY_FIELDS))
    if shared:
        module.fail_json(msg='%s: each device has its own; give it with vornik.devices.vornik_identities'
                         % ', '.join(shared))
    doc, unknown = settings_document(fields, field_blocks(module))
    if unknown:
        module.fail_json(msg='unknown field(s) %s; `vornikctl fields` lists them' % ', '.join(unknown))
    return write_temporary(module, doc)


def main():
    spec = dict(LINK_ARGUMENT_SPEC)
    spec.update(SEARCH_ARGUMENT_SPEC)
    spec.update(
        macs=dict(type='list', elements='str'),
        all=dict(type='bool', default=False),
        fields=dict(type='dict'),
        settings_file=dict(type='path'),
        settings=dict(type='dict'),
        force=dict(type='bool', default=False),
    )
    module = AnsibleModule(
        argument_spec=spec,
        supports_check_mode=True,
        mutually_exclusive=[('fields', 'settings_file', 'settings')],
        required_one_of=[('fields', 'settings_file', 'settings')],
    )
    if bool(module.params['all']) == bool(module.params['macs']):
        module.fail_json(msg='give the devices: macs or all, not both and not neither')
    apply(module, settings_file(module), target_arguments(module.params))


if __name__ == '__main__':
    main()

# vornik_identities: each device's own address and terminal address.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
module: vornik_identities
short_description: Give each Vornik device its own address
description:
  - Runs C(vornikctl apply --identities) or C(vornikctl apply --ip-from) on the host. It gives each device
    the fields that differ from device to device (C(ip), C(terminal-address), ...) from a table, or
    addresses counted up from a first one in the order of the devices' MAC addresses, together with any
    settings shared by all.
  - vornikctl checks the whole table first (a MAC or an address twice, an address outside the mask, a MAC
    not found) and refuses it before anything is sent; the task then fails with its message.
  - As with M(vornik.devices.vornik_settings), a device that already holds its values is not written.
version_added: 2.0.0
author: Vornik Setup developers
extends_documentation_fragment:
  - vornik.devices.link
  - vornik.devices.link.search
options:
  csv:
    description:
      - A CSV file on the host; its header line names the fields, the first column is C(mac),
        for example C(mac,ip,terminal-address).
      - One of I(csv), I(identities) and I(ip_from) is required.
    type: path
  identities:
    description:
      - The same table in the task, one entry per device, each with its C(mac) and the fields it gets.
        All entries must name the same fields.
    type: list
    elements: dict
  ip_from:
    description:
      - The address of the first device; the others get the next ones, the devices numbered in the
        order of their MAC addresses.
      - Needs I(macs) or I(all).
    type: str
  macs:
    description:
      - With I(ip_from), the devices to number.
    type: list
    elements: str
  all:
    description:
      - With I(ip_from), every device a search finds.
    type: bool
    default: false
  fields:
    description:
      - Settings shared by all the devices, applied with their identities; named as C(vornikctl fields) lists them.
    type: dict
  settings_file:
    description:
      - A settings file on the host with the settings shared by all the devices.
    type: path
  settings:
    description:
      - The content of a settings file with the settings shared by all the devices, as a dictionary.
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
    description: Shows, per device, each field that differs with its old and new value.
'''

EXAMPLES = r'''
- name: Addresses of the site's inventory table
  vornik.devices.vornik_identities:
    csv: /etc/vornik/devices.csv
    broadcast: 192.168.10.255

- name: The same, written in the play
  vornik.devices.vornik_identities:
    identities:
      - {mac: 02-56-4B-00-00-01, ip: 192.168.10.101, terminal-address: "10000001"}
      - {mac: 02-56-4B-00-00-02, ip: 192.168.10.102, terminal-address: "10000002"}

- name: Every device of the site numbered from the site's first address, with the shared settings
  vornik.devices.vornik_identities:
    all: true
    expect: 12
    ip_from: "{{ site_first_ip }}"
    settings_file: /etc/vornik/site.json
'''

RETURN = r'''
devices:
  description: One entry per device, as M(vornik.devices.vornik_settings) returns them.
  returned: always
  type: list
  elements: dict
  sample: [{"mac": "02-56-4B-00-00-01", "ok": true, "result": "confirmed",
            "changes": [{"field": "ip", "old": "192.168.10.100", "new": "192.168.10.101"}]}]
confirmed:
  description: Devices written and confirmed by reading back.
  returned: always
  type: int
unchanged:
  description: Devices that already held their values.
  returned: always
  type: int
failed_devices:
  description: Devices that failed.
  returned: always
  type: int
'''

import csv
import io

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vornik.devices.plugins.module_utils.vornikctl import (
    LINK_ARGUMENT_SPEC, SEARCH_ARGUMENT_SPEC, apply, field_blocks, settings_document, target_arguments,
    write_temporary)


def identities_csv(rows):
    """The table of the task as vornikctl reads it: mac first, then the
    fields in the order the first entry names them; gives (text, problem)."""
    if not rows:
        return None, 'identities is empty'
    columns = [str(k) for k in rows[0] if k != 'mac']
    out = io.StringIO()
    writer = csv.writer(out, lineterminator='\n')
    writer.writerow(['mac'] + columns)
    for number, row in enumerate(rows, 1):
        if 'mac' not in row:
            return None, 'identities entry %d has no mac' % number
        if sorted(str(k) for k in row) != sorted(['mac'] + columns):
            return None, 'identities entry %d (%s) does not name the fields of the first: %s' % (
                number, row['mac'], ', '.join(['mac'] + columns))
        writer.writerow([row['mac']] + [row[c] for c in columns])
    return out.getvalue(), None


def shared_settings(module):
    if module.params['settings_file']:
        return module.params['settings_file']
    if module.params['settings'] is not None:
        return write_temporary(module, module.params['settings'])
    fields = module.params['fields'] or {}
    doc, unknown = settings_document(fields, field_blocks(module) if fields else {})
    if unknown:
        module.fail_json(msg='unknown field(s) %s; `vornikctl fields` lists them' % ', '.join(unknown))
    return write_temporary(module, doc)


def main():
    spec = dict(LINK_ARGUMENT_SPEC)
    spec.update(SEARCH_ARGUMENT_SPEC)
    spec.update(
        csv=dict(type='path'),
        identities=dict(type='list', elements='dict'),
        ip_from=dict(type='str'),
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
        mutually_exclusive=[('csv', 'identities', 'ip_from'), ('fields', 'settings_file', 'settings'), ('macs', 'all')],
        required_one_of=[('csv', 'identities', 'ip_from')],
        required_by=dict(macs='ip_from'),
    )
    p = module.params
    names = {}
    if p['ip_from']:
        if not p['all'] and not p['macs']:
            module.fail_json(msg='ip_from numbers devices: give macs or all')
        extra = ['--ip-from', p['ip_from']] + target_arguments(p)
    else:
        if p['all']:
            module.fail_json(msg='all goes with ip_from; the table names its devices')
        table = p['csv']
        if p['identities'] is not None:
            text, problem = identities_csv(p['identities'])
            if problem:
                module.fail_json(msg=problem)
            table = write_temporary(module, None, text=text, suffix='.csv')
            names[table] = 'identities'
        extra = ['--identities', table]
    apply(module, shared_settings(module), extra, names)


if __name__ == '__main__':
    main()

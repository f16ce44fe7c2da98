# vornik_facts: the devices a search finds on the host's LAN, as facts.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
module: vornik_facts
short_description: Find the Vornik devices on the site's LAN
description:
  - Runs C(vornikctl search) on the host and returns every device that answers as the fact
    C(vornik_devices).
  - Reads only; nothing is sent to a device but the search.
version_added: 2.0.0
author: Vornik Setup developers
extends_documentation_fragment:
  - vornik.devices.link
  - vornik.devices.link.search
attributes:
  check_mode:
    support: full
    description: The search is run in check mode too; it changes nothing.
'''

EXAMPLES = r'''
- name: Find the devices of each site
  vornik.devices.vornik_facts:
    broadcast: 192.168.10.255
    bind: [192.168.10.2]
    expect: 12

- name: Name them
  ansible.builtin.debug:
    msg: "{{ vornik_devices | map(attribute='mac') | list }}"

- name: Stop when two devices share an address
  ansible.builtin.assert:
    that: vornik_devices | selectattr('duplicate_ip') | list | length == 0
'''

RETURN = r'''
ansible_facts:
  description: The devices found.
  returned: success
  type: complex
  contains:
    vornik_devices:
      description: One entry per device that answered, in the order vornikctl lists them.
      type: list
      elements: dict
      contains:
        ip:
          description: The address the device reports.
          type: str
          sample: 192.168.10.100
        mac:
          description: Its MAC address, as vornikctl writes it.
          type: str
          sample: 02-56-4B-00-00-01
        firmware:
          description: The firmware version it reports.
          type: int
          sample: 100
        source:
          description: Address and port its reply came from.
          type: str
          sample: 192.168.10.100:1901
        adapters:
          description: The host's addresses on which its reply was heard.
          type: list
          elements: str
          sample: [192.168.10.2]
        duplicate_ip:
          description: Another device reports the same address.
          type: bool
        duplicate_mac:
          description: Another device answers with the same MAC address.
          type: bool
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vornik.devices.plugins.module_utils.vornikctl import (
    LINK_ARGUMENT_SPEC, SEARCH_ARGUMENT_SPEC, failure_message, run, search_arguments)


def fact(device):
    return dict(
        ip=device.get('ip'),
        mac=device.get('mac'),
        firmware=device.get('firmware'),
        source=device.get('source'),
        adapters=device.get('heard-on', []),
        duplicate_ip=bool(device.get('duplicate-ip')),
        duplicate_mac=bool(device.get('duplicate-mac')),
    )


def main():
    spec = dict(LINK_ARGUMENT_SPEC)
    spec.update(SEARCH_ARGUMENT_SPEC)
    module = AnsibleModule(argument_spec=spec, supports_check_mode=True)
    rc, doc, err = run(module, ['search'] + search_arguments(module.params))
    devices = [fact(d) for d in doc.get('devices') or []]
    if rc != 0 or not doc.get('ok', False):
        module.fail_json(msg=failure_message(doc, err), rc=rc, ansible_facts=dict(vornik_devices=devices))
    module.exit_json(changed=False, ansible_facts=dict(vornik_devices=devices))


if __name__ == '__main__':
    main()

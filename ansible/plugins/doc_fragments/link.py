# The link options every module passes to vornikctl.
from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
options:
  vornikctl:
    description:
      - The vornikctl program on the site's host, as a name looked up in C(PATH) or as a path.
    type: str
    default: vornikctl
  port:
    description:
      - UDP port of the devices (vornikctl C(--port)).
      - Left out, vornikctl's default, 1901, or C(VORNIK_PORT) of the host's environment.
    type: int
  broadcast:
    description:
      - Where requests are sent (vornikctl C(--broadcast)), usually the LAN's broadcast address.
      - Left out, 255.255.255.255 or C(VORNIK_BROADCAST).
    type: str
  bind:
    description:
      - Local IPv4 addresses of the host to send from (vornikctl C(--bind), once for each).
      - Left out, every interface that is up, or C(VORNIK_ADDRESSES).
    type: list
    elements: str
  tries:
    description:
      - Sends of one request before a device counts as silent (vornikctl C(--tries), default 3).
    type: int
  interval:
    description:
      - Seconds between two sends of one request (vornikctl C(--interval), default 1).
    type: float
notes:
  - A search is a broadcast and does not cross routers, so each site needs a host on the devices' LAN
    with vornikctl installed; the modules run there (C(ansible_connection=local) when Ansible runs on it).
requirements:
  - vornikctl (package vornik-setup) on the host the module runs on.
'''

    SEARCH = r'''
options:
  wait:
    description:
      - With I(all), seconds to gather search replies (vornikctl C(--wait), default 1).
    type: float
  expect:
    description:
      - With I(all), fail when fewer devices than this answer the search (vornikctl C(--expect)).
    type: int
'''

# Writes every task result, by host and task name, to the JSON file
# $VORNIK_RECORD when the run ends: ansible-core alone prints no JSON.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os

from ansible.plugins.callback import CallbackBase


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = 'aggregate'
    CALLBACK_NAME = 'vornik_record'
    CALLBACK_NEEDS_ENABLED = True

    def __init__(self):
        super(CallbackModule, self).__init__()
        self.results = {}

    def _record(self, result, status):
        entry = dict(result._result, status=status)
        self.results.setdefault(result._host.get_name(), {})[result._task.get_name()] = entry

    def v2_runner_on_ok(self, result):
        self._record(result, 'ok')

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._record(result, 'failed')

    def v2_playbook_on_stats(self, stats):
        summary = dict((host, stats.summarize(host)) for host in stats.processed)
        with open(os.environ['VORNIK_RECORD'], 'w') as f:
            json.dump(dict(results=self.results, stats=summary), f, default=str)

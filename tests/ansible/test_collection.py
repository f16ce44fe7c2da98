#!/usr/bin/env python3
"""The Ansible collection against simulated devices, with Debian's ansible-core.

Two "sites" on this machine: two simulators on loopback, each on its own port,
each a host of the inventory (local connection, its own --bind). The README's
playbook runs against them unchanged; every value is read back with vornikctl,
and the simulators count the writes they receive, so "no change" is checked
on the wire and not only in Ansible's report.

    test_collection.py VORNIKCTL VORNIK_SIM COLLECTION_DIR

Exits 77 (skipped) when ansible-core is not installed.
"""
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

VORNIKCTL = SIM = COLLECTION = None
WORK = None
SKIP = 77

SITE_A = dict(port=None, bind='127.0.0.2', base_mac='02-00-00-00-00-01', count=3, base_ip='127.1.0.10',
              first_ip='127.1.0.101')
SITE_B = dict(port=None, bind='127.0.0.3', base_mac='02-00-00-00-01-01', count=2, base_ip='127.2.0.10',
              first_ip='127.2.0.101')
MACS_A = ['02-00-00-00-00-01', '02-00-00-00-00-02', '02-00-00-00-00-03']
MACS_B = ['02-00-00-00-01-01', '02-00-00-00-01-02']

# examples/site-settings.json as the devices must hold it afterwards (block,
# field path, value), written out by hand from the file; the simulator's
# factory values (its --help) differ in every one.
SETTINGS_HELD = [
    ('network', ('server1', 'target-address'), '10.0.0.166'),
    ('network', ('server1', 'target-port'), 4001),
    ('device', ('upload-interval',), 30),
    ('device', ('channel4', 'temp-upper'), 25.3),
    ('device', ('channel4', 'temp-lower'), -0.5),
]
FACTORY = {('server1', 'target-address'): '192.168.0.166', ('server1', 'target-port'): 2000,
           ('upload-interval',): 5, ('channel4', 'temp-upper'): 99.9, ('channel4', 'temp-lower'): 0.0}


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(('0.0.0.0', 0))
        return s.getsockname()[1]


class Simulator:
    """A vornik_sim on loopback whose write count is read from its --stats file."""

    def __init__(self, site, *extra):
        self.site = site
        self.stats = os.path.join(WORK, 'sim-%d.stats' % site['port'])
        args = [SIM, '--port', str(site['port']), '--reply-to', '127.255.255.255', '--devices', str(site['count']),
                '--base-mac', site['base_mac'], '--base-ip', site['base_ip'], '--stats', self.stats] + list(extra)
        self.process = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.exists(self.stats):
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError('vornik_sim did not start: %s' % ' '.join(args))
            time.sleep(0.02)

    def writes(self):
        with open(self.stats) as f:
            key, value = f.read().split()
        assert key == 'writes'
        return int(value)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)
        for name in (self.stats, self.stats + '.partial'):
            if os.path.exists(name):
                os.remove(name)


def vornikctl(site, *args):
    out = subprocess.run([VORNIKCTL, '--json', '--quiet', '--port', str(site['port']), '--broadcast',
                          '127.255.255.255', '--bind', site['bind'], '--tries', '3', '--interval', '0.2'] + list(args),
                         stdout=subprocess.PIPE, check=False, timeout=60).stdout
    return json.loads(out)


def held(site, mac, block, path):
    doc = vornikctl(site, 'net' if block == 'network' else 'dev', 'get', mac)
    node = doc['devices'][0][block]
    for part in path:
        node = node[part]
    return node


def inventory_line(name, site):
    return ('%s ansible_connection=local ansible_python_interpreter=%s vornikctl=%s vornik_port=%d '
            'vornik_broadcast=127.255.255.255 vornik_bind=%s vornik_first_ip=%s vornik_expect=%d\n'
            % (name, sys.executable, VORNIKCTL, site['port'], site['bind'], site['first_ip'], site['count']))


def ansible_env():
    env = dict(os.environ)
    env.update(ANSIBLE_COLLECTIONS_PATH=os.path.join(WORK, 'collections'),
               ANSIBLE_CALLBACK_PLUGINS=os.path.join(os.path.dirname(os.path.abspath(__file__)), 'callback'),
               ANSIBLE_CALLBACKS_ENABLED='vornik_record', VORNIK_RECORD=os.path.join(WORK, 'record.json'),
               ANSIBLE_LOCAL_TEMP=os.path.join(WORK, 'tmp'), ANSIBLE_REMOTE_TEMP=os.path.join(WORK, 'tmp'),
               ANSIBLE_NOCOLOR='1', ANSIBLE_RETRY_FILES_ENABLED='0', ANSIBLE_FORKS='5',
               ANSIBLE_HOME=os.path.join(WORK, 'home'), ANSIBLE_CONFIG=os.path.join(WORK, 'ansible.cfg'))
    return env


def playbook(path, inventory, *options):
    """Runs ansible-playbook; gives (exit code, per host the task results by task name, stats)."""
    env = ansible_env()
    if os.path.exists(env['VORNIK_RECORD']):
        os.remove(env['VORNIK_RECORD'])
    run = subprocess.run(['ansible-playbook', '-i', inventory, path] + list(options), env=env,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True, timeout=300)
    sys.stdout.write(run.stdout)  # shown by ctest when a check fails
    if not os.path.exists(env['VORNIK_RECORD']):
        raise AssertionError('ansible-playbook recorded nothing (exit %d)' % run.returncode)
    with open(env['VORNIK_RECORD']) as f:
        doc = json.load(f)
    return run.returncode, doc['results'], doc['stats']


def has_identities():
    help_text = subprocess.run([VORNIKCTL, 'apply', '--help'], stdout=subprocess.PIPE,
                               universal_newlines=True).stdout
    return '--ip-from' in help_text and '--identities' in help_text


IDENTITIES_MISSING = ('this vornikctl has no apply --identities / --ip-from yet; '
                      'the identities checks run once it has')


class ReadmeExample(unittest.TestCase):
    """The README's two-site playbook, as written, against two sites on loopback."""

    def setUp(self):
        SITE_A['port'], SITE_B['port'] = free_port(), free_port()
        self.a, self.b = Simulator(SITE_A), Simulator(SITE_B)
        self.addCleanup(self.a.stop)
        self.addCleanup(self.b.stop)
        self.dir = tempfile.mkdtemp(dir=WORK)
        examples = os.path.join(COLLECTION, 'examples')
        shutil.copy(os.path.join(examples, 'site-settings.json'), self.dir)
        self.play = os.path.join(self.dir, 'site.yml')
        with open(os.path.join(examples, 'site.yml')) as f:
            text = f.read()
        self.identities = has_identities()
        if not self.identities:
            start = text.index('    - name: Number them')
            text = text[:start] + text[text.index('    - name: One settings'):]
        with open(self.play, 'w') as f:
            f.write(text)
        self.inventory = os.path.join(self.dir, 'inventory.ini')
        with open(self.inventory, 'w') as f:
            f.write('[vornik_sites]\n' + inventory_line('site-a', SITE_A) + inventory_line('site-b', SITE_B))

    def writes(self):
        return self.a.writes() + self.b.writes()

    def test_check_then_run_then_nothing_left_to_do(self):
        # Check mode: each device's diff, old (factory) -> new; nothing written.
        rc, results, stats = playbook(self.play, self.inventory, '--check', '--diff')
        self.assertEqual(rc, 0, results)
        self.assertEqual(self.writes(), 0)
        for host, macs in (('site-a', MACS_A), ('site-b', MACS_B)):
            self.assertGreater(stats[host]['changed'], 0, host)
            diffs = results[host]['One settings file for every device of every site']['diff']
            self.assertEqual(sorted(d['before_header'].split()[0] for d in diffs), macs)
            for d in diffs:
                for line in ('upload-interval: 5', 'channel4.temp-upper: 99.9', 'channel4.temp-lower: 0.0',
                             'server1.target-port: 2000'):
                    self.assertIn(line + '\n', d['before'])
                for line in ('upload-interval: 30', 'channel4.temp-upper: 25.3', 'channel4.temp-lower: -0.5',
                             'server1.target-port: 4001'):
                    self.assertIn(line + '\n', d['after'])
        self.assertEqual(held(SITE_A, MACS_A[0], 'device', ('upload-interval',)), 5)

        # The run: every device of both sites holds the file's values.
        rc, results, stats = playbook(self.play, self.inventory)
        self.assertEqual(rc, 0, results)
        for host in ('site-a', 'site-b'):
            self.assertTrue(results[host]['One settings file for every device of every site']['changed'], host)
        self.assertGreater(self.a.writes(), 0)
        self.assertGreater(self.b.writes(), 0)
        for site, macs in ((SITE_A, MACS_A), (SITE_B, MACS_B)):
            for mac in macs:
                for block, path, value in SETTINGS_HELD:
                    self.assertEqual(held(site, mac, block, path), value, (mac, path))
        if self.identities:
            found = {d['mac']: d['ip'] for d in vornikctl(SITE_A, 'search', '--wait', '0.5')['devices']}
            self.assertEqual(found, {MACS_A[0]: '127.1.0.101', MACS_A[1]: '127.1.0.102', MACS_A[2]: '127.1.0.103'})
            found = {d['mac']: d['ip'] for d in vornikctl(SITE_B, 'search', '--wait', '0.5')['devices']}
            self.assertEqual(found, {MACS_B[0]: '127.2.0.101', MACS_B[1]: '127.2.0.102'})

        # Again: nothing to do, and nothing sent that writes.
        before = self.writes()
        rc, results, stats = playbook(self.play, self.inventory, '--diff')
        self.assertEqual(rc, 0, results)
        self.assertEqual({h: s['changed'] for h, s in stats.items()}, {'site-a': 0, 'site-b': 0})
        self.assertEqual(self.writes(), before)
        for host in ('site-a', 'site-b'):
            self.assertEqual(results[host]['One settings file for every device of every site'].get('diff'), [])

        if not self.identities:
            self.skipTest('settings checked; ' + IDENTITIES_MISSING)


class Failures(unittest.TestCase):
    """Each row: one task against one site, how it must fail, and how many
    writes the devices may have received meanwhile."""

    ROWS = [
        # name, simulator options, task arguments, words the message must hold, writes allowed
        ('a device that acknowledges and stores nothing fails by its MAC', ['--store-nothing'],
         dict(all=True, fields={'upload-interval': 30}), ['02-00-00-00-00-01', '02-00-00-00-00-02'], None),
        ('one silent device among several is named; the others are written', [],
         dict(macs=['02-00-00-00-00-01', '02-00-00-00-00-99', '02-00-00-00-00-02'], fields={'baud': 9600}),
         ['02-00-00-00-00-99', 'no reply'], 2),
        ('a temperature above 3276.7 is refused by vornikctl before anything is sent', [],
         dict(all=True, fields={'channel4.temp-upper': 3276.8}), ['channel4.temp-upper'], 0),
        ('a temperature below -3276.8 is refused', [],
         dict(all=True, fields={'channel1.temp-lower': -3276.9}), ['channel1.temp-lower'], 0),
        ('a baud rate of 0 is refused', [], dict(all=True, fields={'baud': 0}), ['baud'], 0),
        ('a misspelt field is refused by the module', [],
         dict(all=True, fields={'chanel4.temp-upper': 20}), ['chanel4.temp-upper', 'vornikctl fields'], 0),
        ('ip is per device and left to vornik_identities', [],
         dict(all=True, fields={'ip': '127.1.0.5'}), ['ip', 'vornik_identities'], 0),
        ('fewer devices than expected fail', [],
         dict(all=True, expect=5, fields={'baud': 9600}), ['2 device(s) answered', '5 expected'], None),
        ('neither macs nor all', [], dict(fields={'baud': 9600}), ['macs or all'], 0),
    ]

    def run_task(self, site, module, arguments, *options):
        tasks = [{'name': 'the task', 'vornik.devices.' + module: arguments}]
        play = [{'hosts': 'sites', 'gather_facts': False, 'module_defaults': {'group/vornik.devices.vornik': {
            'vornikctl': VORNIKCTL, 'port': site['port'], 'broadcast': '127.255.255.255', 'bind': [site['bind']],
            'tries': 2, 'interval': 0.2, 'wait': 0.5}}, 'tasks': tasks}]
        path = os.path.join(WORK, 'one-task.yml')
        with open(path, 'w') as f:
            json.dump(play, f)  # JSON is YAML
        inventory = os.path.join(WORK, 'one-site.ini')
        with open(inventory, 'w') as f:
            f.write('[sites]\nsite ansible_connection=local ansible_python_interpreter=%s\n' % sys.executable)
        rc, results, _ = playbook(path, inventory, *options)
        return rc, results['site']['the task']

    def test_failures_name_their_cause(self):
        for name, sim_options, arguments, words, writes in self.ROWS:
            with self.subTest(name):
                site = dict(SITE_A, port=free_port(), count=2)
                sim = Simulator(site, *sim_options)
                try:
                    rc, result = self.run_task(site, 'vornik_settings', arguments)
                    self.assertNotEqual(rc, 0)
                    self.assertEqual(result['status'], 'failed', result)
                    for word in words:
                        self.assertIn(word, result['msg'])
                    if writes is not None:
                        self.assertEqual(sim.writes(), writes)
                finally:
                    sim.stop()

    def test_store_nothing_in_check_mode_passes_and_writes_nothing(self):
        # --dry-run reads only, so a device that would not store is not found out.
        site = dict(SITE_A, port=free_port(), count=2)
        sim = Simulator(site, '--store-nothing')
        self.addCleanup(sim.stop)
        rc, result = self.run_task(site, 'vornik_settings', dict(all=True, fields={'upload-interval': 30}), '--check')
        self.assertEqual(rc, 0, result)
        self.assertTrue(result['changed'])
        self.assertEqual(sim.writes(), 0)

    def test_identities_refused_before_anything_is_sent(self):
        if not has_identities():
            self.skipTest(IDENTITIES_MISSING)
        rows = [
            ('the same ip twice', dict(identities=[{'mac': MACS_A[0], 'ip': '127.1.0.50'},
                                                  {'mac': MACS_A[1], 'ip': '127.1.0.50'}]), '127.1.0.50'),
            ('the same MAC twice, said of the table in the play', dict(identities=[
                {'mac': MACS_A[0], 'ip': '127.1.0.50'}, {'mac': MACS_A[0], 'ip': '127.1.0.51'}]),
             'identities line 3: ' + MACS_A[0]),
            ('a MAC no device has', dict(identities=[{'mac': '02-00-00-00-00-77', 'ip': '127.1.0.50'}]),
             '02-00-00-00-00-77'),
            ('entries naming different fields', dict(identities=[{'mac': MACS_A[0], 'ip': '127.1.0.50'},
                                                                 {'mac': MACS_A[1], 'terminal-address': '1'}]),
             'does not name the fields'),
        ]
        for name, arguments, word in rows:
            with self.subTest(name):
                site = dict(SITE_A, port=free_port(), count=2)
                sim = Simulator(site)
                try:
                    rc, result = self.run_task(site, 'vornik_identities', arguments)
                    self.assertEqual(result['status'], 'failed', result)
                    self.assertIn(word, result['msg'])
                    self.assertEqual(sim.writes(), 0)
                finally:
                    sim.stop()

    # vornikctl checks an --ip-from range device by device as it writes: the
    # first device gets .254 before .255 (the broadcast address of its /24) is
    # refused for the second, although its manual promises the check before
    # anything is written. When that is fixed this passes and must lose its marker.
    @unittest.expectedFailure
    def test_range_reaching_the_broadcast_address_writes_nothing(self):
        if not has_identities():
            self.skipTest(IDENTITIES_MISSING)
        site = dict(SITE_A, port=free_port(), count=2)
        sim = Simulator(site)
        self.addCleanup(sim.stop)
        rc, result = self.run_task(site, 'vornik_identities', dict(all=True, ip_from='127.1.0.254'))
        self.assertEqual(result['status'], 'failed', result)
        self.assertIn('127.1.0.255', result['msg'])
        self.assertEqual(sim.writes(), 0)

    def test_identities_from_the_play(self):
        if not has_identities():
            self.skipTest(IDENTITIES_MISSING)
        site = dict(SITE_A, port=free_port(), count=2)
        sim = Simulator(site)
        self.addCleanup(sim.stop)
        table = dict(identities=[{'mac': MACS_A[1], 'ip': '127.1.0.61', 'terminal-address': '0000BEEF'},
                                 {'mac': MACS_A[0], 'ip': '127.1.0.60', 'terminal-address': '0000CAFE'}])
        rc, result = self.run_task(site, 'vornik_identities', table)
        self.assertEqual(rc, 0, result)
        self.assertTrue(result['changed'])
        found = {d['mac']: d['ip'] for d in vornikctl(site, 'search', '--wait', '0.5')['devices']}
        self.assertEqual(found, {MACS_A[0]: '127.1.0.60', MACS_A[1]: '127.1.0.61'})
        # Hex digits; the device gives them back in small letters.
        self.assertEqual(held(site, MACS_A[1], 'device', ('terminal-address',)).upper(), '0000BEEF')
        before = sim.writes()
        rc, result = self.run_task(site, 'vornik_identities', table)
        self.assertEqual((rc, result['changed'], sim.writes()), (0, False, before))


class Documentation(unittest.TestCase):
    # Every option each module takes, listed by hand: ansible-doc must show each.
    LINK = ['vornikctl', 'port', 'broadcast', 'bind', 'tries', 'interval']
    OPTIONS = {
        'vornik_facts': LINK + ['wait', 'expect'],
        'vornik_settings': LINK + ['wait', 'expect', 'macs', 'all', 'fields', 'settings_file', 'settings',
                            'force'],
        'vornik_identities': LINK + ['wait', 'expect', 'csv', 'identities', 'ip_from', 'macs', 'all', 'fields',
                                     'settings_file', 'settings', 'force'],
    }

    def test_ansible_doc_shows_every_option_and_an_example(self):
        for module, options in self.OPTIONS.items():
            with self.subTest(module):
                run = subprocess.run(['ansible-doc', '--json', 'vornik.devices.' + module], env=ansible_env(),
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True)
                self.assertEqual(run.returncode, 0, run.stderr)
                doc = json.loads(run.stdout)['vornik.devices.' + module]
                self.assertEqual(sorted(doc['doc']['options']), sorted(options))
                self.assertIn('vornik.devices.' + module + ':', doc['examples'])

    def test_readmes_hold_the_example_files_as_they_are(self):
        # The collection's README and the project's: what the playbook test runs is what they show.
        for readme_path in (os.path.join(COLLECTION, 'README.md'), os.path.join(COLLECTION, '..', 'README.md')):
            with open(readme_path) as f:
                readme = f.read()
            for name in ('inventory.ini', 'site.yml', 'site-settings.json'):
                with open(os.path.join(COLLECTION, 'examples', name)) as f:
                    self.assertIn(f.read(), readme, (readme_path, name))


class ModuleHelpers(unittest.TestCase):
    """The collection's own logic, without a device: how a settings file is
    made of fields, how vornikctl's answer becomes Ansible's result."""

    def setUp(self):
        from ansible_collections.vornik.devices.plugins.module_utils import vornikctl as utils
        self.utils = utils

    def test_fields_nest_by_their_dots_into_their_blocks(self):
        blocks = {'server3.target-port': 'network', 'mask': 'network', 'channel4.temp-upper': 'device',
                  'baud': 'device'}
        doc, unknown = self.utils.settings_document(
            {'server3.target-port': 4001, 'mask': '255.255.0.0', 'channel4.temp-upper': -0.5, 'baud': 9600,
             'bad.name': 1}, blocks)
        self.assertEqual(doc, {'format': 'vornik-settings', 'version': 1,
                               'network': {'server3': {'target-port': 4001}, 'mask': '255.255.0.0'},
                               'device': {'channel4': {'temp-upper': -0.5}, 'baud': 9600}})
        self.assertEqual(unknown, ['bad.name'])

    def test_changed_and_diff_from_vornikctl_answers(self):
        change = {'field': 'baud', 'old': 4800, 'new': 9600}
        rows = [
            ('dry run, one device would change', {'dry-run': True, 'changed': 0, 'devices': [
                {'mac': 'M1', 'ok': True, 'result': 'would change', 'changes': [change]}]}, True, 1),
            ('every device already holds the values', {'changed': 0, 'devices': [
                {'mac': 'M1', 'ok': True, 'result': 'unchanged', 'changes': []}]}, False, 0),
            ('written and confirmed', {'changed': 1, 'devices': [
                {'mac': 'M1', 'ok': True, 'result': 'confirmed', 'changes': [change]}]}, True, 1),
            ('a failed device that would change is no change', {'dry-run': True, 'devices': [
                {'mac': 'M1', 'ok': False, 'result': 'not written', 'changes': [change]}]}, False, 1),
            ('no changes lists: a confirmed write counts', {'devices': [
                {'mac': 'M1', 'ok': True, 'result': 'confirmed'}]}, True, 0),
        ]
        for name, doc, changed, diffs in rows:
            with self.subTest(name):
                self.assertEqual(self.utils.changed(doc), changed)
                self.assertEqual(len(self.utils.device_diffs(doc)), diffs)
        diff = self.utils.device_diffs({'devices': [{'mac': '02-00-00-00-00-01', 'changes': [
            change, {'field': 'channel4.temp-lower', 'old': 0.0, 'new': -0.5}]}]})[0]
        self.assertEqual(diff['before'], 'baud: 4800\nchannel4.temp-lower: 0.0\n')
        self.assertEqual(diff['after'], 'baud: 9600\nchannel4.temp-lower: -0.5\n')

    def test_failure_message_is_vornikctls(self):
        rows = [
            ('refused input', {'ok': False, 'error': {'field': 'baud', 'message': 'baud: out of range'}}, '',
             'baud: out of range'),
            ('two devices fail, one is fine', {'ok': False, 'devices': [
                {'mac': 'A', 'ok': False, 'error': 'no reply'}, {'mac': 'B', 'ok': True},
                {'mac': 'C', 'ok': False, 'result': 'not confirmed'}]}, '', 'A: no reply; C: not confirmed'),
            ('nothing in the document: stderr', {'ok': False}, 'vornikctl: no device found\n',
             'vornikctl: no device found'),
        ]
        for name, doc, stderr, message in rows:
            with self.subTest(name):
                self.assertEqual(self.utils.failure_message(doc, stderr), message)

    def test_identities_table_becomes_csv_with_mac_first(self):
        from ansible_collections.vornik.devices.plugins.modules.vornik_identities import identities_csv
        rows = [
            ('fields in the first entry order', [{'ip': '10.0.0.1', 'mac': 'M1'}, {'mac': 'M2', 'ip': '10.0.0.2'}],
             'mac,ip\nM1,10.0.0.1\nM2,10.0.0.2\n', None),
            ('a comma in a value is quoted', [{'mac': 'M1', 'terminal-address': 'a,b'}],
             'mac,terminal-address\nM1,"a,b"\n', None),
            ('an entry without mac', [{'mac': 'M1', 'ip': '1'}, {'ip': '2'}], None, 'entry 2 has no mac'),
            ('an entry with another field', [{'mac': 'M1', 'ip': '1'}, {'mac': 'M2', 'gateway': '2'}], None,
             'entry 2 (M2) does not name'),
            ('empty', [], None, 'empty'),
        ]
        for name, table, text, problem in rows:
            with self.subTest(name):
                got_text, got_problem = identities_csv(table)
                self.assertEqual(got_text, text)
                if problem is None:
                    self.assertIsNone(got_problem)
                else:
                    self.assertIn(problem, got_problem)


def install_collection():
    """Builds the tarball as a user would and installs it into WORK (offline:
    the collection depends on nothing)."""
    env = ansible_env()
    subprocess.run(['ansible-galaxy', 'collection', 'build', '--output-path', WORK, COLLECTION], env=env,
                   check=True, stdout=subprocess.DEVNULL)
    tarballs = [n for n in os.listdir(WORK) if n.endswith('.tar.gz')]
    subprocess.run(['ansible-galaxy', 'collection', 'install', '-p', os.path.join(WORK, 'collections'),
                    os.path.join(WORK, tarballs[0])], env=env, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    sys.path.insert(0, os.path.join(WORK, 'collections'))


def main():
    global VORNIKCTL, SIM, COLLECTION, WORK
    VORNIKCTL, SIM, COLLECTION = (os.path.abspath(a) for a in sys.argv[1:4])
    del sys.argv[1:4]
    missing = [p for p in ('ansible-playbook', 'ansible-galaxy', 'ansible-doc') if not shutil.which(p)]
    if missing:
        print('skipped: %s not installed (Debian: ansible-core)' % ', '.join(missing))
        return SKIP
    try:
        import ansible  # noqa: F401  (the helpers' tests import the modules)
    except ImportError:
        # Another python3 first in PATH (a pyenv, a venv): the one ansible-core runs on.
        with open(shutil.which('ansible-playbook')) as f:
            interpreter = f.readline()[2:].strip().split()
        if interpreter and os.path.realpath(interpreter[0]) != os.path.realpath(sys.executable):
            os.execv(interpreter[0], interpreter + [os.path.abspath(__file__), VORNIKCTL, SIM, COLLECTION]
                     + sys.argv[1:])
        raise
    WORK = tempfile.mkdtemp(prefix='vornik-ansible-')
    with open(os.path.join(WORK, 'ansible.cfg'), 'w') as f:
        f.write('[defaults]\n')  # none of the user's or the machine's settings
    try:
        install_collection()
        result = unittest.main(exit=False, verbosity=2).result
        return 0 if result.wasSuccessful() else 1
    finally:
        shutil.rmtree(WORK, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())

#!/usr/bin/env python3
"""test_collection.py VORNIKCTL VORNIK_SIM COLLECTION_DIR: the collection with
ansible-core against two "sites", each a simulator on loopback with its own
port and a host of the inventory. Values are read back with vornikctl and the
simulators count the writes they receive, so "no change" is checked on the
wire. Exits 77 (skipped) without ansible-core."""
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

VORNIKCTL = SIM = COLLECTION = WORK = None

SITE_A = dict(port=None, bind='127.0.0.2', base_mac='02-00-00-00-00-01', count=3, base_ip='127.1.0.10',
              first_ip='127.1.0.101')
SITE_B = dict(port=None, bind='127.0.0.3', base_mac='02-00-00-00-01-01', count=2, base_ip='127.2.0.10',
              first_ip='127.2.0.101')
MACS_A = ['02-00-00-00-00-01', '02-00-00-00-00-02', '02-00-00-00-00-03']
MACS_B = ['02-00-00-00-01-01', '02-00-00-00-01-02']

# examples/site-settings.json as the devices must hold it afterwards, written out by
# hand; the simulator's factory values (its --help) differ in every one.
SETTINGS_HELD = [
    ('network', ('server1', 'target-address'), '10.0.0.166'),
    ('network', ('server1', 'target-port'), 4001),
    ('device', ('upload-interval',), 30),
    ('device', ('channel4', 'temp-upper'), 25.3),
    ('device', ('channel4', 'temp-lower'), -0.5),
]


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(('0.0.0.0', 0))
        return s.getsockname()[1]


class Simulator:
    """A vornik_sim on loopback whose write count is read from its --stats file."""

    def __init__(self, site, *extra):
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
            return int(f.read().split()[1])  # "writes N"

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)


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
    return ('%s ansible_connection=local ansible_python_interpreter=auto_silent vornikctl=%s vornik_port=%d '
            'vornik_broadcast=127.255.255.255 vornik_bind=%s vornik_first_ip=%s vornik_expect=%d\n'
            % (name, VORNIKCTL, site['port'], site['bind'], site['first_ip'], site['count']))


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
    open(env['VORNIK_RECORD'], 'w').close()  # no result of an earlier run
    run = subprocess.run(['ansible-playbook', '-i', inventory, path] + list(options), env=env,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True, timeout=300)
    sys.stdout.write(run.stdout)  # shown by ctest when a check fails
    with open(env['VORNIK_RECORD']) as f:
        doc = json.load(f)  # empty, and so no JSON, when ansible-playbook ended early
    return run.returncode, doc['results'], doc['stats']


class ReadmeExample(unittest.TestCase):
    """The README's two-site playbook, as written, against two sites on loopback."""

    def setUp(self):
        SITE_A['port'], SITE_B['port'] = free_port(), free_port()
        self.a, self.b = Simulator(SITE_A), Simulator(SITE_B)
        self.addCleanup(self.a.stop)
        self.addCleanup(self.b.stop)
        self.play = os.path.join(COLLECTION, 'examples', 'site.yml')  # with its site-settings.json beside it
        self.inventory = os.path.join(WORK, 'inventory.ini')
        with open(self.inventory, 'w') as f:
            f.write('[vornik_sites]\n' + inventory_line('site-a', SITE_A) + inventory_line('site-b', SITE_B))

    def test_check_then_run_then_nothing_left_to_do(self):
        # Check mode: each device's diff, old (factory) -> new; nothing written.
        rc, results, stats = playbook(self.play, self.inventory, '--check', '--diff')
        self.assertEqual(rc, 0, results)
        self.assertEqual(self.a.writes() + self.b.writes(), 0)
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
        self.assertTrue(all(r['One settings file for every device of every site']['changed'] for r in results.values()))
        self.assertTrue(self.a.writes() > 0 and self.b.writes() > 0)
        for site, macs in ((SITE_A, MACS_A), (SITE_B, MACS_B)):
            for mac in macs:
                for block, path, value in SETTINGS_HELD:
                    self.assertEqual(held(site, mac, block, path), value, (mac, path))
        # Numbered in MAC order from each site's first address.
        for site, ips in ((SITE_A, ['.101', '.102', '.103']), (SITE_B, ['.101', '.102'])):
            found = sorted((d['mac'], d['ip']) for d in vornikctl(site, 'search', '--wait', '0.5')['devices'])
            self.assertEqual([ip for _, ip in found], [site['base_ip'].rsplit('.', 1)[0] + ip for ip in ips])

        # Again: nothing to do, and nothing sent that writes.
        before = self.a.writes() + self.b.writes()
        rc, results, stats = playbook(self.play, self.inventory, '--diff')
        self.assertEqual(rc, 0, results)
        self.assertEqual({h: s['changed'] for h, s in stats.items()}, {'site-a': 0, 'site-b': 0})
        self.assertEqual(self.a.writes() + self.b.writes(), before)
        for host in ('site-a', 'site-b'):
            self.assertEqual(results[host]['One settings file for every device of every site'].get('diff'), [])


class Failures(unittest.TestCase):
    """Each row: one task against a site of two devices, words its message
    must hold, and the writes the devices may have received (None: any)."""
    S, I = 'vornik_settings', 'vornik_identities'
    ROWS = [
        ('a device that acknowledges and stores nothing fails by its MAC', ['--store-nothing'], S,
         dict(all=True, fields={'upload-interval': 30}), ['02-00-00-00-00-01', '02-00-00-00-00-02'], None),
        ('one silent device among several is named; the others are written', [], S,
         dict(macs=[MACS_A[0], '02-00-00-00-00-99', MACS_A[1]], fields={'baud': 9600}),
         ['02-00-00-00-00-99', 'no reply'], 2),
        ('a temperature above 3276.7 is refused before anything is sent', [], S,
         dict(all=True, fields={'channel4.temp-upper': 3276.8}), ['channel4.temp-upper'], 0),
        ('a temperature below -3276.8 is refused', [], S,
         dict(all=True, fields={'channel1.temp-lower': -3276.9}), ['channel1.temp-lower'], 0),
        ('a baud rate of 0 is refused', [], S, dict(all=True, fields={'baud': 0}), ['baud'], 0),
        ('a misspelt field is refused by the module', [], S,
         dict(all=True, fields={'chanel4.temp-upper': 20}), ['chanel4.temp-upper', 'vornikctl fields'], 0),
        ('ip is per device and left to vornik_identities', [], S,
         dict(all=True, fields={'ip': '127.1.0.5'}), ['ip', 'vornik_identities'], 0),
        ('fewer devices than expected fail', [], S,
         dict(all=True, expect=5, fields={'baud': 9600}), ['2 device(s) answered', '5 expected'], 0),
        ('fewer devices found than expected', [], 'vornik_facts', dict(expect=3), ['2 device(s) answered, 3 expected'], 0),
        ('the same ip twice in a table', [], I, dict(identities=[
            {'mac': MACS_A[0], 'ip': '127.1.0.50'}, {'mac': MACS_A[1], 'ip': '127.1.0.50'}]), ['127.1.0.50'], 0),
        ('the same MAC twice, said of the table in the play', [], I, dict(identities=[
            {'mac': MACS_A[0], 'ip': '127.1.0.50'}, {'mac': MACS_A[0], 'ip': '127.1.0.51'}]),
         ['identities line 3: ' + MACS_A[0]], 0),
        ('a MAC no device has', [], I, dict(identities=[{'mac': '02-00-00-00-00-77', 'ip': '127.1.0.50'}]),
         ['02-00-00-00-00-77'], 0),
        ('table entries naming different fields', [], I, dict(identities=[
            {'mac': MACS_A[0], 'ip': '127.1.0.50'}, {'mac': MACS_A[1], 'terminal-address': '1'}]),
         ['does not name the fields'], 0),
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
            f.write('[sites]\nsite ansible_connection=local ansible_python_interpreter=auto_silent\n')
        rc, results, _ = playbook(path, inventory, *options)
        return rc, results['site']['the task']

    def test_failures_name_their_cause(self):
        for name, sim_options, module, arguments, words, writes in self.ROWS:
            with self.subTest(name):
                site = dict(SITE_A, port=free_port(), count=2)
                sim = Simulator(site, *sim_options)
                try:
                    rc, result = self.run_task(site, module, arguments)
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
        self.assertEqual((rc, result['changed'], sim.writes()), (0, True, 0), result)

    # The mask is known only once the devices are read; .255 (the /24's broadcast) for the
    # second device must still keep the first from being written.
    def test_range_reaching_the_broadcast_address_writes_nothing(self):
        site = dict(SITE_A, port=free_port(), count=2)
        sim = Simulator(site)
        self.addCleanup(sim.stop)
        rc, result = self.run_task(site, 'vornik_identities', dict(all=True, ip_from='127.1.0.254'))
        self.assertEqual(result['status'], 'failed', result)
        self.assertIn('127.1.0.255', result['msg'])
        self.assertEqual(sim.writes(), 0)


class Documentation(unittest.TestCase):
    # Every option each module takes, listed by hand: ansible-doc must show each.
    LINK = ['vornikctl', 'port', 'broadcast', 'bind', 'tries', 'interval']
    SHARED = ['wait', 'expect', 'macs', 'all', 'fields', 'settings_file', 'settings', 'force']
    OPTIONS = {'vornik_facts': LINK + ['wait', 'expect'], 'vornik_settings': LINK + SHARED,
               'vornik_identities': LINK + SHARED + ['csv', 'identities', 'ip_from']}

    def test_ansible_doc_shows_every_option_and_an_example(self):
        for module, options in self.OPTIONS.items():
            with self.subTest(module):
                run = subprocess.run(['ansible-doc', '--json', 'vornik.devices.' + module], env=ansible_env(),
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True)
                self.assertEqual(run.returncode, 0, run.stderr)
                doc = json.loads(run.stdout)['vornik.devices.' + module]
                self.assertEqual(sorted(doc['doc']['options']), sorted(options))
                self.assertIn('vornik.devices.' + module + ':', doc['examples'])

    def test_both_readmes_hold_the_example_files_as_the_playbook_test_runs_them(self):
        for readme_path in (os.path.join(COLLECTION, 'README.md'), os.path.join(COLLECTION, '..', 'README.md')):
            with open(readme_path) as f:
                readme = f.read()
            for name in ('inventory.ini', 'site.yml', 'site-settings.json'):
                with open(os.path.join(COLLECTION, 'examples', name)) as f:
                    self.assertIn(f.read(), readme, (readme_path, name))


def install_collection():
    """Builds the tarball and installs it, as the README says (offline: it depends on nothing)."""
    env = ansible_env()
    subprocess.run(['ansible-galaxy', 'collection', 'build', '--output-path', WORK, COLLECTION], env=env,
                   check=True, stdout=subprocess.DEVNULL)
    tarballs = [n for n in os.listdir(WORK) if n.endswith('.tar.gz')]
    subprocess.run(['ansible-galaxy', 'collection', 'install', '-p', os.path.join(WORK, 'collections'),
                    os.path.join(WORK, tarballs[0])], env=env, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def main():
    global VORNIKCTL, SIM, COLLECTION, WORK
    VORNIKCTL, SIM, COLLECTION = (os.path.abspath(a) for a in sys.argv[1:4])
    del sys.argv[1:4]
    missing = [p for p in ('ansible-playbook', 'ansible-galaxy', 'ansible-doc') if not shutil.which(p)]
    if missing:
        print('skipped: %s not installed (Debian: ansible-core)' % ', '.join(missing))
        return 77
    WORK = tempfile.mkdtemp(prefix='vornik-ansible-')
    open(os.path.join(WORK, 'ansible.cfg'), 'w').close()  # none of the user's or the machine's settings
    try:
        install_collection()
        result = unittest.main(exit=False, verbosity=2).result
        return 0 if result.wasSuccessful() else 1
    finally:
        shutil.rmtree(WORK, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())

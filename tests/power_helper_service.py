#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The power helper on a private system bus, against dbusmock's polkitd and a fake sysfs tree.

usage: power_helper_service.py HELPER [CLIENT]   run the tests on dorvik-power-helper
                                                  (and the platform client, helper_charge_control)
       power_helper_service.py --bench HELPER    print how soon a change and a restore land
"""
import os
import resource
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from dbus_support import wait_until

try:
    import dbus
    import dbusmock
except ImportError:
    print('python3-dbusmock is not installed', file=sys.stderr)
    sys.exit(77)

NAME = 'io.github.dorvik.PowerHelper'
PATH = '/io/github/dorvik/PowerHelper'
INTERFACE = 'io.github.dorvik.PowerHelper1'
DISCHARGE = 'io.github.dorvik.discharge-on-mains'
LIFT = 'io.github.dorvik.lift-charge-limit'
BEHAVIOURS = '[auto] inhibit-charge force-discharge'

# A caller in a process of its own: it makes one call, says how it went and
# stays on the bus until it is killed.
CALLER = '''import sys, time, dbus
helper = dbus.Interface(dbus.SystemBus().get_object("%s", "%s"), "%s")
try:
    getattr(helper, sys.argv[1])(sys.argv[2], timeout=30)
    print("ok", flush=True)
except dbus.exceptions.DBusException as error:
    print(error.get_dbus_name(), flush=True)
time.sleep(600)
''' % (NAME, PATH, INTERFACE)


def limit_file_size():
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (5, 5))


class FakeSysfs:
    '''A sysfs tree in a temporary folder: BAT0 with the newer thresholds and
    every charge behaviour, BAT1 with the older thresholds, AC a mains supply.'''

    def __init__(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        self.supply('BAT0', type='Battery', charge_behaviour=BEHAVIOURS,
                    charge_control_start_threshold='75', charge_control_end_threshold='80')
        self.supply('BAT1', type='Battery', charge_behaviour='[auto] inhibit-charge',
                    charge_start_threshold='40', charge_stop_threshold='60')
        self.supply('AC', type='Mains', charge_behaviour=BEHAVIOURS)

    def supply(self, name, **attributes):
        folder = os.path.join(self.root, 'class', 'power_supply', name)
        os.makedirs(folder, exist_ok=True)
        for attribute, content in attributes.items():
            self.write(f'{name}/{attribute}', content)

    def path(self, name):
        return os.path.join(self.root, 'class', 'power_supply', name)

    def read(self, name):
        with open(self.path(name), encoding='utf-8') as attribute:
            return attribute.read().strip()

    def write(self, name, content):
        with open(self.path(name), 'w', encoding='utf-8') as attribute:
            attribute.write(content + '\n')

    def ideapad(self, mode):
        folder = os.path.join(self.root, 'bus', 'platform', 'drivers', 'ideapad_acpi', 'VPC2004:00')
        os.makedirs(folder)
        path = os.path.join(folder, 'conservation_mode')
        with open(path, 'w', encoding='utf-8') as attribute:
            attribute.write(mode + '\n')
        return path


class PowerHelperService(dbusmock.DBusTestCase):
    helper_program = None
    client_program = None

    @classmethod
    def setUpClass(cls):
        cls.start_system_bus()

    def setUp(self):
        self.sysfs = FakeSysfs()
        self.addCleanup(self.sysfs.dir.cleanup)
        self.polkitd, self.polkit = self.spawn_server_template('polkitd', {}, stdout=subprocess.DEVNULL)
        self.addCleanup(self.stop_process, self.polkitd)
        self.log = tempfile.TemporaryFile(mode='w+')
        self.addCleanup(self.log.close)
        self.helper = self.start_helper()
        self.callers = []

    def start_helper(self, *options, preexec_fn=None):
        helper = subprocess.Popen([self.helper_program, '--sysfs-root', self.sysfs.root, *options],
                                  stderr=self.log, preexec_fn=preexec_fn)
        self.addCleanup(self.stop_process, helper)
        bus = self.get_dbus(system_bus=True)
        self.assertTrue(wait_until(lambda: bus.name_has_owner(NAME) or helper.poll() is not None))
        self.assertIsNone(helper.poll(), self.log_lines())
        return helper

    @staticmethod
    def stop_process(process):
        if process.poll() is None:
            process.kill()
        process.wait()
        for stream in (process.stdout, process.stdin):
            if stream:
                stream.close()

    def log_lines(self):
        self.log.seek(0)
        return self.log.read().splitlines()

    def interface(self):
        return dbus.Interface(self.get_dbus(system_bus=True).get_object(NAME, PATH), INTERFACE)

    def caller(self, method, battery):
        '''A caller process that has called method(battery); its answer.'''
        process = subprocess.Popen([sys.executable, '-c', CALLER, method, battery], stdout=subprocess.PIPE,
                                   text=True)
        self.addCleanup(self.stop_process, process)
        return process, process.stdout.readline().strip()

    def assert_refused(self, error, name, call, *args):
        with self.assertRaises(dbus.exceptions.DBusException) as raised:
            call(*args)
        self.assertEqual(raised.exception.get_dbus_name(), f'org.freedesktop.DBus.Error.{error}')
        self.assertIn(name, raised.exception.get_dbus_message())

    def test_allowed_change_is_written_and_restored(self):
        self.polkit.SetAllowed([DISCHARGE, LIFT])
        helper = self.interface()
        self.assertEqual(list(helper.Offers('BAT0')), ['discharge-on-mains', 'lift-charge-limit'])
        helper.DischargeOnMains('BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'force-discharge')
        helper.LiftChargeLimit('BAT0')
        self.assertEqual((self.sysfs.read('BAT0/charge_control_start_threshold'),
                          self.sysfs.read('BAT0/charge_control_end_threshold')), ('99', '100'))
        self.assertTrue(any('dorvik.powerhelper: set "charge_behaviour" of "BAT0" to "force-discharge"' in line
                            for line in self.log_lines()), self.log_lines())
        helper.Restore('BAT0')
        self.assertEqual([self.sysfs.read(f'BAT0/{name}') for name in (
            'charge_behaviour', 'charge_control_start_threshold', 'charge_control_end_threshold')],
            ['auto', '75', '80'])
        self.assertTrue(any('restoring "BAT0"' in line for line in self.log_lines()))

    def test_older_thresholds_and_conservation_mode(self):
        self.polkit.SetAllowed([LIFT])
        mode = self.sysfs.ideapad('1')
        helper = self.interface()
        self.assertEqual(list(helper.Offers('BAT1')), ['lift-charge-limit'])
        helper.LiftChargeLimit('BAT1')
        self.assertEqual((self.sysfs.read('BAT1/charge_start_threshold'),
                          self.sysfs.read('BAT1/charge_stop_threshold')), ('99', '100'))
        with open(mode, encoding='utf-8') as attribute:
            self.assertEqual(attribute.read().strip(), '0')
        helper.Restore('BAT1')
        self.assertEqual((self.sysfs.read('BAT1/charge_start_threshold'),
                          self.sysfs.read('BAT1/charge_stop_threshold')), ('40', '60'))
        with open(mode, encoding='utf-8') as attribute:
            self.assertEqual(attribute.read().strip(), '1')

    def test_refused_leaves_everything_as_it_was(self):
        self.polkit.SetAllowed([LIFT])  # but not discharging
        helper = self.interface()
        self.assert_refused('AccessDenied', 'not authorised', helper.DischargeOnMains, 'BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), BEHAVIOURS)
        self.polkit.SetAllowed(dbus.Array([], signature='s'))
        self.assert_refused('AccessDenied', 'not authorised', helper.LiftChargeLimit, 'BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_control_end_threshold'), '80')

    def test_polkit_missing_is_a_refusal(self):
        self.stop_process(self.polkitd)
        self.assert_refused('AccessDenied', 'polkit', self.interface().DischargeOnMains, 'BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), BEHAVIOURS)

    def test_refused_inputs(self):
        self.polkit.AllowUnknown(True)
        os.symlink(self.sysfs.path('BAT0/charge_behaviour'), self.sysfs.path('BAT1/charge_control_end_threshold'))
        self.sysfs.supply('LINK', type='Battery')
        os.symlink(self.sysfs.path('BAT0/charge_behaviour'), self.sysfs.path('LINK/charge_behaviour'))
        helper = self.interface()
        for battery, method, words in [('../../etc', helper.DischargeOnMains, 'not a power supply name'),
                                       ('BAT0/../AC', helper.LiftChargeLimit, 'not a power supply name'),
                                       ('..', helper.Offers, 'not a power supply name'),
                                       ('', helper.DischargeOnMains, 'not a power supply name'),
                                       ('BAT9', helper.DischargeOnMains, 'no power supply'),
                                       ('AC', helper.DischargeOnMains, 'not a battery'),
                                       ('LINK', helper.DischargeOnMains, 'symbolic link'),
                                       ('BAT1', helper.LiftChargeLimit, 'symbolic link'),
                                       ('BAT1', helper.DischargeOnMains, 'does not offer force-discharge')]:
            with self.subTest(battery=battery, words=words):
                self.assert_refused('InvalidArgs', words, method, battery)
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), BEHAVIOURS)
        self.assertEqual(self.sysfs.read('AC/charge_behaviour'), BEHAVIOURS)

    def test_failed_write_is_put_back(self):
        # A plain file takes any write; a helper whose files may not grow past
        # 5 bytes stands for a driver that refuses one.
        self.stop_process(self.helper)
        self.polkit.SetAllowed([DISCHARGE, LIFT])
        helper = self.start_helper(preexec_fn=limit_file_size)
        self.assert_refused('Failed', 'refused force-discharge', self.interface().DischargeOnMains, 'BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'auto')
        self.sysfs.write('BAT0/charge_control_start_threshold', 'high')
        self.assert_refused('Failed', 'not a percent', self.interface().LiftChargeLimit, 'BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_control_end_threshold'), '80')
        self.assertIsNone(helper.poll())

    def test_killed_caller_is_restored(self):
        self.polkit.SetAllowed([DISCHARGE])
        caller, answer = self.caller('DischargeOnMains', 'BAT0')
        self.assertEqual(answer, 'ok')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'force-discharge')
        caller.kill()
        self.assertTrue(wait_until(lambda: self.sysfs.read('BAT0/charge_behaviour') == 'auto', timeout=5.0))

    def test_two_callers_each_restore_their_own(self):
        self.polkit.SetAllowed([DISCHARGE, LIFT])
        first, answer = self.caller('DischargeOnMains', 'BAT0')
        self.assertEqual(answer, 'ok')
        second, answer = self.caller('LiftChargeLimit', 'BAT1')
        self.assertEqual(answer, 'ok')
        first.kill()
        self.assertTrue(wait_until(lambda: self.sysfs.read('BAT0/charge_behaviour') == 'auto', timeout=5.0))
        self.assertEqual(self.sysfs.read('BAT1/charge_stop_threshold'), '100')
        second.kill()
        self.assertTrue(wait_until(lambda: self.sysfs.read('BAT1/charge_stop_threshold') == '60', timeout=5.0))
        self.assertEqual(self.sysfs.read('BAT1/charge_start_threshold'), '40')

    def test_same_setting_returns_once_the_last_caller_lets_go(self):
        self.polkit.SetAllowed([DISCHARGE])
        first, _ = self.caller('DischargeOnMains', 'BAT0')
        second, answer = self.caller('DischargeOnMains', 'BAT0')
        self.assertEqual(answer, 'ok')
        first.kill()
        time.sleep(0.5)
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'force-discharge')
        second.kill()
        self.assertTrue(wait_until(lambda: self.sysfs.read('BAT0/charge_behaviour') == 'auto', timeout=5.0))

    def test_others_are_served_while_one_waits_for_polkit(self):
        self.polkit.SetAllowed([DISCHARGE])
        self.polkit.SimulateHangActions([LIFT])
        waiting = subprocess.Popen([sys.executable, '-c', CALLER, 'LiftChargeLimit', 'BAT0'],
                                   stdout=subprocess.PIPE, text=True)
        self.addCleanup(self.stop_process, waiting)
        self.assertTrue(wait_until(lambda: self.polkit.HaveHangingCalls(dbus_interface=dbusmock.MOCK_IFACE)))
        self.interface().DischargeOnMains('BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'force-discharge')
        self.assertEqual(self.sysfs.read('BAT0/charge_control_end_threshold'), '80')
        self.polkit.ReleaseHangingCalls(dbus_interface=dbusmock.MOCK_IFACE)
        self.assertEqual(waiting.stdout.readline().strip(), 'org.freedesktop.DBus.Error.AccessDenied')

    def test_sigterm_restores_and_exits(self):
        self.polkit.SetAllowed([DISCHARGE, LIFT])
        caller, _ = self.caller('DischargeOnMains', 'BAT0')
        other, _ = self.caller('LiftChargeLimit', 'BAT1')
        self.helper.terminate()
        self.assertEqual(self.helper.wait(timeout=5), 0)
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'auto')
        self.assertEqual((self.sysfs.read('BAT1/charge_start_threshold'),
                          self.sysfs.read('BAT1/charge_stop_threshold')), ('40', '60'))

    def test_exits_when_idle_but_not_while_holding(self):
        self.stop_process(self.helper)
        self.polkit.SetAllowed([DISCHARGE])
        helper = self.start_helper('--idle-timeout', '0.3')
        caller, _ = self.caller('DischargeOnMains', 'BAT0')
        time.sleep(0.8)
        self.assertIsNone(helper.poll())
        caller.kill()
        self.assertEqual(helper.wait(timeout=3), 0)
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'auto')

    def test_platform_client(self):
        if not self.client_program:
            self.skipTest('no client program given')
        self.polkit.SetAllowed([DISCHARGE])
        run = subprocess.run([self.client_program, 'offers:BAT0', 'discharge:BAT0', 'lift:BAT0',
                              'discharge:AC', 'restore:BAT0'],
                             stdout=subprocess.PIPE, text=True, timeout=30, check=True)
        self.assertEqual(run.stdout.splitlines(), [
            'offers BAT0: discharge-on-mains lift-charge-limit',
            'discharge BAT0: ok',
            'lift BAT0: not authorised',
            'discharge AC: refused: "AC" is not a battery',
            'restore BAT0: ok'])
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'auto')
        self.stop_process(self.helper)
        run = subprocess.run([self.client_program, 'offers:BAT0', 'discharge:BAT0'],
                             stdout=subprocess.PIPE, text=True, timeout=30, check=True)
        self.assertEqual(run.stdout.splitlines(), ['offers BAT0: the power helper is not installed',
                                                   'discharge BAT0: the power helper is not installed'])


def poll_until(predicate, timeout=5.0):
    '''wait_until with a finer step, for timing.'''
    return wait_until(predicate, timeout, step=0.001)


def run_bench(helper_program):
    '''The time from a granted DischargeOnMains to force-discharge in the
    file, and from a killed caller to the restore.'''
    PowerHelperService.helper_program = helper_program
    case = PowerHelperService()
    case.setUpClass()
    rounds = 20
    to_change, to_restore = [], []
    try:
        case.setUp()
        case.polkit.SetAllowed([DISCHARGE])
        helper = case.interface()
        for _ in range(rounds):
            start = time.monotonic()
            helper.DischargeOnMains('BAT0')
            if not poll_until(lambda: case.sysfs.read('BAT0/charge_behaviour') == 'force-discharge'):
                raise AssertionError('force-discharge was not written')
            to_change.append(time.monotonic() - start)
            helper.Restore('BAT0')
            case.sysfs.write('BAT0/charge_behaviour', BEHAVIOURS)  # a plain file keeps only the word
            caller, answer = case.caller('DischargeOnMains', 'BAT0')
            if answer != 'ok':
                raise AssertionError(f'the caller was answered {answer}')
            start = time.monotonic()
            caller.kill()
            if not poll_until(lambda: case.sysfs.read('BAT0/charge_behaviour') == 'auto'):
                raise AssertionError('not restored within 5 s')
            to_restore.append(time.monotonic() - start)
            case.sysfs.write('BAT0/charge_behaviour', BEHAVIOURS)
    finally:
        case.doCleanups()
        case.tearDownClass()
    for label, times in [('DischargeOnMains called -> force-discharge', to_change),
                         ('caller killed -> restored', to_restore)]:
        times.sort()
        print(f'{label}: median {times[len(times) // 2] * 1000:.0f} ms, '
              f'worst {times[-1] * 1000:.0f} ms over {rounds} rounds')
    return 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == '--bench':
        sys.exit(run_bench(sys.argv[2]))
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    PowerHelperService.helper_program = sys.argv.pop(1)
    if len(sys.argv) > 1 and not sys.argv[1].startswith('-'):
        PowerHelperService.client_program = sys.argv.pop(1)
    unittest.main(verbosity=2)


if __name__ == '__main__':
    main()

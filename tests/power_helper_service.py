#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The power helper on a private system bus, against dbusmock's polkitd and a fake sysfs tree.

usage: power_helper_service.py HELPER [CLIENT]   run the tests on dorvik-power-helper
                                                  (and the platform client, helper_charge_control)
       power_helper_service.py --bench HELPER    print how soon a change and a restore land
"""
import os
import random
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

# A caller in a process of its own: each argument is a call,
# "Method:argument[:argument]", sent once the one before is answered; "&"
# before it sends the next at once, "!" after it allows interactive
# authorization. It prints "Method answer" for each and stays on the bus
# until it is killed.
CALLER = '''import sys
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SYSTEM)
steps = sys.argv[1:]
def step():
    if not steps:
        return
    words = steps.pop(0)
    background, interactive = words.startswith("&"), words.endswith("!")
    method, *arguments = words.strip("&!").split(":")
    def done(connection, result):
        try:
            value = connection.call_finish(result).unpack()
            print(method, value[0] if value else "ok", flush=True)
        except GLib.Error as error:
            print(method, Gio.DBusError.get_remote_error(error), flush=True)
        if not background:
            step()
    flags = Gio.DBusCallFlags.ALLOW_INTERACTIVE_AUTHORIZATION if interactive else Gio.DBusCallFlags.NONE
    bus.call("%s", "%s", "%s", method, GLib.Variant("(" + "s" * len(arguments) + ")", tuple(arguments)),
             None, flags, 30000, None, done)
    if background:
        step()
step()
GLib.MainLoop().run()
''' % (NAME, PATH, INTERFACE)


def limit_file_size(size):
    def limit():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
    return limit


class FakeSysfs:
    '''A sysfs tree in a temporary folder: BAT0 with the newer thresholds and
    every charge behaviour, BAT1 with the older thresholds, AC a mains supply,
    MOUSE a wireless mouse's battery.'''

    def __init__(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        self.supply('BAT0', type='Battery', charge_behaviour=BEHAVIOURS,
                    charge_control_start_threshold='75', charge_control_end_threshold='80')
        self.supply('BAT1', type='Battery', charge_behaviour='[auto] inhibit-charge',
                    charge_start_threshold='40', charge_stop_threshold='60')
        self.supply('AC', type='Mains', charge_behaviour=BEHAVIOURS)
        self.supply('MOUSE', type='Battery', scope='Device', charge_behaviour=BEHAVIOURS)

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
        self.state = os.path.join(self.sysfs.root, 'state')
        self.ledger = os.path.join(self.state, 'changes')
        self.polkitd, self.polkit = self.spawn_server_template('polkitd', {}, stdout=subprocess.DEVNULL)
        self.addCleanup(self.stop_process, self.polkitd)
        self.log = tempfile.TemporaryFile(mode='w+')
        self.addCleanup(self.log.close)
        self.bus = self.get_dbus(system_bus=True)
        self.helper = self.start_helper()

    def start_helper(self, *options, preexec_fn=None):
        helper = subprocess.Popen([self.helper_program, '--sysfs-root', self.sysfs.root,
                                   '--state-directory', self.state, *options],
                                  stderr=self.log, preexec_fn=preexec_fn)
        self.addCleanup(self.stop_process, helper)
        self.assertTrue(wait_until(lambda: self.bus.name_has_owner(NAME) or helper.poll() is not None))
        self.assertIsNone(helper.poll(), self.log_lines())
        return helper

    def restart_helper(self, *options, preexec_fn=None):
        self.stop_process(self.helper)
        self.assertTrue(wait_until(lambda: not self.bus.name_has_owner(NAME)))
        self.helper = self.start_helper(*options, preexec_fn=preexec_fn)
        return self.helper

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
        return dbus.Interface(self.bus.get_object(NAME, PATH), INTERFACE)

    def caller(self, *steps):
        '''A caller process making the calls (see CALLER); it has started.'''
        process = subprocess.Popen([sys.executable, '-c', CALLER, *steps], stdout=subprocess.PIPE, text=True)
        self.addCleanup(self.stop_process, process)
        return process

    def answer(self, caller):
        return caller.stdout.readline().strip()

    def holding(self, *steps):
        '''A caller that was granted every call.'''
        caller = self.caller(*steps)
        for step in steps:
            self.assertEqual(self.answer(caller), step.split(':')[0] + ' ok')
        return caller

    def assert_refused(self, error, name, call, *args):
        with self.assertRaises(dbus.exceptions.DBusException) as raised:
            call(*args)
        self.assertEqual(raised.exception.get_dbus_name(), f'org.freedesktop.DBus.Error.{error}')
        self.assertIn(name, raised.exception.get_dbus_message())

    def assert_untouched(self):
        self.assertEqual([self.sysfs.read(name) for name in (
            'BAT0/charge_behaviour', 'BAT0/charge_control_start_threshold', 'BAT0/charge_control_end_threshold',
            'BAT1/charge_start_threshold', 'BAT1/charge_stop_threshold')], ['auto', '75', '80', '40', '60'])
        self.assertFalse(os.path.exists(self.ledger))

    def test_allowed_change_is_written_and_restored(self):
        self.polkit.SetAllowed([DISCHARGE, LIFT])
        helper = self.interface()
        self.assertEqual(list(helper.Offers('BAT0')), ['discharge-on-mains', 'inhibit-charge', 'lift-charge-limit'])
        helper.DischargeOnMains('BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'force-discharge')
        with open(self.ledger, encoding='utf-8') as ledger:
            self.assertIn('"found": "auto"', ledger.read())
        helper.LiftChargeLimit('BAT0')
        self.assertEqual((self.sysfs.read('BAT0/charge_control_start_threshold'),
                          self.sysfs.read('BAT0/charge_control_end_threshold')), ('99', '100'))
        self.sysfs.write('BAT0/charge_behaviour', 'auto inhibit-charge [force-discharge]')  # as a driver shows it
        helper.InhibitCharge('BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'inhibit-charge')
        self.assertTrue(any('dorvik.powerhelper: set "charge_behaviour" of "BAT0" to "inhibit-charge"' in line
                            for line in self.log_lines()), self.log_lines())
        # Putting back the discharge's setting leaves the lift in place.
        self.assertTrue(helper.RestoreSetting('BAT0', 'discharge-on-mains'))
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'auto')
        self.assertEqual(self.sysfs.read('BAT0/charge_control_end_threshold'), '100')
        self.assertFalse(helper.RestoreSetting('BAT0', 'inhibit-charge'))
        self.assertTrue(helper.Restore('BAT0'))
        self.assertFalse(helper.Restore('BAT0'))
        self.assertFalse(helper.Restore(''))
        self.assert_untouched()
        self.assertTrue(any('restoring BAT0 for :' in line and '(uid 0, pid ' in line
                            for line in self.log_lines()), self.log_lines())

    def test_older_thresholds_and_conservation_mode(self):
        self.polkit.SetAllowed([LIFT])
        mode = self.sysfs.ideapad('1')
        helper = self.interface()
        self.assertEqual(list(helper.Offers('BAT1')), ['inhibit-charge', 'lift-charge-limit'])
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
        self.assert_refused('AccessDenied', 'not authorised', helper.InhibitCharge, 'BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), BEHAVIOURS)
        self.polkit.SetAllowed(dbus.Array([], signature='s'))
        self.assert_refused('AccessDenied', 'not authorised', helper.LiftChargeLimit, 'BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_control_end_threshold'), '80')
        self.stop_process(self.polkitd)
        with self.assertRaises(dbus.exceptions.DBusException) as raised:
            helper.DischargeOnMains('BAT0')
        self.assertEqual(raised.exception.get_dbus_name(), 'io.github.dorvik.PowerHelper1.Error.AuthorityUnavailable')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), BEHAVIOURS)

    def test_refused_inputs(self):
        self.polkit.AllowUnknown(True)
        os.symlink(self.sysfs.path('BAT0/charge_behaviour'), self.sysfs.path('BAT1/charge_control_end_threshold'))
        self.sysfs.supply('LINK', type='Battery')
        os.symlink(self.sysfs.path('BAT0/charge_behaviour'), self.sysfs.path('LINK/charge_behaviour'))
        self.sysfs.supply('B' * 65, type='Battery', charge_behaviour=BEHAVIOURS)
        helper = self.interface()
        for battery, method, words in [('../../etc', helper.DischargeOnMains, 'not a power supply name'),
                                       ('BAT0/../AC', helper.LiftChargeLimit, 'not a power supply name'),
                                       ('..', helper.Offers, 'not a power supply name'),
                                       ('', helper.DischargeOnMains, 'not a power supply name'),
                                       ('B' * 65, helper.InhibitCharge, 'at most 64 characters'),
                                       ('BAT9', helper.DischargeOnMains, 'no power supply'),
                                       ('AC', helper.DischargeOnMains, 'not a battery'),
                                       ('MOUSE', helper.DischargeOnMains, "a device's battery"),
                                       ('MOUSE', helper.Offers, "a device's battery"),
                                       ('LINK', helper.DischargeOnMains, 'symbolic link'),
                                       ('BAT1', helper.LiftChargeLimit, 'symbolic link'),
                                       ('BAT1', helper.DischargeOnMains, 'does not offer force-discharge')]:
            with self.subTest(battery=battery, words=words):
                self.assert_refused('InvalidArgs', words, method, battery)
        self.assert_refused('InvalidArgs', 'not an offer', helper.RestoreSetting, 'BAT0', 'everything')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), BEHAVIOURS)
        self.assertEqual(self.sysfs.read('MOUSE/charge_behaviour'), BEHAVIOURS)

    def test_no_change_without_its_record(self):
        self.polkit.SetAllowed([DISCHARGE, LIFT])
        # No state directory can be made under a plain file.
        self.state = self.sysfs.path('BAT0/type')
        self.restart_helper()
        self.assert_refused('Failed', 'cannot keep a record', self.interface().DischargeOnMains, 'BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), BEHAVIOURS)
        # Room for the first record of the lift but not the second: the end
        # threshold already written goes back.
        self.state = os.path.join(self.sysfs.root, 'state')
        self.restart_helper(preexec_fn=limit_file_size(400))
        self.assert_refused('Failed', 'cannot keep a record', self.interface().LiftChargeLimit, 'BAT0')
        self.sysfs.write('BAT0/charge_behaviour', 'auto')
        self.assert_untouched()
        self.assertIsNone(self.helper.poll())

    def test_killed_caller_is_restored(self):
        self.polkit.SetAllowed([DISCHARGE])
        caller = self.holding('DischargeOnMains:BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'force-discharge')
        caller.kill()
        self.assertTrue(wait_until(lambda: not os.path.exists(self.ledger), timeout=5.0))
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'auto')

    def test_killed_helper_is_undone_at_its_next_start(self):
        self.polkit.SetAllowed([DISCHARGE, LIFT])
        for restart in ('serving', 'restore-only'):
            with self.subTest(restart=restart):
                caller = self.holding('DischargeOnMains:BAT0', 'LiftChargeLimit:BAT1')
                self.helper.send_signal(signal.SIGKILL)
                self.helper.wait()
                self.assertEqual(self.sysfs.read('BAT1/charge_stop_threshold'), '100')
                if restart == 'serving':
                    self.restart_helper()  # returns once the name is taken
                else:
                    self.assertEqual(subprocess.run([self.helper_program, '--sysfs-root', self.sysfs.root,
                                                     '--state-directory', self.state, '--restore-only'],
                                                    stderr=self.log, check=False).returncode, 0)
                self.sysfs.write('BAT0/charge_behaviour', 'auto')  # a plain file keeps only the word
                self.assert_untouched()
                self.assertTrue(any('left changed by an earlier run for uid QList(0): charge_stop_threshold of BAT1 '
                                    'was 60' in line for line in self.log_lines()), self.log_lines())
                self.stop_process(caller)
                self.sysfs.write('BAT0/charge_behaviour', BEHAVIOURS)
                self.restart_helper()

    def test_unreadable_ledger_is_set_aside(self):
        os.makedirs(self.state, exist_ok=True)
        with open(self.ledger, 'w', encoding='utf-8') as ledger:
            ledger.write('{"format": "dorvik-power-helper changes", "vers')
        self.restart_helper()
        self.assertEqual(list(self.interface().Offers('BAT1')), ['inhibit-charge', 'lift-charge-limit'])
        self.assertFalse(os.path.exists(self.ledger))
        with open(self.ledger + '.unreadable', encoding='utf-8') as aside:
            self.assertIn('"vers', aside.read())
        self.assertTrue(any('is unreadable' in line for line in self.log_lines()), self.log_lines())

    def test_two_callers_each_restore_their_own(self):
        self.polkit.SetAllowed([DISCHARGE, LIFT])
        first = self.holding('DischargeOnMains:BAT0')
        second = self.holding('LiftChargeLimit:BAT1')
        first.kill()
        self.assertTrue(wait_until(lambda: self.sysfs.read('BAT0/charge_behaviour') == 'auto', timeout=5.0))
        self.assertEqual(self.sysfs.read('BAT1/charge_stop_threshold'), '100')
        second.kill()
        self.assertTrue(wait_until(lambda: self.sysfs.read('BAT1/charge_stop_threshold') == '60', timeout=5.0))
        self.assertEqual(self.sysfs.read('BAT1/charge_start_threshold'), '40')

    def test_same_setting_returns_once_the_last_caller_lets_go(self):
        self.polkit.SetAllowed([DISCHARGE])
        first = self.holding('DischargeOnMains:BAT0')
        self.sysfs.write('BAT0/charge_behaviour', 'auto inhibit-charge [force-discharge]')
        second = self.holding('InhibitCharge:BAT0')
        first.kill()
        time.sleep(0.5)
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'inhibit-charge')
        second.kill()
        self.assertTrue(wait_until(lambda: self.sysfs.read('BAT0/charge_behaviour') == 'auto', timeout=5.0))

    def test_asked_once_and_interactively_only_when_allowed(self):
        # This polkit grants only a call that lets it ask for a password.
        self.polkit.AddMethod('org.freedesktop.PolicyKit1.Authority', 'CheckAuthorization', '(sa{sv})sa{ss}us',
                              '(bba{ss})', 'ret = (args[3] == 1, False, {})', dbus_interface=dbusmock.MOCK_IFACE)
        caller = self.caller('LiftChargeLimit:BAT0', 'LiftChargeLimit:BAT0!', 'LiftChargeLimit:BAT0',
                             'RestoreSetting:BAT0:lift-charge-limit', 'LiftChargeLimit:BAT0', 'DischargeOnMains:BAT0')
        self.assertEqual([self.answer(caller) for _ in range(6)], [
            'LiftChargeLimit org.freedesktop.DBus.Error.AccessDenied', 'LiftChargeLimit ok', 'LiftChargeLimit ok',
            'RestoreSetting True', 'LiftChargeLimit org.freedesktop.DBus.Error.AccessDenied',
            'DischargeOnMains org.freedesktop.DBus.Error.AccessDenied'])
        calls = self.polkit.GetCalls(dbus_interface=dbusmock.MOCK_IFACE)
        # The lift asked for while it is held is not asked about again.
        self.assertEqual([(call[2][1], call[2][2], call[2][3]) for call in calls], [
            (LIFT, {'battery': 'BAT0'}, 0), (LIFT, {'battery': 'BAT0'}, 1),
            (LIFT, {'battery': 'BAT0'}, 0), (DISCHARGE, {'battery': 'BAT0'}, 0)])

    def test_grant_after_restore_or_leaving_is_not_applied(self):
        self.polkit.SetAllowed([LIFT])
        self.polkit.SimulateHangActions([LIFT])
        leaving = self.caller('LiftChargeLimit:BAT1')
        self.assertTrue(wait_until(lambda: self.polkit.HaveHangingCalls(dbus_interface=dbusmock.MOCK_IFACE)))
        leaving.kill()
        leaving.wait()
        # The helper asked polkit before it answered the Restore.
        restoring = self.caller('&LiftChargeLimit:BAT0', 'Restore:BAT0')
        self.assertEqual(self.answer(restoring), 'Restore False')
        self.polkit.ReleaseHangingCalls(dbus_interface=dbusmock.MOCK_IFACE)
        self.assertEqual(self.answer(restoring), 'LiftChargeLimit org.freedesktop.DBus.Error.Failed')
        restoring.kill()
        self.assertTrue(wait_until(lambda: sum('not applying' in line for line in self.log_lines()) == 2),
                        self.log_lines())
        self.sysfs.write('BAT0/charge_behaviour', 'auto')
        self.assert_untouched()

    def test_refused_callers_are_not_watched(self):
        self.polkit.SetAllowed(dbus.Array([], signature='s'))
        address = os.environ['DBUS_SYSTEM_BUS_ADDRESS']
        refused = [dbus.bus.BusConnection(address) for _ in range(100)]
        for connection in refused:
            helper = dbus.Interface(connection.get_object(NAME, PATH), INTERFACE)
            self.assert_refused('AccessDenied', 'not authorised', helper.DischargeOnMains, 'BAT0')
        stats = dbus.Interface(self.bus.get_object('org.freedesktop.DBus', '/org/freedesktop/DBus'),
                               'org.freedesktop.DBus.Debug.Stats')
        self.assertLess(stats.GetConnectionStats(self.bus.get_name_owner(NAME))['MatchRules'], 10)
        self.polkit.SetAllowed([DISCHARGE])
        granted = self.holding('DischargeOnMains:BAT0')
        granted.kill()
        self.assertTrue(wait_until(lambda: self.sysfs.read('BAT0/charge_behaviour') == 'auto', timeout=5.0))
        for connection in refused:
            connection.close()

    def test_pending_calls_are_limited(self):
        self.polkit.SetAllowed([DISCHARGE])
        self.polkit.SimulateHangActions([DISCHARGE])
        caller = self.caller(*['&DischargeOnMains:BAT0'] * 5)
        self.assertEqual(self.answer(caller), 'DischargeOnMains org.freedesktop.DBus.Error.LimitsExceeded')
        self.polkit.ReleaseHangingCalls(dbus_interface=dbusmock.MOCK_IFACE)
        self.assertEqual([self.answer(caller) for _ in range(4)], ['DischargeOnMains ok'] * 4)

    def test_others_are_served_while_one_waits_for_polkit(self):
        self.polkit.SetAllowed([DISCHARGE])
        self.polkit.SimulateHangActions([LIFT])
        waiting = self.caller('LiftChargeLimit:BAT0')
        self.assertTrue(wait_until(lambda: self.polkit.HaveHangingCalls(dbus_interface=dbusmock.MOCK_IFACE)))
        self.interface().DischargeOnMains('BAT0')
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'force-discharge')
        self.assertEqual(self.sysfs.read('BAT0/charge_control_end_threshold'), '80')
        self.polkit.ReleaseHangingCalls(dbus_interface=dbusmock.MOCK_IFACE)
        self.assertEqual(self.answer(waiting), 'LiftChargeLimit org.freedesktop.DBus.Error.AccessDenied')

    def test_sigterm_restores_writes_nothing_more_and_exits(self):
        self.polkit.SetAllowed([DISCHARGE, LIFT])
        self.holding('LiftChargeLimit:BAT1')
        self.polkit.SimulateHangActions([DISCHARGE])
        waiting = self.caller('DischargeOnMains:BAT0')
        self.assertTrue(wait_until(lambda: self.polkit.HaveHangingCalls(dbus_interface=dbusmock.MOCK_IFACE)))
        self.helper.terminate()
        self.assertTrue(wait_until(lambda: any('signal 15 received' in line for line in self.log_lines())))
        self.polkit.ReleaseHangingCalls(dbus_interface=dbusmock.MOCK_IFACE)
        self.assertEqual(self.helper.wait(timeout=5), 0)
        self.assertEqual(self.answer(waiting), 'DischargeOnMains org.freedesktop.DBus.Error.Failed')
        self.sysfs.write('BAT0/charge_behaviour', 'auto')
        self.assert_untouched()

    def test_exits_when_idle_but_not_while_holding(self):
        self.polkit.SetAllowed([DISCHARGE])
        # Long enough that a loaded machine still makes the first call in time.
        helper = self.restart_helper('--idle-timeout', '2')
        self.interface().DischargeOnMains('BAT0')
        time.sleep(3)
        self.assertIsNone(helper.poll())
        self.interface().Restore('BAT0')
        self.assertEqual(helper.wait(timeout=10), 0)
        self.assertTrue(any('idle: exiting' in line for line in self.log_lines()))
        self.assert_untouched()

    def test_idle_exit_leaves_no_call_unanswered(self):
        helper = self.restart_helper('--idle-timeout', '0.1')
        # Sent to the well-known name each time, as a client does; a proxy
        # would stay bound to the first owner's unique name.
        def offers(battery, timeout):
            return self.bus.call_blocking(NAME, PATH, INTERFACE, 'Offers', 's', [battery], timeout=timeout)
        answers, unanswered, randomness = 0, [], random.Random(7)
        while helper.poll() is None:
            try:
                offers('BAT0', timeout=5)
                answers += 1
            except dbus.exceptions.DBusException as error:
                if error.get_dbus_name() != 'org.freedesktop.DBus.Error.ServiceUnknown':
                    unanswered.append(error.get_dbus_name())
            time.sleep(randomness.uniform(0.05, 0.15))
        self.assertEqual(helper.wait(), 0)
        self.assertEqual(unanswered, [])
        self.assertGreater(answers, 0)

    def test_platform_client(self):
        if not self.client_program:
            self.skipTest('no client program given')
        self.polkit.SetAllowed([DISCHARGE])
        run = subprocess.run([self.client_program, 'offers:BAT0', 'discharge:BAT0', 'lift:BAT0',
                              'discharge:AC', 'restore:BAT0'],
                             stdout=subprocess.PIPE, text=True, timeout=30, check=True)
        self.assertEqual(run.stdout.splitlines(), [
            'offers BAT0: discharge-on-mains inhibit-charge lift-charge-limit',
            'discharge BAT0: ok',
            'lift BAT0: not authorised',
            'discharge AC: refused: "AC" is not a battery',
            'restore BAT0: ok'])
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'auto')
        self.sysfs.write('BAT0/charge_behaviour', BEHAVIOURS)  # a plain file keeps only the word
        run = subprocess.run([self.client_program, 'inhibit:BAT0', 'restore-setting:BAT0:inhibit-charge',
                              'restore-setting:BAT0:inhibit-charge'],
                             stdout=subprocess.PIPE, text=True, timeout=30, check=True)
        self.assertEqual(run.stdout.splitlines(), ['inhibit BAT0: ok', 'restore-setting BAT0: ok',
                                                   'restore-setting BAT0: ok'])
        self.assertEqual(self.sysfs.read('BAT0/charge_behaviour'), 'auto')
        self.sysfs.write('BAT0/charge_behaviour', BEHAVIOURS)
        # A helper that goes while a change is held: the client hears of it.
        client = subprocess.Popen([self.client_program, 'discharge:BAT0', 'lost:BAT0'],
                                  stdout=subprocess.PIPE, text=True)
        self.addCleanup(self.stop_process, client)
        self.assertEqual(client.stdout.readline().strip(), 'discharge BAT0: ok')
        self.assertEqual(client.stdout.readline().strip(), 'ready')
        self.helper.kill()
        self.assertEqual(client.stdout.readline().strip(), 'lost BAT0: helper lost')
        self.helper = self.start_helper()  # it puts the discharge back
        self.sysfs.write('BAT0/charge_behaviour', BEHAVIOURS)
        self.stop_process(self.polkitd)
        run = subprocess.run([self.client_program, 'discharge:BAT0'], stdout=subprocess.PIPE, text=True,
                             timeout=30, check=True)
        self.assertEqual(run.stdout.splitlines(), ['discharge BAT0: the authorization service is not running'])
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
            caller = case.holding('DischargeOnMains:BAT0')
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

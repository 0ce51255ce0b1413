#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Desktop notices, taskbar progress and the one window, against a private
session bus with dbusmock's notification daemon.

usage: notice_services.py HELPER DORVIK
"""
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest
from datetime import datetime, timedelta, timezone

from dbus_support import wait_until

try:
    import dbus
    import dbusmock
except ImportError:
    print('python3-dbusmock is not installed', file=sys.stderr)
    sys.exit(77)

NOTIFICATIONS = ('org.freedesktop.Notifications', '/org/freedesktop/Notifications')
APP_ID = 'io.github.dorvik.Dorvik'


class NoticeServices(dbusmock.DBusTestCase):
    helper = dorvik = None

    @classmethod
    def setUpClass(cls):
        cls.start_system_bus()
        cls.start_session_bus()

    def setUp(self):
        self.processes = []
        self.stderr = tempfile.TemporaryFile(mode='w+')

    def tearDown(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
            process.wait()
        self.stderr.close()

    def start(self, args, **kwargs):
        process = subprocess.Popen(args, stderr=self.stderr, **kwargs)
        self.processes.append(process)
        return process

    def log(self):
        self.stderr.seek(0)
        return self.stderr.read()

    def run_helper(self):
        '''The whole run; the helper then waits, so the test can click a notice.'''
        helper = self.start([self.helper], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        lines = []
        while not lines or lines[-1] != 'ended':
            line = helper.stdout.readline()
            self.assertTrue(line, f'the helper ended early: {lines} {self.log()}')
            lines.append(line.strip())
        return helper, lines

    def catch_launcher_updates(self):
        '''The LauncherEntry signals, caught by dbus-monitor: [(progress, visible, urgent)].'''
        monitor = self.start(['dbus-monitor', '--session',
                              "type='signal',interface='com.canonical.Unity.LauncherEntry'"],
                             stdout=subprocess.PIPE, text=True)
        time.sleep(0.3)  # the monitor's match rule is in place

        def updates():
            monitor.terminate()
            output = monitor.communicate()[0]
            self.assertIn(f'string "application://{APP_ID}.desktop"', output)
            values = re.findall(r'variant\s+(?:double|boolean) (\S+)', output)
            return [(float(values[i]), values[i + 1] == 'true', values[i + 2] == 'true')
                    for i in range(0, len(values), 3)]
        return updates

    def test_stages_replace_and_raise(self):
        server, mock = self.spawn_server_template('notification_daemon', stdout=subprocess.DEVNULL)
        self.processes.append(server)
        updates = self.catch_launcher_updates()
        helper, lines = self.run_helper()
        self.assertEqual(lines.count('box'), 3)  # M4, M5, M6

        def notices():
            return [args for _, method, args in mock.GetCalls(dbus_interface=dbusmock.MOCK_IFACE)
                    if method == 'Notify']
        # Once M6 is answered its notice is withdrawn, by the id Notify gave.
        self.assertTrue(wait_until(lambda: [args for _, method, args in mock.GetCalls(dbus_interface=dbusmock.MOCK_IFACE)
                                            if method == 'CloseNotification'] == [[1]], timeout=2))
        calls = notices()
        # One notice per stage, in order; a box that opens at once may make the
        # urgent one replace its plain one before that is even sent.
        # No charging notice at 100 %: the "full" one takes over; none at 99 %
        # either, the discharge's next tenth being 90 %.
        stages = ['Charging: 97 %', 'The battery is full. Dorvik could not keep', 'Unplug the adaptor',
                  'Discharge started (fast discharge): 100 %', 'The adaptor was reconnected']
        bodies = [str(args[4]) for args in calls]
        stage_of = [next(i for i, stage in enumerate(stages) if body.startswith(stage)) for body in bodies]
        self.assertEqual(sorted(set(stage_of)), list(range(len(stages))), bodies)
        self.assertEqual(stage_of, sorted(stage_of), bodies)
        self.assertIn('nothing keeps this machine awake', bodies[stage_of.index(3)])
        # Each replaces the one before; the last of the stages that end in a box
        # is urgent (M6's urgent copy is dropped when the answer's withdrawal
        # overtakes it: a slow service may not have answered the plain one yet).
        self.assertEqual([int(args[1]) for args in calls], [0] + [1] * (len(calls) - 1))
        urgent = [int(args[6]['urgency']) == 2 for args in calls]
        for stage in range(len(stages)):
            last = len(stage_of) - 1 - stage_of[::-1].index(stage)
            self.assertEqual(urgent[last], stage == 1 or (stage == 4 and urgent[last]), bodies[last])
        for app, _, icon, _, _, actions, hints, _ in calls:
            self.assertEqual((app, icon, hints['desktop-entry']), ('Dorvik', APP_ID, APP_ID))
            self.assertEqual(actions[0], 'default')

        # The percent while charging, then while discharging; hidden between.
        progress = updates()
        shown = [value if visible else None for value, visible, _ in progress]
        shown = [value for i, value in enumerate(shown) if i == 0 or value != shown[i - 1]]
        self.assertEqual(shown, [0.97, 0.98, 0.99, 1.0, None, 1.0, 0.99, 0.98, 0.97, None], progress)
        self.assertEqual([urgent for _, _, urgent in progress].count(True), 3)

        # A click on another notice does nothing; on Dorvik's, the window comes up.
        for notice in (7, 1):
            mock.EmitSignal(NOTIFICATIONS[0], 'ActionInvoked', 'us', [dbus.UInt32(notice), 'default'],
                            dbus_interface=dbusmock.MOCK_IFACE)
        self.assertEqual(helper.stdout.readline().strip(), 'raised')
        helper.stdin.close()
        self.assertEqual(helper.wait(timeout=10), 0)
        self.assertEqual(helper.stdout.read(), '')

    def remind(self, days_ago, conf=None, ending='ran-out-on-mains'):
        '''dorvik --remind after one run that ran out days_ago days ago.'''
        home = tempfile.mkdtemp()
        runs = os.path.join(home, 'dorvik', 'runs')
        os.makedirs(runs)
        start = (datetime.now(timezone.utc) - timedelta(days=days_ago)).replace(microsecond=0)
        with open(os.path.join(runs, start.strftime('run-%Y%m%d-%H%M%S.csv')), 'w', encoding='utf-8') as record:
            record.write(f'dorvik-run-record,1\nstart,{start.isoformat()}\ntime,awake_s,percent\n'
                         f'end,{ending},{start.isoformat()}\n')
        if conf:
            os.makedirs(os.path.join(home, 'dorvik'), exist_ok=True)
            with open(os.path.join(home, 'dorvik', 'dorvik.conf'), 'w', encoding='utf-8') as settings:
                settings.write(conf)
        env = dict(os.environ, XDG_STATE_HOME=home, XDG_CONFIG_HOME=home, TZ='UTC')
        return self.start([self.dorvik, '--remind'], env=env)

    def test_remind(self):
        # No notification service: nothing to wait for.
        self.assertEqual(self.remind(100).wait(timeout=5), 0)
        server, mock = self.spawn_server_template('notification_daemon', stdout=subprocess.DEVNULL)
        self.processes.append(server)

        def notices():
            return [args for _, method, args in mock.GetCalls(dbus_interface=dbusmock.MOCK_IFACE) if method == 'Notify']
        # Not due yet, no run that ran out, or turned off: no notice.
        self.assertEqual(self.remind(80).wait(timeout=5), 0)
        self.assertEqual(self.remind(100, ending='replugged').wait(timeout=5), 0)
        self.assertEqual(self.remind(100, '[General]\nRemind=false\n').wait(timeout=5), 0)
        self.assertEqual(notices(), [])

        # Due: a click starts the window; a closing ends the wait too.
        for notice, signal, args in ((1, 'ActionInvoked', 'default'), (2, 'NotificationClosed', dbus.UInt32(2))):
            reminder = self.remind(100)
            self.assertTrue(wait_until(lambda: len(notices()) == notice), self.log())
            _, _, icon, _, body, actions, _, _ = notices()[-1]
            self.assertEqual((icon, str(body), list(actions)),
                             (APP_ID, 'Battery calibration due: the last one was 100 days ago.', ['default', 'Start Dorvik']))
            self.assertIsNone(reminder.poll())
            mock.EmitSignal(NOTIFICATIONS[0], signal, 'u' + ('s' if signal == 'ActionInvoked' else 'u'),
                            [dbus.UInt32(notice), args], dbus_interface=dbusmock.MOCK_IFACE)
            self.assertEqual(reminder.wait(timeout=5), 0)
        bus = self.get_dbus()
        self.assertTrue(wait_until(lambda: bus.name_has_owner(APP_ID)), self.log())
        os.kill(int(bus.call_blocking('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                                      'GetConnectionUnixProcessID', 's', [APP_ID])), 15)

    def test_no_services(self):
        helper, lines = self.run_helper()
        helper.stdin.close()
        self.assertEqual(helper.wait(timeout=10), 0)
        self.assertEqual(lines.count('box'), 3)
        self.assertEqual(self.log().count('dorvik.notices: desktop notifications are off: no notification service'),
                         1, self.log())

    def test_one_window(self):
        env = dict(os.environ, XDG_STATE_HOME=tempfile.mkdtemp())
        first = self.start([self.dorvik], env=env)
        bus = self.get_dbus()
        self.assertTrue(wait_until(lambda: bus.name_has_owner(APP_ID)))
        started = time.monotonic()
        second = self.start([self.dorvik], env=env)
        self.assertEqual(second.wait(timeout=2), 0)
        self.assertLess(time.monotonic() - started, 2)
        self.assertTrue(wait_until(lambda: 'asked this window to come forward' in self.log()))
        self.assertIsNone(first.poll())
        # --status runs beside the window (a desktop with no battery: mains only).
        status = subprocess.run([self.dorvik, '--status'], env=dict(env, DORVIK_POWER_SUPPLY_DIR=env['XDG_STATE_HOME']),
                                capture_output=True, text=True, timeout=5, check=False)
        self.assertEqual((status.returncode, status.stdout), (0, 'AC Status=AC\nBattery Level=UNKNOWN\n'))


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    NoticeServices.dorvik = sys.argv.pop(2)
    NoticeServices.helper = sys.argv.pop(1)
    unittest.main(verbosity=2)


if __name__ == '__main__':
    main()

#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Keeping the machine awake, against private D-Bus daemons and dbusmock services.

usage: keep_awake_services.py HELPER            run the tests on helper_keep_awake
       keep_awake_services.py --bench PROGRAM   run PROGRAM with every service mocked
"""
import os
import select
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

LOGIND = ('org.freedesktop.login1', '/org/freedesktop/login1', 'org.freedesktop.login1.Manager')
SESSION_MANAGER = ('org.gnome.SessionManager', '/org/gnome/SessionManager', 'org.gnome.SessionManager')
POWER_MANAGEMENT = ('org.freedesktop.PowerManagement', '/org/freedesktop/PowerManagement/Inhibit',
                    'org.freedesktop.PowerManagement.Inhibit')
SCREEN_SAVER = ('org.freedesktop.ScreenSaver', '/org/freedesktop/ScreenSaver', 'org.freedesktop.ScreenSaver')
PORTAL = ('org.freedesktop.portal.Desktop', '/org/freedesktop/portal/desktop', 'org.freedesktop.portal.Inhibit')
# (service, Inhibit's arguments, the method that gives a cookie back)
COOKIE_SERVICES = [(SESSION_MANAGER, 'susu', 'Uninhibit'), (POWER_MANAGEMENT, 'ss', 'UnInhibit'),
                   (SCREEN_SAVER, 'ss', 'UnInhibit')]
LOCKS = ['idle', 'sleep', 'handle-lid-switch']
SUMMARY = 'dorvik.keepawake: keeping the machine awake: '

# Refuses the lid lock as polkit does for a user without the right; the
# other locks go through the template's own fd-based Inhibit.
REFUSE_LID = '''if args[0] == "handle-lid-switch":
    raise dbus.exceptions.DBusException("Permission denied", name="org.freedesktop.DBus.Error.AccessDenied")
from dbusmock.templates.logind import Inhibit
ret = Inhibit(self, *args)
'''
# logind back from a restart with the inhibitors it had stored, as systemd's does.
RESTORING_LOGIND = '''from dbusmock.templates.logind import *
from dbusmock.templates import logind


def load(mock, parameters):
    logind.load(mock, parameters)
    mockobject.inhibitors = [tuple(inhibitor) for inhibitor in parameters['inhibitors']]
'''
# The portal answers with a request object, closed to give the lock back.
PORTAL_INHIBIT = '''path = "/org/freedesktop/portal/desktop/request/1_1/t%d" % len(self.GetCalls())
self.AddObject(path, "org.freedesktop.portal.Request", {}, [("Close", "", "", "")])
ret = dbus.ObjectPath(path)
'''


class Helper:
    '''helper_keep_awake, driven a command at a time.'''

    def __init__(self, program, env=None):
        self.stderr = tempfile.TemporaryFile(mode='w+')
        self.process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self.stderr, env=env)
        self.pending = b''

    def report(self, timeout=10.0):
        '''The next report: its lines, up to the closing ".".'''
        deadline = time.monotonic() + timeout
        while b'\n.\n' not in b'\n' + self.pending:
            ready, _, _ = select.select([self.process.stdout], [], [], max(0, deadline - time.monotonic()))
            if not ready:
                raise AssertionError(f'no complete report within {timeout} s; so far {self.pending}')
            chunk = os.read(self.process.stdout.fileno(), 4096)
            if not chunk:
                raise AssertionError(f'the helper ended (status {self.process.poll()}); so far {self.pending}')
            self.pending += chunk
        report, _, self.pending = (b'\n' + self.pending).partition(b'\n.\n')
        return report.decode().splitlines()[1:]

    def command(self, text):
        self.process.stdin.write(text.encode() + b'\n')
        self.process.stdin.flush()

    def quit(self):
        self.command('quit')
        return self.process.wait(timeout=10)

    def log(self):
        self.stderr.seek(0)
        return self.stderr.read().splitlines()

    def summaries(self):
        return [line for line in self.log() if line.startswith(SUMMARY)]

    def await_report(self, predicate, timeout=5.0):
        '''Asks for reports until one satisfies predicate; returns it.'''
        deadline = time.monotonic() + timeout
        while True:
            self.command('report')
            report = self.report()
            if predicate(report) or time.monotonic() > deadline:
                return report
            time.sleep(0.05)

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        for stream in (self.process.stdin, self.process.stdout, self.stderr):
            stream.close()


class KeepAwakeServices(dbusmock.DBusTestCase):
    helper_program = None

    @classmethod
    def setUpClass(cls):
        cls.start_system_bus()
        cls.start_session_bus()

    def setUp(self):
        self.servers = []
        self.helpers = []
        self.template_dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.template_dir.cleanup)

    def tearDown(self):
        for helper in self.helpers:
            helper.close()
        for server, _, _ in list(self.servers):
            self.stop(server)

    def stop(self, server):
        entry = next(entry for entry in self.servers if entry[0] is server)
        self.servers.remove(entry)
        _, name, system_bus = entry
        server.terminate()
        server.wait()
        bus = self.get_dbus(system_bus)
        wait_until(lambda: not bus.name_has_owner(name))

    def serve(self, service, system_bus=False):
        '''A bare mock for a service; returns the mock's own interface.'''
        name, path, interface = service
        server = self.spawn_server(name, path, interface, system_bus=system_bus, stdout=subprocess.DEVNULL)
        self.servers.append((server, name, system_bus))
        obj = self.get_dbus(system_bus).get_object(name, path)
        mock = dbus.Interface(obj, dbusmock.MOCK_IFACE)
        mock.server = server
        return mock

    def serve_logind(self, refuse_lid=False, restoring=None):
        template, parameters = 'logind', None
        if restoring:
            template = os.path.join(self.template_dir.name, 'restoring_logind.py')
            with open(template, 'w', encoding='utf-8') as source:
                source.write(RESTORING_LOGIND)
            parameters = {'inhibitors': dbus.Array([dbus.Struct((what, 'Dorvik', '', 'block', dbus.UInt32(0),
                                                                 dbus.UInt32(restoring))) for what in LOCKS],
                                                   signature='(ssssuu)')}
        server, obj = self.spawn_server_template(template, parameters, stdout=subprocess.DEVNULL)
        self.servers.append((server, LOGIND[0], True))
        if refuse_lid:
            obj.AddMethod(LOGIND[2], 'Inhibit', 'ssss', 'h', REFUSE_LID, dbus_interface=dbusmock.MOCK_IFACE)
        return server, obj

    def serve_cookie_services(self, stalled=None, only=None):
        mocks = {}
        for service, signature, release in COOKIE_SERVICES:
            if only not in (None, service):
                continue
            mock = self.serve(service)
            answer = 'import time; time.sleep(3); ' if service == stalled else ''
            mock.AddMethod('', 'Inhibit', signature, 'u', answer + 'ret = dbus.UInt32(41)')
            mock.AddMethod('', release, 'u', '', '')
            mocks[service] = mock
        return mocks

    def serve_portal(self):
        mock = self.serve(PORTAL)
        mock.AddMethod('', 'Inhibit', 'sua{sv}', 'o', PORTAL_INHIBIT)
        return mock

    def start_helper(self, env=None):
        helper = Helper(self.helper_program, env)
        self.helpers.append(helper)
        return helper

    @staticmethod
    def inhibitors(logind):
        return sorted((str(what), str(mode)) for what, _, _, mode, _, _ in
                      logind.ListInhibitors(dbus_interface=LOGIND[2]))

    @staticmethod
    def calls(mock, method):
        return [list(args) for _, args in mock.GetMethodCalls(method)]

    def assert_blocks(self, logind, locks, timeout=5.0):
        self.assertTrue(wait_until(lambda: self.inhibitors(logind) == sorted((w, 'block') for w in locks), timeout),
                        self.inhibitors(logind))

    def test_every_service_present(self):
        logind_server, logind = self.serve_logind()
        mocks = self.serve_cookie_services()
        portal = self.serve_portal()
        helper = self.start_helper()

        report = helper.report()
        self.assertEqual(report, [f'logind {what}: taken' for what in LOCKS] + [
            'GNOME session manager: taken', 'power management: taken', 'screen saver: taken',
            'desktop portal: not needed'])
        self.assert_blocks(logind, LOCKS)
        session_inhibit = self.calls(mocks[SESSION_MANAGER], 'Inhibit')
        self.assertEqual([(args[0], args[1], args[3]) for args in session_inhibit],
                         [('io.github.dorvik.Dorvik', 0, 12)])
        for service in (POWER_MANAGEMENT, SCREEN_SAVER):
            self.assertEqual(len(self.calls(mocks[service], 'Inhibit')), 1, service[0])
        self.assertEqual(self.calls(portal, 'Inhibit'), [])
        self.assertEqual(len(helper.summaries()), 1)
        self.assert_descriptors_close_on_exec(logind_server.pid, helper.process.pid)

        helper.command('release')
        self.assertTrue(all(line.endswith(': released') for line in helper.report()[:6]))
        self.assert_blocks(logind, [])
        for service, _, release in COOKIE_SERVICES:
            self.assertTrue(wait_until(lambda m=mocks[service], r=release: self.calls(m, r) == [[41]]), service[0])

        helper.command('hold')  # fresh locks after a release
        self.assertIn('logind idle: taken', helper.report())
        self.assert_blocks(logind, LOCKS)
        helper.command('hold')  # and none while held
        helper.report()
        self.assert_blocks(logind, LOCKS)
        self.assertEqual(len(self.calls(mocks[SESSION_MANAGER], 'Inhibit')), 2)
        self.assertEqual(len(helper.summaries()), 2)

        self.assertEqual(helper.quit(), 0)
        self.assert_blocks(logind, [])

    def assert_descriptors_close_on_exec(self, server_pid, helper_pid):
        '''The lock descriptors: one per logind lock, none inherited by launched programs.'''
        def pipes(pid):
            fds = {}
            for fd in os.listdir(f'/proc/{pid}/fd'):
                target = os.readlink(f'/proc/{pid}/fd/{fd}')
                if target.startswith('pipe:'):
                    fds[target] = fd
            return fds
        shared = set(pipes(server_pid)) & set(pipes(helper_pid))
        held = pipes(helper_pid)
        self.assertEqual(len(shared), len(LOCKS))
        for target in shared:
            with open(f'/proc/{helper_pid}/fdinfo/{held[target]}', encoding='ascii') as info:
                flags = int(next(line for line in info if line.startswith('flags:')).split()[1], 8)
            self.assertTrue(flags & os.O_CLOEXEC, target)

    def test_refusals_and_late_answers(self):
        _, logind = self.serve_logind(refuse_lid=True)
        session_manager = self.serve_cookie_services(stalled=SESSION_MANAGER)[SESSION_MANAGER]
        helper = self.start_helper()
        helper.command('report')
        self.assertIn('GNOME session manager: waiting for an answer', helper.report(timeout=1.5))

        report = helper.report()
        self.assertEqual(report[:2], ['logind idle: taken', 'logind sleep: taken'])
        self.assertRegex(report[2], r'^logind handle-lid-switch: refused \(org\.freedesktop\.DBus\.Error\.'
                                    r'AccessDenied: Permission denied\)$')
        self.assertIn('GNOME session manager: no answer within 2 s, still waiting', report)
        self.assertIn('desktop portal: not needed', report)
        self.assert_blocks(logind, ['idle', 'sleep'])
        self.assertIn('handle-lid-switch: refused', helper.summaries()[0])

        # Released before the answer came: what it holds is given back at once.
        helper.command('release')
        helper.report()
        self.assertTrue(wait_until(lambda: self.calls(session_manager, 'Uninhibit') == [[41]]))
        # Still held when it comes: kept, and given back with the rest.
        helper.command('hold')
        helper.report()
        late = 'GNOME session manager: taken, answered late'
        self.assertIn(late, helper.await_report(lambda report: late in report))
        helper.command('release')
        helper.report()
        self.assertTrue(wait_until(lambda: self.calls(session_manager, 'Uninhibit') == [[41], [41]]))

    def test_services_restarting_mid_hold(self):
        logind_server, _ = self.serve_logind()
        session_manager = self.serve_cookie_services(only=SESSION_MANAGER)[SESSION_MANAGER]
        helper = self.start_helper()
        self.assertEqual(helper.report()[3], 'GNOME session manager: taken')
        self.stop(logind_server)
        self.stop(session_manager.server)
        lost = ['logind sleep: lost when logind stopped; taken again when it is back',
                'GNOME session manager: lost when GNOME session manager stopped; taken again when it is back']
        report = helper.await_report(lambda report: report[1] == lost[0] and report[3] == lost[1])
        self.assertEqual([report[1], report[3]], lost)

        _, logind = self.serve_logind()
        self.assert_blocks(logind, LOCKS, timeout=1.0)
        # Asked the moment it has its name, before it has its methods: asked again.
        session_manager = self.serve_cookie_services(only=SESSION_MANAGER)[SESSION_MANAGER]
        self.assertTrue(wait_until(lambda: len(self.calls(session_manager, 'Inhibit')) == 1, timeout=1.5))
        again = ['logind sleep: taken again after logind restarted',
                 'GNOME session manager: taken again after GNOME session manager restarted']
        report = helper.await_report(lambda report: [report[1], report[3]] == again)
        self.assertEqual([report[1], report[3]], again)
        self.assertIn('dorvik.keepawake: ' + again[0], helper.log())

        # One that brings our inhibitors back itself: kept, not held twice.
        self.stop(next(server for server, name, _ in self.servers if name == LOGIND[0]))
        _, logind = self.serve_logind(restoring=helper.process.pid)
        kept = 'logind sleep: kept through a restart of logind'
        self.assertEqual(helper.await_report(lambda report: report[1] == kept)[1], kept)
        self.assert_blocks(logind, LOCKS)

        helper.command('release')
        helper.report()
        self.assertTrue(wait_until(lambda: self.calls(session_manager, 'Uninhibit') == [[41]]))

    def test_portal_without_session_services(self):
        _, logind = self.serve_logind()
        portal = self.serve_portal()
        helper = self.start_helper()
        report = helper.report()
        self.assertEqual(report[3:], ['GNOME session manager: not present', 'power management: not present',
                                      'screen saver: not present', 'desktop portal: taken'])
        (window, flags, options), = self.calls(portal, 'Inhibit')
        self.assertEqual((window, flags, 'reason' in options), ('', 12, True))

        helper.command('release')
        helper.report()
        request = self.get_dbus().get_object(PORTAL[0], '/org/freedesktop/portal/desktop/request/1_1/t1')
        self.assertTrue(wait_until(lambda: len(request.GetMethodCalls('Close', dbus_interface=dbusmock.MOCK_IFACE))))
        self.assert_blocks(logind, [])

        # A refusal that comes later, through the request's Response signal.
        for response, words in [(1, 'cancelled by the user'), (2, 'refused or failed')]:
            helper.command('hold')
            self.assertEqual(helper.report()[-1], 'desktop portal: taken')
            request = self.get_dbus().get_object(PORTAL[0], f'{PORTAL[1]}/request/1_1/t{response + 1}')
            request.EmitSignal('org.freedesktop.portal.Request', 'Response', 'ua{sv}',
                               [dbus.UInt32(response), dbus.Dictionary({}, signature='sv')],
                               dbus_interface=dbusmock.MOCK_IFACE)
            refused = f'desktop portal: refused (the portal answered {response}: {words})'
            self.assertIn(refused, helper.await_report(lambda report, line=refused: line in report))
            helper.command('release')
            helper.report()

    def test_nothing_to_ask(self):
        nowhere = 'unix:path=/nonexistent/dorvik-bus'
        for case, env in [('buses without services', None),
                          ('no buses', dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=nowhere,
                                            DBUS_SESSION_BUS_ADDRESS=nowhere))]:
            with self.subTest(case):
                helper = self.start_helper(env)
                report = helper.report()
                self.assertTrue(all(line.endswith(': not present') for line in report[:6]), report)
                self.assertEqual(report[-1], 'nothing was taken: the machine may sleep during the run')
                helper.command('release')
                helper.report()
                self.assertEqual(helper.quit(), 0)

    def test_locks_end_with_the_process(self):
        _, logind = self.serve_logind()
        for how in ('quit', 'SIGKILL'):
            with self.subTest(how):
                helper = self.start_helper()
                helper.report()
                self.assert_blocks(logind, LOCKS)
                if how == 'quit':
                    helper.quit()
                else:
                    os.kill(helper.process.pid, signal.SIGKILL)
                self.assert_blocks(logind, [])


def run_bench(program):
    '''Runs PROGRAM with every service mocked; it prints its own figures.'''
    case = KeepAwakeServices()
    case.setUpClass()
    case.setUp()
    try:
        case.serve_logind()
        case.serve_cookie_services()
        case.serve_portal()
        return subprocess.call([program])
    finally:
        case.tearDown()
        case.tearDownClass()


def main():
    if len(sys.argv) == 3 and sys.argv[1] == '--bench':
        sys.exit(run_bench(sys.argv[2]))
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    KeepAwakeServices.helper_program = sys.argv.pop(1)
    unittest.main(verbosity=2)


if __name__ == '__main__':
    main()

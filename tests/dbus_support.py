# SPDX-License-Identifier: GPL-3.0-or-later
'''What the tests against mocked D-Bus services share.'''
import time


def wait_until(predicate, timeout=5.0, step=0.02):
    '''True once the predicate holds, False when the timeout passes first.'''
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            return False
        time.sleep(step)
    return True

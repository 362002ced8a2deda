"""Hosts: a PyQt6 program is a GUI host whose own window CMouseWheel hooks; a console Python
with no display at all is a console host."""

import os
import subprocess
import sys
import textwrap
import unittest

import support

support.prepare()

QT_PROGRAM = textwrap.dedent("""
    import sys
    from PyQt6.QtCore import QPoint, QPointF, Qt
    from PyQt6.QtGui import QWheelEvent
    from PyQt6.QtWidgets import QApplication, QListWidget
    import tarv

    app = QApplication(sys.argv)
    window = QListWidget()
    window.addItems(["riga %d" % i for i in range(200)])
    window.resize(200, 100)
    window.show()
    app.processEvents()

    class Form:
        hwnd = int(window.winId())

    class Wheel:
        turns = 0
        def OnMouseWheel(self, Cancel):
            Wheel.turns += 1
            return 1

    wheel = tarv.DispatchWithEvents("TarvUtility.CMouseWheel", Wheel)
    wheel.Form = Form()
    wheel.SubClassHookForm()

    def turn():
        where = QPointF(50, 20)
        event = QWheelEvent(where, window.viewport().mapToGlobal(where), QPoint(0, 0),
                            QPoint(0, -120), Qt.MouseButton.NoButton,
                            Qt.KeyboardModifier.NoModifier, Qt.ScrollPhase.NoScrollPhase, False)
        QApplication.sendEvent(window.viewport(), event)
        app.processEvents()

    turn()
    hooked = (Wheel.turns, window.verticalScrollBar().value())
    wheel.SubClassUnHookForm()
    turn()
    print(hooked, (Wheel.turns, window.verticalScrollBar().value() > 0))
""")

CONSOLE_PROGRAM = textwrap.dedent("""
    import tarv
    print(tarv.Dispatch("TarvUtility.Math").Round(2.675, 2, 1))
    w = tarv.Dispatch("TarvUtility.CMouseWheel")
    w.Form = type("Form", (), {"hwnd": 1})()
    try:
        w.SubClassHookForm()
    except tarv.ComError as e:
        print(e.number)
""")


class Hosts(unittest.TestCase):
    def test_pyqt6_program_hooks_its_own_window(self):
        run = subprocess.run([sys.executable, "-c", QT_PROGRAM], capture_output=True, text=True,
                             env=support.console_env(QT_QPA_PLATFORM="offscreen"), timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        # Hooked: the handler saw the turn and cancelled it; unhooked: the list scrolls.
        self.assertEqual(run.stdout.strip(), "(1, 0) (1, True)")

    def test_console_python_with_no_display_at_all(self):
        env = support.console_env()
        self.assertFalse({"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"} & set(env))
        run = subprocess.run([sys.executable, "-c", CONSOLE_PROGRAM], capture_output=True,
                             text=True, env=env, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stdout.split(), ["2.68", "5"])


if __name__ == "__main__":
    unittest.main()

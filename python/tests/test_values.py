"""Calls, values, ByRef and errors through tarv.Dispatch, in a console Python."""

import datetime
import decimal
import os
import pydoc
import subprocess
import threading
import time
import unittest

import support

WINDIR = support.prepare()
import tarv  # noqa: E402  (after the environment is set)


class Values(unittest.TestCase):
    def test_calls_give_python_values(self):
        m = tarv.Dispatch("TarvUtility.Math")
        c = tarv.Dispatch("TarvUtility.Contabili")
        cases = [
            (lambda: m.Round(2.675, 2, 1), 2.68, float),
            (lambda: m.Round(Numero=2.675, Tipo=1, Decimali=2), 2.68, float),
            (lambda: m.round(decimal.Decimal("2.675"), 2, 1), 2.68, float),
            (lambda: m.NDec(1.25), 2, int),
            (lambda: c.CheckCodFiscale("RSSMRA85T10A562S"), True, bool),
            (lambda: c.CheckCodFiscale("RSSMRA85T10A562X"), False, bool),
        ]
        for call, expected, kind in cases:
            result = call()
            self.assertEqual(result, expected)
            self.assertIs(type(result), kind)

    def test_properties_and_collections(self):
        g = tarv.Dispatch("TarvUtility.GestioneReg")
        g.MasterKey = g.CURRENT_USER
        g.Key = "Software\\Tarv\\Prova"
        self.assertEqual(g.Key, "Software\\Tarv\\Prova")
        for name in ("Uno", "Due"):
            g.Key = "Software\\Tarv\\Prova\\" + name
            self.assertTrue(g.Scrivi_Chiave())
        g.Key = "Software\\Tarv\\Prova"
        self.assertEqual(sorted(g.Elenca_Chiavi()), ["Due", "Uno"])

    def test_optional_arguments_left_out(self):
        g = tarv.Dispatch("TarvUtility.GestioneReg")
        g.Inizializza_registro(Chiave="Software\\Tarv")  # Ramo left out: LOCAL_MACHINE
        self.assertEqual((g.MasterKey, g.Key), (g.LOCAL_MACHINE, "Software\\Tarv"))

    def test_long_calls_let_other_threads_run(self):
        source = os.path.join(WINDIR, "grande.bin")
        with open(source, "wb") as f:
            f.write(os.urandom(1 << 20) * 24)
        z = tarv.Dispatch("ZLIBTOOLLib.ZlibTool")
        z.InputFile, z.OutputFile = source, source + ".zl"
        ticks, done = [], threading.Event()

        def count():
            while not done.is_set():
                ticks.append(1)
                time.sleep(0.001)
        t = threading.Thread(target=count)
        t.start()
        time.sleep(0.01)
        before = len(ticks)
        z.Compress()
        during = len(ticks) - before
        done.set()
        t.join()
        self.assertGreater(during, 5)
        self.assertTrue(os.path.getsize(source + ".zl") > 0)

    def test_by_reference(self):
        a = tarv.Dispatch("TarvUtility.Altro")
        t = tarv.ByRef(1)
        self.assertIsNone(a.Spegni_Pc(t, False))
        self.assertEqual(t.value, 9)  # shut down, forced, as the NT family asks
        plain = 1
        a.Spegni_Pc(plain, False)
        self.assertEqual(plain, 1)

    def test_errors_carry_their_numbers(self):
        m = tarv.Dispatch("TarvUtility.Math")
        w = tarv.Dispatch("TarvUtility.CMouseWheel")
        cases = [
            (lambda: tarv.Dispatch("Nessuna.Classe"), 429, "Nessuna.Classe"),
            (lambda: m.Arrotonda, 438, "Arrotonda"),
            (lambda: m.Round("abc", 2, 1), 13, "Numero"),
            (lambda: m.Round(datetime.datetime(2026, 1, 1), 2, 1), 13, "date"),
            (lambda: w.SubClassHookForm(), 5, "finestra"),
        ]
        for call, number, text in cases:
            with self.assertRaises(tarv.ComError) as raised:
                call()
            e = raised.exception
            self.assertEqual(e.number, number, str(e))
            self.assertIn(text, str(e))
            self.assertEqual(isinstance(e, AttributeError), number == 438)
        self.assertFalse(hasattr(m, "Arrotonda"))

    def test_error_text_is_tarv_calls(self):
        run = subprocess.run(
            [os.environ["TARV_CALL"], "--console", "TarvUtility.Math", 'Round("abc", 2, 1)'],
            capture_output=True, text=True, env=support.console_env())
        with self.assertRaises(tarv.ComError) as raised:
            tarv.Dispatch("TarvUtility.Math").Round("abc", 2, 1)
        self.assertEqual(run.stderr.strip(), str(raised.exception))
        self.assertEqual(raised.exception.hresult & 0xFFFFFFFF, 0x80020005)

    def test_console_host_has_no_windows(self):
        form = type("Form", (), {"hwnd": 1234})()
        w = tarv.Dispatch("TarvUtility.CMouseWheel")
        w.Form = form
        self.assertIs(w.Form, form)
        with self.assertRaises(tarv.ComError) as raised:
            w.SubClassHookForm()
        self.assertEqual(raised.exception.number, 5)

    def test_objects_stay_on_their_thread(self):
        m = tarv.Dispatch("TarvUtility.Math")
        errors = []

        def other():
            try:
                m.Round(2.675, 2, 1)
            except tarv.ComError as e:
                errors.append(e)
        t = threading.Thread(target=other)
        t.start()
        t.join()
        self.assertEqual(len(errors), 1)
        self.assertEqual(errors[0].hresult & 0xFFFFFFFF, 0x8001010E)

    def test_help_lists_the_type_library(self):
        text = pydoc.render_doc(tarv.Dispatch("TarvUtility.Math"), renderer=pydoc.plaintext)
        self.assertIn("TarvUtility.Math", text)
        self.assertIn("Round(Numero: float, Decimali: int, Tipo: int) -> float", text)
        self.assertIn("NDec(Numero: Any) -> int", text)


if __name__ == "__main__":
    unittest.main()

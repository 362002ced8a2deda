"""python3 -m tarv does what tarv-call does."""

import os
import subprocess
import sys
import unittest

import support

support.prepare()


def run(command):
    return subprocess.run(command, capture_output=True, text=True,
                          env=support.console_env(), timeout=120)


class CommandLine(unittest.TestCase):
    def test_same_output_and_status_as_tarv_call(self):
        cases = [
            ["TarvUtility.Math", "Round(2.675, 2, 1)", "NDec(1.25)"],
            ["TarvUtility.Contabili", 'CheckCodFiscale("RSSMRA85T10A562S")'],
            ["TarvUtility.Altro", "Spegni_Pc(1, False)"],
            ["TarvUtility.GestioneReg", 'Key="Software\\\\Tarv"', "Key"],
            ["TarvUtility.Math", 'Round("x", 2, 1)'],
            ["TarvUtility.Math", "Arrotonda(1)"],
            ["TarvUtility.Math", "Round(2.675, "],
            ["Nessuna.Classe", "X"],
        ]
        for args in cases:
            ours = run([sys.executable, "-m", "tarv"] + args)
            theirs = run([os.environ["TARV_CALL"], "--console"] + args)
            self.assertEqual((ours.returncode, ours.stdout), (theirs.returncode, theirs.stdout),
                             args)
            if theirs.returncode == 1:
                self.assertEqual(ours.stderr, theirs.stderr, args)

    def test_help_lists_members(self):
        ours = run([sys.executable, "-m", "tarv", "TarvUtility.Math", "--help"])
        self.assertEqual(ours.returncode, 0, ours.stderr)
        self.assertIn("Round(Numero: float, Decimali: int, Tipo: int) -> float", ours.stdout)


if __name__ == "__main__":
    unittest.main()

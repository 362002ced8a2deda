"""Events: DispatchWithEvents and WithEvents with CMouseWheel.FireMouseWheel."""

import unittest

import support

support.prepare()
import tarv  # noqa: E402


class Wheel:
    def __init__(self):
        self.calls = []
        self.answer = None

    def OnMouseWheel(self, Cancel):
        self.calls.append(Cancel)
        return self.answer


class Failing:
    def OnMouseWheel(self, Cancel):
        raise ValueError("guasto")


class Events(unittest.TestCase):
    def test_handler_result_is_the_new_by_reference_value(self):
        w = tarv.DispatchWithEvents("TarvUtility.CMouseWheel", Wheel)
        self.assertIsInstance(w, Wheel)
        for answer, cancel in [(1, 1), (None, 1), (0, 0)]:
            w.answer = answer
            w.FireMouseWheel()
            self.assertEqual(w.MouseWheelCancel, cancel)
        self.assertEqual(w.calls, [0, 1, 1])

    def test_with_events_on_an_existing_object(self):
        w = tarv.Dispatch("TarvUtility.CMouseWheel")
        handler = tarv.WithEvents(w, Wheel)
        handler.answer = 7
        w.FireMouseWheel()
        self.assertEqual((handler.calls, w.MouseWheelCancel), ([0], 7))

    def test_a_failing_handler_fails_the_call(self):
        w = tarv.DispatchWithEvents("TarvUtility.CMouseWheel", Failing)
        with self.assertRaises(tarv.ComError) as raised:
            w.FireMouseWheel()
        self.assertIn("OnMouseWheel", str(raised.exception))
        self.assertIn("guasto", str(raised.exception))

    def test_objects_without_events_refuse(self):
        with self.assertRaises(tarv.ComError):
            tarv.DispatchWithEvents("TarvUtility.Math", Wheel)


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/python3
"""Times scikit-rf's one-port (open, short, load) correction of the same 500
points that bench_core_sweep_pipeline's BM_CorrectReflection500 corrects.

Usage: skrf_one_port.py [write_one_port_points program]
(default: build/default/tests/write_one_port_points)
"""
import os
import sys
import timeit

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "skrf"))
import one_port_check as check  # noqa: E402  (numpy, scikit-rf, the points)

np = check.np
rf = check.rf


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    helper = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        root, "build", "default", "tests", "write_one_port_points")
    f_hz, c = check.load_points(helper)
    n = len(f_hz)
    freq = rf.Frequency.from_f(f_hz, unit="hz")
    net = check.network
    measured = [net(freq, c["open"]), net(freq, c["short"]), net(freq, c["load"])]
    ideals = [net(freq, np.ones(n, complex)), net(freq, -np.ones(n, complex)),
              net(freq, np.zeros(n, complex))]
    dut = net(freq, c["measured"])

    def full():
        cal = rf.OnePort(measured=measured, ideals=ideals)
        cal.run()
        return cal.apply_cal(dut)

    cal = rf.OnePort(measured=measured, ideals=ideals)
    cal.run()

    def apply_only():
        return cal.apply_cal(dut)

    for name, fn in (("solve error terms + apply_cal", full), ("apply_cal only", apply_only)):
        runs, total = timeit.Timer(fn).autorange()
        best = min(timeit.repeat(fn, number=runs, repeat=5)) / runs
        print(f"scikit-rf {skrf_version()} one-port, {name}: "
              f"{best * 1e6:.1f} us per {n}-point correction")


def skrf_version():
    return getattr(rf, "__version__", "?")


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Cross-checks the program's one-port reflection correction against
scikit-rf's one-port (open, short, load) calibration on the same 500 points.

Usage: one_port_check.py <write_one_port_points program>
"""
import os
import subprocess
import sys
import tempfile

try:
    import numpy as np
    import skrf as rf
except ImportError as error:
    print(f"FAIL: the cross-check needs numpy and scikit-rf ({error}); "
          "install python3-numpy and python3-scikit-rf (scripts/install-deps.sh)")
    sys.exit(1)

# The program adds 1e-6 to its denominators; against error terms of the
# order of a volt this moves the result by a few parts per million.
TOLERANCE = 5e-6


def load_points(helper):
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "one_port_points.txt")
        result = subprocess.run([helper, path])
        if result.returncode != 0:
            print(f"FAIL: {helper} exited with {result.returncode} (tables doubtful?)")
            sys.exit(1)
        data = np.loadtxt(path)
    columns = {}
    names = ["measured", "open", "short", "load", "gamma", "gamma_point", "gamma_true"]
    for k, name in enumerate(names):
        columns[name] = data[:, 1 + 2 * k] + 1j * data[:, 2 + 2 * k]
    return data[:, 0], columns


def network(freq, s):
    return rf.Network(frequency=freq, s=s.reshape(-1, 1, 1), z0=50)


def skrf_correction(f_hz, c):
    freq = rf.Frequency.from_f(f_hz, unit="hz")
    n = len(f_hz)
    cal = rf.OnePort(
        measured=[network(freq, c["open"]), network(freq, c["short"]), network(freq, c["load"])],
        ideals=[network(freq, np.ones(n, complex)), network(freq, -np.ones(n, complex)),
                network(freq, np.zeros(n, complex))],
    )
    cal.run()
    return cal.apply_cal(network(freq, c["measured"])).s[:, 0, 0]


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    f_hz, c = load_points(sys.argv[1])
    reference = skrf_correction(f_hz, c)
    checks = {
        "scikit-rf vs true reflection": np.max(np.abs(reference - c["gamma_true"])),
        "CorrectReflection vs scikit-rf": np.max(np.abs(c["gamma"] - reference)),
        "CorrectPoint vs scikit-rf": np.max(np.abs(c["gamma_point"] - reference)),
    }
    ok = len(f_hz) == 500
    for name, deviation in checks.items():
        good = np.isfinite(deviation) and deviation < TOLERANCE
        ok = ok and good
        print(f"{'ok  ' if good else 'FAIL'} {name}: max |difference| = {deviation:.3g}")
    print(f"{len(f_hz)} points, {f_hz[0]:.0f} Hz to {f_hz[-1]:.0f} Hz, tolerance {TOLERANCE}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())

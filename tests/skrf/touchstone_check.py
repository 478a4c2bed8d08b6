#!/usr/bin/python3
"""Reads the program's Touchstone files with scikit-rf: a reflection sweep
(one port, S11) and a transmission sweep (two ports, only S21 measured), as
Save Data writes them after a calibration on the simulated instrument. The
values scikit-rf reads must equal the program's corrected points to 1e-9
relative, and lie close to the simulated devices' true responses at the
frequencies the files give.

Usage: touchstone_check.py <write_touchstone_sweeps program> [points]
"""
import os
import subprocess
import sys
import tempfile

try:
    import numpy as np
    import skrf as rf
except ImportError as error:
    print(f"FAIL: the check needs numpy and scikit-rf ({error}); "
          "install python3-numpy and python3-scikit-rf (scripts/install-deps.sh)")
    sys.exit(1)

EXACT = 1e-9
# How close the corrected values come to the devices' true responses at the
# frequencies the files give. The one-port correction (open, short, load)
# removes the detector's error terms but for noise and 12-bit readings. The
# transmission correction divides by the thru only: the detector's leakage
# (below 0.003) stays in the result.
TRUE_S11 = 0.01
TRUE_S21 = 0.01


def relative_error(got, want):
    return np.max(np.abs(got - want) / np.maximum(np.abs(want), 1e-300))


def check(name, network, reference, s_index, true_tolerance):
    failures = []
    f_ref = reference[:, 0]
    value = reference[:, 1] + 1j * reference[:, 2]
    truth = reference[:, 3] + 1j * reference[:, 4]
    if network.f.shape != f_ref.shape:
        return [f"{name}: {network.f.shape[0]} points read, {f_ref.shape[0]} expected"]
    if relative_error(network.f, f_ref) > EXACT:
        failures.append(f"{name}: frequencies differ by {relative_error(network.f, f_ref):.3g}")
    measured = network.s[:, s_index[0], s_index[1]]
    exact = np.max(np.abs(measured - value) / np.maximum(np.abs(value), 1e-12))
    if exact > EXACT:
        failures.append(f"{name}: values differ from the program's points by {exact:.3g} relative")
    worst = np.max(np.abs(measured - truth))
    if worst > true_tolerance:
        failures.append(f"{name}: {worst:.4f} from the device's true response")
    print(f"{name}: {len(f_ref)} points, {exact:.2g} relative from the program's points, "
          f"{worst:.4f} from the true response")
    return failures


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__)
        return 2
    with tempfile.TemporaryDirectory() as tmp:
        result = subprocess.run([sys.argv[1], tmp] + sys.argv[2:])
        if result.returncode != 0:
            print(f"FAIL: {sys.argv[1]} exited with {result.returncode}")
            return 1
        one = rf.Network(os.path.join(tmp, "reflection.s1p"))
        two = rf.Network(os.path.join(tmp, "transmission.s2p"))
        failures = check("S11", one, np.loadtxt(os.path.join(tmp, "reflection.txt")), (0, 0),
                         TRUE_S11)
        failures += check("S21", two, np.loadtxt(os.path.join(tmp, "transmission.txt")), (1, 0),
                          TRUE_S21)
        for i, j in ((0, 0), (0, 1), (1, 1)):
            if np.any(two.s[:, i, j] != 0):
                failures.append(f"S{i + 1}{j + 1} of the two-port is not 0")
        if one.z0[0, 0] != 50 or two.z0[0, 0] != 50:
            failures.append("reference impedance is not 50 ohm")
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

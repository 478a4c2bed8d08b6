#!/usr/bin/env python3
"""The client's end-to-end time of one sweep through the remote control:
INIT;*OPC? then CALC:DATA:SDAT? (REAL,64) from pyvisa, against the program
started on the simulated instrument in real time, compared with the sweep's
own acquisition time from the program's log. Usage:
remote_pyvisa.py PROGRAM [SWEEPS]; PAUSE_S (seconds, default 0.3) is the rest
between sweeps, 0 for back-to-back sweeps."""
import glob
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

import pyvisa

program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/default/ostra")
sweeps = int(sys.argv[2]) if len(sys.argv) > 2 else 30
source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
work = tempfile.mkdtemp(prefix="ostra_bench_remote_")
shutil.copytree(os.path.join(source, "cal_data"), os.path.join(work, "cal_data"))
with socket.socket() as s:
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=work)
proc = subprocess.Popen([program, "--simulate", "--scpi-port", str(port)], cwd=work, env=env,
                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
try:
    for line in proc.stdout:
        if "listening on" in line:
            break
    vna = pyvisa.ResourceManager("@py").open_resource(
        "TCPIP::127.0.0.1::%d::SOCKET" % port, read_termination="\n", timeout=10000)
    vna.write("*RST;:SENS:SWE:POIN 201;:INIT:CONT OFF;:FORM REAL,64")
    vna.query("*OPC?")
    times = []
    pause = float(os.environ.get("PAUSE_S", "0.3"))
    for _ in range(sweeps):
        # The instrument at rest between sweeps, as a script that does
        # something with each sweep leaves it.
        time.sleep(pause)
        t0 = time.perf_counter()
        vna.query("INIT;*OPC?")
        vna.query_binary_values("CALC:DATA:SDAT?", datatype="d", is_big_endian=True)
        times.append((time.perf_counter() - t0) * 1000)
    vna.close()
    log = open(glob.glob(os.path.join(work, "**", "ostra_log.txt"), recursive=True)[0],
               encoding="latin-1").read()
    acquisitions = [int(m) for m in re.findall(r"Measured acquisition time is (\d+)", log)]
    own = statistics.median(acquisitions[-sweeps:])
    print("sweeps: %d of 201 points" % sweeps)
    print("end to end (INIT;*OPC? + SDAT? REAL,64): median %.1f ms, min %.1f ms, max %.1f ms"
          % (statistics.median(times), min(times), max(times)))
    print("the sweep's own acquisition time: median %d ms" % own)
    print("overhead: %.1f ms (goal: within 10 ms)" % (statistics.median(times) - own))
finally:
    proc.terminate()
    proc.wait(20)
    shutil.rmtree(work, ignore_errors=True)

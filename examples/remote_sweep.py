#!/usr/bin/env python3
"""Sets a sweep, takes one sweep, reads the corrected data and saves a
Touchstone file, through the Ostra program's remote control (start the
program first, e.g. with `make run`). Written as for a bench analyser: only
the resource string names this instrument.

    python3 examples/remote_sweep.py [TCPIP::127.0.0.1::5025::SOCKET]
"""
import sys

import pyvisa

resource = sys.argv[1] if len(sys.argv) > 1 else "TCPIP::127.0.0.1::5025::SOCKET"
rm = pyvisa.ResourceManager("@py")
vna = rm.open_resource(resource, read_termination="\n", write_termination="\n")
print(vna.query("*IDN?"))

vna.write("*CLS")
vna.write("SENS1:FREQ:STAR 20 MHZ")
vna.write("SENS1:FREQ:STOP 50 MHZ")
vna.write("SENS1:SWE:POIN 201")
vna.write("CALC1:PAR1:DEF S11")
vna.write("CALC1:FORM MLOG")
# Size the time-out from the instrument's own estimate of one sweep.
vna.timeout = 5000 + 2000 * float(vna.query("SENS1:SWE:TIME?"))

vna.write("INIT1:CONT OFF")          # hold the sweep
vna.query("INIT1;*OPC?")             # one sweep, waited for
freqs = vna.query_ascii_values("SENS1:FREQ:DATA?")
vna.write("FORM:DATA REAL,64;:FORM:BORD SWAP")
data = vna.query_binary_values("CALC1:DATA:SDAT?", datatype="d", is_big_endian=False)
vna.write("FORM:DATA ASC")
gamma = [complex(re, im) for re, im in zip(data[0::2], data[1::2])]
best = min(range(len(gamma)), key=lambda i: abs(gamma[i]))
print("best match: %.3f MHz, |S11| = %.4f" % (freqs[best] / 1e6, abs(gamma[best])))

vna.write("CALC1:MARK1:FUNC:TYPE MIN;:CALC1:MARK1:FUNC:EXEC")
print("marker 1 at %s Hz: %s dB" % (vna.query("CALC1:MARK1:X?"),
                                     vna.query("CALC1:MARK1:Y?").split(",")[0]))
vna.write('MMEM:STOR:SNP "remote_sweep"')  # into the program's data folder
print("errors:", vna.query("SYST:ERR?"))
vna.write("INIT1:CONT ON")           # back to continuous sweeping
vna.close()

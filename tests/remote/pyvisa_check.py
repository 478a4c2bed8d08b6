"""A real client drives the real program over loopback: pyvisa (pure-Python
backend) against the program started with the simulated instrument, as a
script written for a bench analyser would. Usage: pyvisa_check.py PROGRAM"""
import glob
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

import numpy as np
import pyvisa
import skrf

PROGRAM = sys.argv.pop(1) if len(sys.argv) > 1 else "build/default/ostra"
SOURCE_DIR = os.environ.get("OSTRA_SOURCE_DIR", os.getcwd())


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class RemoteControl(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="ostra_remote_")
        shutil.copytree(os.path.join(SOURCE_DIR, "cal_data"), os.path.join(cls.dir, "cal_data"))
        cls.port = free_port()
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=cls.dir,
                   XDG_DOCUMENTS_DIR=os.path.join(cls.dir, "docs"))
        cls.program = subprocess.Popen(
            [os.path.abspath(PROGRAM), "--simulate", "--dut", "short", "--scpi-port",
             str(cls.port), "--quit-after", "120000"],
            cwd=cls.dir, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        deadline = time.time() + 60
        for line in cls.program.stdout:
            if "listening on 127.0.0.1:%d" % cls.port in line:
                break
            if time.time() > deadline:
                raise RuntimeError("the program did not start listening")
        cls.rm = pyvisa.ResourceManager("@py")
        cls.vna = cls.rm.open_resource("TCPIP::127.0.0.1::%d::SOCKET" % cls.port,
                                       read_termination="\n", timeout=10000)

    @classmethod
    def tearDownClass(cls):
        cls.vna.close()
        cls.program.terminate()
        try:
            cls.program.wait(20)
        except subprocess.TimeoutExpired:
            cls.program.kill()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def sweep(self):
        v = self.vna
        v.write("*RST")
        v.write("SENS1:FREQ:STAR 20 MHZ")
        v.write("SENS1:FREQ:STOP 50e6")
        v.write("SENS1:SWE:POIN 201")
        v.write("CALC1:PAR1:DEF S11")
        v.write("INIT1:CONT OFF")
        self.assertEqual(v.query("INIT1;*OPC?"), "1")
        self.assertEqual(v.query("SYST:ERR?"), '+0,"No error"')

    def test_a_sweep_read_in_every_data_format(self):
        v = self.vna
        idn = v.query("*IDN?").split(",")
        self.assertEqual(len(idn), 4)
        self.assertEqual(idn[2], "0")  # the simulated instrument
        self.sweep()
        hz = np.array(v.query_ascii_values("SENS:FREQ:DATA?"))
        self.assertEqual(len(hz), 201)
        self.assertEqual(hz[0], 20e6)
        self.assertTrue(np.all(np.diff(hz) > 0))
        ascii_data = np.array(v.query_ascii_values("CALC:DATA:SDAT?"))
        self.assertEqual(len(ascii_data), 402)
        gamma = ascii_data[0::2] + 1j * ascii_data[1::2]
        # The corrected reflection of the SHORT standard is -1 at every point.
        self.assertLess(np.max(np.abs(gamma + 1)), 0.03)
        for order, big in (("NORM", True), ("SWAP", False)):
            v.write("FORM REAL,64;:FORM:BORD " + order)
            block = v.query_binary_values("CALC:DATA:SDAT?", datatype="d", is_big_endian=big,
                                          container=np.array)
            np.testing.assert_array_equal(block, ascii_data)
        v.write("FORM REAL,32;:FORM:BORD NORM")
        block = v.query_binary_values("CALC:DATA:SDAT?", datatype="f", is_big_endian=True,
                                      container=np.array)
        np.testing.assert_allclose(block, ascii_data, atol=1e-6)
        v.write("FORM ASC")

    def test_b_several_commands_in_one_write_and_the_error_queue(self):
        v = self.vna
        v.write("*CLS;:SENS:FREQ:STAR 30MHZ;STOP 40MHZ;:SENS:SWE:POIN 101")
        self.assertEqual(v.query("SENS:FREQ:STAR?;STOP?;:SENS:SWE:POIN?"), "30000000;40000000;101")
        v.write("SENS:FREQ:BOGUS 1")
        self.assertEqual(v.query("SYST:ERR?"), '-113,"Undefined header"')
        v.write("SENS:SWE:POIN 100000")
        self.assertEqual(v.query("SYST:ERR?"), '-222,"Data out of range"')
        self.assertEqual(v.query("SENS:SWE:POIN?"), "101")
        self.assertEqual(v.query("SYST:ERR?"), '+0,"No error"')
        self.assertEqual(int(v.query("*ESR?")) & 48, 48)  # command and execution errors

    def test_c_touchstone_export_read_by_scikit_rf(self):
        v = self.vna
        self.sweep()
        v.write('MMEM:STOR:SNP "remote_short"')
        v.write('MMEM:STOR:SNP "../escape"')
        self.assertEqual(v.query("SYST:ERR?").split(",")[0], "-256")
        self.assertEqual(v.query("*OPC?"), "1")
        files = glob.glob(os.path.join(self.dir, "**", "remote_short.s1p"), recursive=True)
        self.assertEqual(len(files), 1, files)
        self.assertEqual(glob.glob(os.path.join(self.dir, "**", "escape*"), recursive=True), [])
        network = skrf.Network(files[0])
        self.assertEqual(len(network.f), 201)
        data = np.array(v.query_ascii_values("CALC:DATA:SDAT?"))
        np.testing.assert_allclose(network.s[:, 0, 0], data[0::2] + 1j * data[1::2], atol=1e-9)

    def test_d_a_second_client_is_refused(self):
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as second:
            second.settimeout(5)
            try:
                closed = second.recv(1) == b""
            except ConnectionResetError:
                closed = True
            self.assertTrue(closed)
        self.assertEqual(self.vna.query("*OPC?"), "1")  # the first goes on


if __name__ == "__main__":
    unittest.main(verbosity=2)

// A client driving the whole program through the remote interface: the
// Analyser on the scripted platform and the simulated instrument, the bytes
// of the client handed to a RemoteSession as the socket would.
#include <gtest/gtest.h>

#include <algorithm>
#include <complex>
#include <fstream>
#include <iterator>
#include <sstream>

#include "remote/remote_session.h"
#include "sim/dut_model.h"
#include "support/analyser_rig.h"

namespace ostra::testing {
namespace {

class RemoteRig : public AnalyserRig {
 public:
  RemoteRig() {
    StartUp();
    remote = std::make_unique<RemoteInstrument>(*analyser);
    Reconnect();
    // A continuous sweep runs until the test has its replies.
    analyser->Engine().on_sweep_done.Connect([this] {
      if (replies.size() >= wanted && !Busy()) analyser->Sweep().RequestStop();
    });
  }
  // Sends `text` from inside the running program and runs until `replies`
  // holds `count` more lines and the sweep has come to rest.
  std::vector<std::string> Send(const std::string& text, size_t count = 0) {
    const size_t before = replies.size();
    wanted = before + count;
    platform.At(platform.NowMicroseconds() / 1000 + 1, [this, text] { session->Receive(text); });
    platform.RunUntil([&] { return replies.size() >= before + count && !Busy(); }, 20000);
    platform.RunFor(5);
    return {replies.begin() + static_cast<long>(before), replies.end()};
  }
  // A new connection: the session before it ends.
  void Reconnect() {
    session = std::make_unique<RemoteSession>(
        *remote, [this](std::string_view reply) { replies.emplace_back(reply); });
    // The shell goes on with held input from its event loop.
    session->on_resume_wanted.Connect(
        [this] { platform.At(platform.NowMicroseconds() / 1000, [this] { session->Resume(); }); });
  }
  bool Busy() const { return remote->OperationPending() || session->Waiting(); }
  std::string Setting(ostra::Setting s) const { return analyser->Settings().Text(s); }

  std::unique_ptr<RemoteInstrument> remote;
  std::unique_ptr<RemoteSession> session;
  std::vector<std::string> replies;
  size_t wanted = 0;
};

std::vector<double> Numbers(const std::string& line) {
  std::vector<double> out;
  std::stringstream in(line);
  std::string item;
  while (std::getline(in, item, ',')) out.push_back(std::stod(item));
  return out;
}

TEST(RemoteSession, ASettingChangesWhatTheKeysChangeOrNothingWithItsError) {
  RemoteRig rig;
  // Split across reads, CR LF ends, two messages in one read.
  rig.Send("SENS:FREQ:STAR 20 M");
  auto r = rig.Send("HZ;STOP 50e6\r\n:SWE:POIN 201;:FREQ:CENT?;SPAN?\r\nSYST:ERR?\n", 2);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0], "35000000;30000000\n");
  EXPECT_EQ(r[1], "+0,\"No error\"\n");
  EXPECT_EQ(rig.Setting(Setting::StartFreq), "20000000");
  EXPECT_EQ(rig.Setting(Setting::Points), "201");

  r = rig.Send(
      "SWE:POIN 501;:FREQ:STOP 121MHZ;:SENS2:FREQ:STAR 1e6;:FOO 1;*IDN 1;SWE:POIN\n"
      "SYST:ERR?;:SYST:ERR?;:SYST:ERR?;:SYST:ERR?;:SYST:ERR?;:SYST:ERR?;:SYST:ERR?\n",
      1);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0],
            "-222,\"Data out of range\";-222,\"Data out of range\";-114,\"Header suffix out of "
            "range\";-113,\"Undefined header\";-113,\"Undefined header\";-109,\"Missing "
            "parameter\";+0,\"No error\"\n");
  EXPECT_EQ(rig.Setting(Setting::Points), "201");
  EXPECT_EQ(rig.Setting(Setting::StopFreq), "50000000");
  // The format key's work, and a mode the instrument cannot measure.
  r = rig.Send("CALC:FORM SMIT;:CALC:PAR:DEF S22;:CALC:FORM?;:CALC:PAR:DEF?;:SYST:ERR?\n", 1);
  EXPECT_EQ(r.at(0).substr(0, 14), "SMIT;S11;-224,");
  EXPECT_EQ(rig.Setting(Setting::Format), "Smith");

  // While the Sweep Parameters dialog is open the settings are its own.
  rig.analyser->Dialog().FormShow();
  r = rig.Send("SWE:POIN 11;:SYST:ERR?\n", 1);
  EXPECT_EQ(r.at(0).substr(0, 5), "-221,");
  EXPECT_EQ(rig.Setting(Setting::Points), "201");
}

TEST(RemoteSession, OneHeldSweepIsWaitedForAndItsDataIsTheDevicesTruth) {
  RemoteRig rig;
  auto r = rig.Send("*RST;:FREQ:STAR 20e6;STOP 50e6;:SWE:POIN 201;:INIT:CONT OFF;:INIT:CONT?\n", 1);
  EXPECT_EQ(r.at(0), "0\n");
  EXPECT_FALSE(rig.analyser->Engine().RunActive());  // held
  // INIT while continuous is ignored with its error; data before any sweep
  // of this program is answered at once.
  const uint64_t starts = rig.sim.Counters().start_sweeps;
  r = rig.Send("INIT;*OPC?;:CALC:DATA:SDAT?;:SENS:FREQ:DATA?\n", 1);
  ASSERT_EQ(r.size(), 1u);
  // One acquisition holds the sweep: none is read ahead for a next one.
  EXPECT_EQ(rig.sim.Counters().start_sweeps - starts, 1u);
  const std::string line = r[0];
  const size_t a = line.find(';');
  const size_t b = line.find(';', a + 1);
  EXPECT_EQ(line.substr(0, a), "1");
  const std::vector<double> data = Numbers(line.substr(a + 1, b - a - 1));
  const std::vector<double> hz = Numbers(line.substr(b + 1));
  ASSERT_EQ(hz.size(), 201u);
  ASSERT_EQ(data.size(), 402u);
  EXPECT_EQ(hz.front(), 20e6);
  for (size_t i = 0; i < hz.size(); i += 20) {
    const std::complex<double> truth = TrueReflection(Dut::SeriesRlc, hz[i]);
    EXPECT_NEAR(data[2 * i], truth.real(), 0.05) << hz[i];
    EXPECT_NEAR(data[2 * i + 1], truth.imag(), 0.05) << hz[i];
  }
  EXPECT_FALSE(rig.analyser->Engine().RunActive());  // held again after its sweep

  r = rig.Send("INIT:CONT ON;:INIT;:SYST:ERR?\n", 1);
  EXPECT_EQ(r.at(0), "-213,\"Init ignored\"\n");
}

TEST(RemoteSession, MarkersFindTheExtremesAndCapturesAndFilesStayWhereTheyBelong) {
  RemoteRig rig;
  rig.Send("INIT:CONT OFF\n");
  auto r = rig.Send("INIT;*OPC?;:CALC:DATA:FDAT?\n", 1);
  const std::vector<double> fdat = Numbers(r.at(0).substr(2));
  double lowest = fdat.at(0);
  for (size_t i = 0; i < fdat.size(); i += 2) lowest = std::min(lowest, fdat[i]);
  // The series resonance at 35 MHz is the best match.
  r = rig.Send("CALC:MARK2:FUNC:TYPE MIN;EXEC;:CALC:MARK2?;:CALC:MARK2:X?;Y?\n", 1);
  ASSERT_EQ(r.at(0).substr(0, 2), "1;");
  const size_t y = r[0].find(';', 2);
  EXPECT_NEAR(std::stod(r[0].substr(2, y - 2)), 35e6, 0.5e6);
  const std::vector<double> value = Numbers(r[0].substr(y + 1));
  EXPECT_EQ(value.at(0), lowest);
  EXPECT_EQ(value.at(1), 0);

  // A DC-offset capture writes its file whole; a THRU needs a transmission.
  const std::filesystem::path dc = rig.CalFile("cal_dc_offset.dat");
  std::filesystem::last_write_time(dc, std::filesystem::file_time_type{});
  r = rig.Send("SENS:CORR:COLL:DCOF;THRU;:SYST:ERR?;:SYST:ERR?\n", 1);
  EXPECT_EQ(r.at(0).substr(0, 5), "-221,");
  EXPECT_NE(std::filesystem::last_write_time(dc), std::filesystem::file_time_type{});
  EXPECT_EQ(std::count(std::istreambuf_iterator<char>(*std::make_unique<std::ifstream>(dc)),
                       std::istreambuf_iterator<char>(), '\n'),
            201);

  // Files are named inside the data folder.
  r = rig.Send(
      "MMEM:STOR:STAT \"../x\";:SYST:ERR?;:MMEM:STOR:STAT \"/tmp/x\";:SYST:ERR?;"
      ":MMEM:STOR:STAT \"kept\";:SYST:ERR?\n",
      1);
  EXPECT_EQ(r.at(0),
            "-256,\"File name not found; names stay inside the data folder\";-256,"
            "\"File name not found; names stay inside the data folder\";+0,\"No error\"\n");
  EXPECT_TRUE(std::filesystem::exists(rig.DataDir() / "kept.sta"));
  EXPECT_FALSE(std::filesystem::exists(rig.dir / "x.sta"));
}

TEST(RemoteSession, WithAveragingTheSweepIsDoneAfterAllItsAveragesAndOpcSaysSo) {
  RemoteRig rig;
  int sweeps = 0;
  rig.analyser->Engine().on_sweep_done.Connect([&] { ++sweeps; });
  rig.Send("INIT:CONT OFF;:SENS:AVER:COUN 5;:SENS:AVER ON;*CLS\n");
  const uint64_t starts = rig.sim.Counters().start_sweeps;
  // The busy state holds from the moment INIT has run: *OPC? in the same
  // message waits, and the event bit comes when the sweep is done.
  int at_reply = -1;
  int started = 0;
  RemoteSession& session = *rig.session;
  rig.platform.At(rig.platform.NowMicroseconds() / 1000 + 1, [&] {
    const int before = sweeps;
    started = sweeps;
    session.Receive("INIT;*OPC;*ESR?\n");
    EXPECT_TRUE(rig.remote->OperationPending());
    EXPECT_EQ(rig.replies.back(), "0\n");  // not yet complete
    EXPECT_EQ(sweeps, before);
  });
  const size_t count = rig.replies.size() + 1;
  rig.analyser->Engine().on_sweep_done.Connect([&] {
    if (at_reply < 0 && !rig.remote->OperationPending()) at_reply = sweeps;
  });
  rig.platform.RunUntil([&] { return rig.replies.size() >= count && at_reply >= 0; }, 20000);
  rig.platform.RunFor(5);
  const auto r = rig.Send("*ESR?;:SENS:AVER:COUN?\n", 1);
  EXPECT_EQ(r.at(0), "1;5\n");
  EXPECT_EQ(at_reply - started, 5);
  // Each acquisition holds three sweeps: two of them hold the five.
  EXPECT_EQ(rig.sim.Counters().start_sweeps - starts, 2u);
}

TEST(RemoteSession, AnOverlongLineIsRefusedAndTheNextClientStartsClean) {
  RemoteRig rig;
  EXPECT_TRUE(rig.session->Receive(std::string(RemoteSession::kMaxLineBytes, 'A')));
  EXPECT_FALSE(rig.session->Receive("A"));  // the shell closes the connection
  RemoteSession next(*rig.remote, [&](std::string_view r) { rig.replies.emplace_back(r); });
  next.Receive("SYST:ERR?\n");
  EXPECT_EQ(rig.replies.at(0), "-100,\"Command error; line too long\"\n");
}

TEST(RemoteSession, DataBeforeAnySweepIsAnsweredAtOnceWithItsError) {
  RemoteRig rig;
  rig.session->Receive("FORM REAL,64;:CALC:DATA:SDAT?;:SYST:ERR?\n");
  ASSERT_EQ(rig.replies.size(), 1u);
  EXPECT_EQ(rig.replies[0], ";-230,\"Data corrupt or stale; no sweep has completed\"\n");
}

TEST(RemoteSession, AReplyTheClientDidNotWaitForIsDroppedAndSaysSo) {
  RemoteRig rig;
  rig.Send("INIT:CONT OFF;*CLS\n");
  // The client gave up on *OPC? and asks its next question: the held
  // replies are dropped, so the line it reads next answers that question.
  auto r = rig.Send("*IDN?;INIT;*OPC?\n*ESR?;:SYST:ERR?;:SYST:ERR?\n", 1);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0],
            "4;-410,\"Query INTERRUPTED; a new message came before the reply\";+0,\"No "
            "error\"\n");
  // A held message that owes no reply is simply waited for.
  r = rig.Send("INIT;*WAI\nSYST:ERR?\n", 1);
  EXPECT_EQ(r, std::vector<std::string>{"+0,\"No error\"\n"});

  // The connection closes on a held *OPC? and on a query without its line
  // end; the next client finds both.
  rig.platform.At(rig.platform.NowMicroseconds() / 1000 + 1, [&] {
    rig.session->Receive("INIT;*OPC?\nSENS:FREQ:STAR?");
    rig.Reconnect();
  });
  r = rig.Send("SYST:ERR?;:SYST:ERR?;*ESR?\n", 1);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0],
            "-410,\"Query INTERRUPTED; the connection closed before the reply\";-420,\"Query "
            "UNTERMINATED; the connection closed before the query's line end\";4\n");
  EXPECT_EQ(rig.replies.size(), 3u);  // the closed connection was sent nothing
}

}  // namespace
}  // namespace ostra::testing

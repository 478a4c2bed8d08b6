// The devices under test that the simulated instrument can have connected,
// with their true S-parameters: the reflection Γ seen at the reflection port
// and the transmission S21 between the ports.
#pragma once

#include <complex>
#include <optional>
#include <string>
#include <string_view>

namespace ostra {

enum class Dut {
  Open,       // Γ = +1, nothing transmitted
  Short,      // Γ = -1, nothing transmitted
  Load,       // Γ = 0 (a 50 ohm termination), nothing transmitted
  Thru,       // S21 = 1, matched
  SeriesRlc,  // series R-L-C: terminating the port, or across the line between the ports
  BandPass,   // third-order coupled-resonator band-pass filter
};

inline constexpr double kReferenceImpedance = 50.0;

// "open", "short", "load", "thru", "rlc" (or "series-rlc"), "bandpass" (or
// "band-pass"), in any letter case.
std::optional<Dut> ParseDut(std::string_view text);
std::string DutName(Dut dut);
// What a person reads in a menu: "Open standard", "Series RLC at 35 MHz".
std::string DutCaption(Dut dut);

// Series RLC: 10 ohm, 470 nH, resonant at 35 MHz.
inline constexpr double kRlcResistance = 10.0;
inline constexpr double kRlcInductance = 470e-9;
inline constexpr double kRlcResonance = 35e6;
// Band-pass: Butterworth, centre 35 MHz, 12 MHz bandwidth, inductor Q 120.
inline constexpr double kBandPassCentre = 35e6;
inline constexpr double kBandPassBandwidth = 12e6;
inline constexpr double kBandPassInductorQ = 120.0;

// The true reflection coefficient at `hz` (50 ohm reference). A two-port is
// seen with its far port terminated in 50 ohms.
std::complex<double> TrueReflection(Dut dut, double hz);
// The true transmission S21 at `hz`; 0 for the one-port standards.
std::complex<double> TrueTransmission(Dut dut, double hz);

}  // namespace ostra

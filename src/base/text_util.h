// Number texts as the program reads and writes them: conversions that raise
// the conversion error on bad input, round-half-to-even, and locale-free
// printf-style formatting (a point is the decimal separator everywhere).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostra {

// The longest bad value a message or a log line quotes whole; a longer one is
// cut to this many characters and "..." follows it.
inline constexpr size_t kMaxQuotedLength = 40;

// `text` as a message or a log line quotes it: whole when it is short, else
// its first kMaxQuotedLength characters (never half a UTF-8 character) and
// "...". A bad value of megabytes would otherwise stall the box showing it.
std::string CutForMessage(std::string_view text);

// Whole number of a text: optional blanks, optional sign, decimal digits.
// Raises ConversionError "'<text>' is not a valid integer value" (the text
// cut by CutForMessage).
int64_t StrToInt(std::string_view text);
// Decimal number of a text ('.' or ',' as separator, optional exponent).
// Raises ConversionError "'<text>' is not a valid floating point value".
double StrToFloat(std::string_view text);
bool TryStrToFloat(std::string_view text, double& value);
bool TryStrToInt(std::string_view text, int64_t& value);

// A typed number made whole: the text read as a decimal number (as
// TryStrToFloat reads it) times `factor`, rounded to the nearest whole number
// with ties to the even one, computed in extended precision and held as a
// 64-bit integer (at the ends of its range beyond it). False when the text is
// not a number.
bool TryWholeNumber(std::string_view text, int64_t factor, int64_t& value);

// Nearest integer, ties to the even one; held at the ends of the 64-bit
// range beyond it, 0 for NaN.
int64_t RoundHalfEven(double value);

// Fixed notation with `decimals` digits after the point ("%1.3f").
std::string FormatFixed(double value, int decimals);
// Shortest general form with up to 15 significant digits: 30 -> "30",
// 0.2 -> "0.2", 20000000 -> "20000000". The text always reads back (up to
// 17 digits next to the largest double).
std::string FormatGeneral(double value);
// Upper-case hexadecimal with at least `digits` digits ("%08X").
std::string FormatHex(uint64_t value, int digits);
// Decimal with at least `digits` digits, zero padded ("%1.2d").
std::string FormatPadded(int64_t value, int digits);

// Splits a line into fields; any run of characters up to and including the
// blank (blanks, tabs, control characters) separates two fields.
std::vector<std::string_view> SplitFields(std::string_view line);

std::string ToUpper(std::string_view text);

// The lines of a text file's content, without their ends: CR LF, LF and a
// lone CR each end a line (files come from Windows, Unix and old Mac
// editors). A last line without an end is a line; an empty text has none.
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace ostra

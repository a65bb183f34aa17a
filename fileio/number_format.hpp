// The number and text formats of the three model files. Every routine here is
// independent of the C locale: numbers go through std::to_chars and
// std::from_chars only, so a decimal comma in the user's regional settings never
// reaches a file.
//
// The fixed-width routines write exactly the stated number of characters at
// `out` (no terminating NUL) and return the position just past them; they never
// allocate. The *_text wrappers return a std::string for callers outside the hot
// path (windows, tests).
//
// Values that are not finite are written in every format as "Nan", "+Inf" or
// "-Inf", aligned like a number; parse_number reads these spellings back.
// A zero of either sign is written without a sign.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vindrel {

// Width of a parameter file value (" 1.50000000000000E+0000").
inline constexpr std::size_t kParamRealWidth = 23;
// Width of a driver or output file number field, and of a name or unit field.
inline constexpr std::size_t kFieldWidth = 25;
// Longest text format_general can produce ("-1.2345678901234567E-308" and the
// like): a buffer of this size always suffices.
inline constexpr std::size_t kMaxGeneralLength = 26;

// Parameter file real: a space (positive or zero) or "-", one digit, ".", 14
// digits rounded to nearest, "E", the exponent's sign and four exponent digits.
// 1.5 -> " 1.50000000000000E+0000", -0.00125 -> "-1.25000000000000E-0003".
// Non-finite values are right-aligned in the 23 characters. Writes 23 characters.
char* format_param_real(char* out, double value) noexcept;

// "%-25.13e": an optional "-", one digit, ".", 12 digits, "E", the exponent's
// sign and at least three exponent digits, left-aligned and padded with spaces
// to 25 characters. 1.5 -> "1.500000000000E+000      ". Writes 25 characters.
char* format_e13_left(char* out, double value) noexcept;

// "%25.13e": the same number right-aligned in 25 characters. Writes 25 characters.
char* format_e13_right(char* out, double value) noexcept;

// General format with `precision` significant digits (1 to 17), unpadded: the
// value rounded to `precision` significant digits, trailing zeros and a trailing
// decimal point removed, a leading "-" for a negative value. With the value
// written as 0.d1d2... x 10^e, fixed notation is used when -3 <= e <= precision,
// otherwise scientific notation: the digits with a "." after the first, "E", a
// "-" only for a negative exponent, and the exponent without leading zeros.
// 365 -> "365", 0.0001 -> "0.0001", 0.00001 -> "1E-5", 1e15 -> "1E15" (precision
// 15), 0 -> "0". Writes at most kMaxGeneralLength characters.
char* format_general(char* out, double value, int precision) noexcept;

// "%25g" of the output file's time column: format_general with 15 significant
// digits, right-aligned in 25 characters. Writes 25 characters.
char* format_g15_right(char* out, double value) noexcept;

// "%-W.Ws": the text left-aligned in `width` characters, padded with spaces and
// cut after `width` characters (bytes). Writes `width` characters.
char* format_text_left(char* out, std::string_view text, std::size_t width) noexcept;

// "%W.Ws": the text right-aligned in `width` characters, padded on the left
// with spaces and cut after its first `width` characters. Writes `width` characters.
char* format_text_right(char* out, std::string_view text, std::size_t width) noexcept;

// Longest text format_round_trip can produce ("-2.2250738585072014e-308").
inline constexpr std::size_t kMaxRoundTripLength = 24;

// The shortest text that reads back as exactly the same double (up to 17
// significant digits), for the CSV outputs that analysis tools read: fixed or
// scientific notation, whichever is shorter ("365", "0.5", "1e-05",
// "1.2345678901234567e+20"). A zero of either sign is "0". Values that are not
// finite are spelled as R and pandas read them: "NaN", "Inf", "-Inf".
// Writes at most kMaxRoundTripLength characters, unpadded.
char* format_round_trip(char* out, double value) noexcept;

// Longest text format_round_trip_real can produce.
inline constexpr std::size_t kMaxRoundTripRealLength = kMaxRoundTripLength + 2;

// As format_round_trip, but a whole number keeps a decimal point ("365.0",
// "0.0", "-12.0"), so that every reader that guesses a column's type from its
// text (pandas, R, spreadsheets) takes it for a real number, whatever values
// a run happens to produce. Writes at most kMaxRoundTripRealLength characters.
char* format_round_trip_real(char* out, double value) noexcept;

// Reads one whole token as a number: an optional "+" or "-", digits with an
// optional "." and fraction, and an optional exponent ("E" or "e", optional
// sign, digits); also the non-finite spellings above in any letter case
// ("nan", "inf", "infinity"). The whole token must be used; a value outside the
// range of a double is refused. Returns false (value untouched) when the token
// is not such a number.
bool parse_number(std::string_view token, double& value) noexcept;

// Conveniences that allocate, for windows and tests.
std::string param_real_text(double value);
std::string e13_left_text(double value);
std::string e13_right_text(double value);
std::string g15_right_text(double value);
// The shortest decimal text with up to 15 significant digits (format_general,
// precision 15): what the editors, the progress window's labels and the driver
// editor's records show.
std::string shortest_decimal_text(double value);
// The general format with 5 significant digits (format_general, precision 5):
// the Present Time box and the process values of the parameter editor.
std::string general5_text(double value);
std::string round_trip_text(double value);

}  // namespace vindrel

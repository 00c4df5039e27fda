#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

// Number parsing and display shared by labels, descriptions, editing and the JSON writer.
namespace NumberText {

// Optional sign then ASCII digits only, within the signed 64-bit range ("007" is 7, " 7" and "1e3" are not).
std::optional<qint64> parseInteger(std::string_view text);
std::optional<qint64> parseInteger(const QString& text);

// The C library's strtod in the C locale, which must consume the whole text; leading whitespace is refused.
// Accepts hexadecimal literals, inf, infinity and nan like strtod does.
std::optional<double> parseFloat(std::string_view text);
std::optional<double> parseFloat(const QString& text);
// As parseFloat, but only finite results: a JSON document cannot hold inf or nan.
std::optional<double> parseFiniteFloat(const QString& text);

// Plain decimal.
QString integerText(qint64 value);
// Shortest round-trip digits; integral values keep ".0"; exponent form (1e+16, 1e-05) for very large or
// very small magnitudes; inf, -inf and nan.
QString floatText(double value);
void appendFloatText(std::string& out, double value);

// The value of a double when it is an integer in the signed 64-bit range.
std::optional<qint64> exactInteger(double value);

} // namespace NumberText

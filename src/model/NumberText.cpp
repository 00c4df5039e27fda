#include "model/NumberText.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>

namespace NumberText {

std::optional<qint64> parseInteger(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    size_t i = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    // Accumulate as a negative number so that the minimum value fits.
    qint64 value = 0;
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (value < (min + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == min)
            return std::nullopt;
        value = -value;
    }
    return value;
}

std::optional<qint64> parseInteger(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return parseInteger(std::string_view(utf8.constData(), size_t(utf8.size())));
}

static locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

std::optional<double> parseFloat(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    switch (text[0]) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
        return std::nullopt;
    default:
        break;
    }
    // strtod needs a terminated string; an embedded NUL then stops it short and fails the whole-text check.
    const std::string copy(text);
    char* end = nullptr;
    const double value = strtod_l(copy.c_str(), &end, cLocale());
    if (end != copy.c_str() + copy.size())
        return std::nullopt;
    return value;
}

std::optional<double> parseFloat(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return parseFloat(std::string_view(utf8.constData(), size_t(utf8.size())));
}

std::optional<double> parseFiniteFloat(const QString& text)
{
    const auto value = parseFloat(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

QString integerText(qint64 value)
{
    return QString::number(value);
}

void appendFloatText(std::string& out, double value)
{
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    char buffer[64];
    const double magnitude = std::fabs(value);
    const bool exponent = magnitude != 0 && (magnitude >= 1e16 || magnitude < 1e-4);
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      exponent ? std::chars_format::scientific : std::chars_format::fixed);
    std::string_view text(buffer, size_t(result.ptr - buffer));
    out += text;
    if (!exponent && text.find('.') == std::string_view::npos)
        out += ".0";
}

QString floatText(double value)
{
    std::string text;
    appendFloatText(text, value);
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

std::optional<qint64> exactInteger(double value)
{
    // 2^63 is exactly representable; every double below it in magnitude that is integral fits.
    constexpr double limit = 9223372036854775808.0;
    if (!(value >= -limit && value < limit) || std::trunc(value) != value)
        return std::nullopt;
    return static_cast<qint64>(value);
}

} // namespace NumberText

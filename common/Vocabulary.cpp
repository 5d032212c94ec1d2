#include "common/Vocabulary.h"

#include "common/Text.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace Kelvra {

QString FormatSeconds(qint64 seconds) {
    const bool negative = seconds < 0;
    const quint64 magnitude = negative ? 0 - static_cast<quint64>(seconds) : static_cast<quint64>(seconds);
    char hours[24];
    std::snprintf(hours, sizeof hours, "%s%llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 3600));
    char text[40];
    const int n =
        std::snprintf(text, sizeof text, "%3s:%02u:%02u", hours, static_cast<unsigned>(magnitude % 3600 / 60),
                      static_cast<unsigned>(magnitude % 60));
    return QString::fromLatin1(text, n);
}

int SaturatingAdd(int seconds, qint64 added) {
    // Both within 64 bits: an int plus any charge a clock can measure never overflows qint64.
    const qint64 sum = qint64{seconds} + std::clamp<qint64>(added, std::numeric_limits<int>::min() * 2LL,
                                                            std::numeric_limits<int>::max() * 2LL);
    return static_cast<int>(
        std::clamp<qint64>(sum, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

QString QuotedName(const QString& name) {
    constexpr int kMost = 32;
    return QLatin1Char('"') + (name.size() <= kMost ? name : name.left(kMost - 1) + QChar(0x2026)) +
           QLatin1Char('"');
}

QString CsvField(const QString& value) {
    const bool bPlain = (value.isEmpty() || (!value.front().isSpace() && !value.back().isSpace())) &&
                        std::none_of(value.begin(), value.end(), [](QChar c) {
                            return c == QLatin1Char(',') || c == QLatin1Char('"') || c.unicode() < 0x20 ||
                                   c.unicode() == 0x7f;
                        });
    if (bPlain) {
        return value;
    }
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString StderrLine(const QString& message) {
    return QString::fromStdString(Plain::StderrLine(message.toStdString()));
}

} // namespace Kelvra

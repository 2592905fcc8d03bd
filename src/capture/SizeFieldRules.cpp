#include "capture/SizeFieldRules.h"

#include <cmath>

namespace pintora::sizeField {

std::optional<qint64> parseInteger(const QString& text) {
    if (text.isEmpty()) return std::nullopt;
    qsizetype digits = text[0] == u'+' || text[0] == u'-' ? 1 : 0;
    if (digits == text.size()) return std::nullopt;
    for (qsizetype i = digits; i < text.size(); ++i)
        if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok) return std::nullopt;
    return value;
}

QString step(const QString& text, double stored, int direction) {
    const qint64 current = parseInteger(text).value_or(qint64(std::trunc(stored)));
    qint64 value = current + 10 * qint64(direction);
    if (value < 2) value = 1;
    return QString::number(value);
}

std::optional<double> committed(const QString& text) {
    const auto value = parseInteger(text);
    if (!value || *value < 1) return std::nullopt;
    return double(*value);
}

} // namespace pintora::sizeField

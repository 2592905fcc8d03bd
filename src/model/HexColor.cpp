#include "model/HexColor.h"

namespace pintora {

std::optional<QColor> colorFromHex(QStringView text) {
    QStringView digits = text.trimmed();
    if (digits.startsWith(u'#')) digits = digits.mid(1);
    if (digits.size() != 6 && digits.size() != 8) return std::nullopt;

    quint32 value = 0;
    for (QChar c : digits) {
        const char16_t u = c.unicode();
        quint32 nibble;
        if (u >= '0' && u <= '9')
            nibble = u - '0';
        else if (u >= 'a' && u <= 'f')
            nibble = u - 'a' + 10;
        else if (u >= 'A' && u <= 'F')
            nibble = u - 'A' + 10;
        else
            return std::nullopt;
        value = (value << 4) | nibble;
    }

    quint32 r, g, b, a = 0xFF;
    if (digits.size() == 6) {
        r = (value >> 16) & 0xFF;
        g = (value >> 8) & 0xFF;
        b = value & 0xFF;
    } else {
        r = (value >> 24) & 0xFF;
        g = (value >> 16) & 0xFF;
        b = (value >> 8) & 0xFF;
        a = value & 0xFF;
    }
    // v * 257 is v / 255 in QColor's 16-bit components, exactly.
    return QColor::fromRgba64(quint16(r * 257), quint16(g * 257), quint16(b * 257),
                              quint16(a * 257));
}

QString toHex(const QColor& color) {
    // QColor keeps 16 bits a component; c * 255 / 65535 truncated is the 8-bit value the format
    // asks for (0.5 gives 7F), and v * 257 maps back to exactly v.
    const QRgba64 rgb = (color.isValid() ? color.toRgb() : QColor(Qt::black)).rgba64();
    auto eightBits = [](quint16 c) { return unsigned(c) * 255u / 65535u; };
    return QString::asprintf("#%02X%02X%02X", eightBits(rgb.red()), eightBits(rgb.green()),
                             eightBits(rgb.blue()));
}

} // namespace pintora

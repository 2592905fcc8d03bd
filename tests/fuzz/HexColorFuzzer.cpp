// Hex colours typed or stored as text: a colour read from any text writes back as the same
// opaque colour, and reads back from what it writes.
#include "FuzzCheck.h"
#include "model/HexColor.h"

#include <cstdint>

using namespace pintora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The same bytes as UTF-8 and as UTF-16, so both ASCII and wide characters reach the parser.
    const QString utf8 = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString utf16(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    for (const QString& text : {utf8, utf16}) {
        const std::optional<QColor> color = colorFromHex(text);
        if (!color) continue;
        FUZZ_CHECK(color->isValid());
        const QString hex = toHex(*color);
        FUZZ_CHECK(hex.size() == 7);
        const std::optional<QColor> back = colorFromHex(hex);
        FUZZ_CHECK(back);
        FUZZ_CHECK(back->rgb() == color->rgb());
        FUZZ_CHECK(back->alpha() == 255);
        // Six or eight digits after an optional "#": the writer's digits are the first six.
        QStringView digits = QStringView(text).trimmed();
        if (digits.startsWith(u'#')) digits = digits.mid(1);
        FUZZ_CHECK(hex.mid(1) == digits.left(6).toString().toUpper());
    }
    return 0;
}

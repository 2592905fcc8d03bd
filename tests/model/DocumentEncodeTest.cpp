#include "model/DocumentCodec.h"
#include "support/TestFiles.h"

#include <QRandomGenerator>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace pintora;

namespace {
QUuid id(const char* text) {
    return QUuid::fromString(QLatin1StringView(text));
}

QByteArray encode(const CanvasState& state) {
    auto result = encodeCanvasStateToBytes(state);
    EXPECT_TRUE(result.ok()) << result.error().toStdString();
    return result ? result.value() : QByteArray();
}
} // namespace

TEST(DocumentEncode, WritesTheExactTextOfTheFileFormat) {
    CanvasState state;
    ImageItem image{.id = id("11111111-2222-3333-4444-555555555555"),
                    .frame = QRectF(0, 0, 1280, 800),
                    .pngData = QByteArray("\xff\xff\xfe", 3)};
    ShapeItem arrow = makeShape(ShapeKind::arrow, QRectF(-10.5, 0.1, 300, 40));
    arrow.id = id("aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee");
    arrow.lineWidth = 9;
    TextItem note{.id = id("00000000-0000-0000-0000-00000000000f"),
                  .frame = QRectF(1, 2, 3, 4),
                  .string = QStringLiteral("a/b \"c\"\n\t\x01é"),
                  .fontSize = 60,
                  .wraps = true,
                  .style = TextStyle::critical};
    state.items = {image, arrow, note};
    state.tabs = {BrowserTab{id("12345678-90ab-cdef-1234-567890abcdef"),
                             QStringLiteral("https://example.org/"), QStringLiteral("New Tab")}};

    const QByteArray expected =
        R"({"items":[{"image":{"_0":{"id":"11111111-2222-3333-4444-555555555555",)"
        R"("frame":[[0,0],[1280,800]],"pngData":"\/\/\/+","cropRect":[[0,0],[1,1]]}}},)"
        R"({"shape":{"_0":{"id":"AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE","kind":"arrow",)"
        R"("frame":[[-10.5,0.1],[300,40]],"strokeHex":"#FF3B30","lineWidth":9,"filled":false,)"
        R"("hasStartHead":false,"hasEndHead":true,"calloutHead":"circle","calloutSize":80}}},)"
        R"({"text":{"_0":{"id":"00000000-0000-0000-0000-00000000000F","frame":[[1,2],[3,4]],)"
        R"("string":"a\/b \"c\"\n\t\u0001é","fontSize":60,"colorHex":"#000000","wraps":true,)"
        R"("style":"critical"}}}],"zoom":1,"panX":0,"panY":0,)"
        R"("tabs":[{"id":"12345678-90AB-CDEF-1234-567890ABCDEF","url":"https:\/\/example.org\/",)"
        R"("title":"New Tab"}],"activeTabIndex":0,"defaultLineWidth":9,"defaultFontSize":60,)"
        R"("defaultNoteStyle":"critical"})";
    EXPECT_EQ(encode(state).toStdString(), expected.toStdString());

    state.lastActiveTabRaw = QStringLiteral("annotate");
    EXPECT_TRUE(
        encode(state).endsWith(R"("defaultNoteStyle":"critical","lastActiveTabRaw":"annotate"})"));
}

TEST(DocumentEncode, NumbersAreShortestAndIntegralOnesHaveNoFraction) {
    const std::pair<double, const char*> cases[] = {
        {1280, "1280"},
        {-0.0, "-0"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1e-7, "1e-07"},
        {1e21, "1000000000000000000000"},
        {9007199254740993.0, "9007199254740992"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(formatJsonNumber(value), text);
    // Whatever the value, the text reads back to the same double.
    for (int i = 0; i < 2000; ++i) {
        const double value = std::ldexp(QRandomGenerator::global()->generateDouble() - 0.5,
                                        QRandomGenerator::global()->bounded(-80, 80));
        const std::string text = formatJsonNumber(value);
        ASSERT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    }
    // The longest integral value: 309 digits and a sign, no exponent.
    EXPECT_EQ(formatJsonNumber(-std::numeric_limits<double>::max()).size(), 310u);
}

TEST(DocumentEncode, NonFiniteNumbersFailTheSaveAndSayWhere) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<std::function<void(CanvasState&)>, const char*> cases[] = {
        {[&](CanvasState& s) { s.zoom = std::nan(""); }, "zoom: "},
        {[&](CanvasState& s) { s.items[1].shape()->lineWidth = inf; },
         "items[1].shape._0.lineWidth: "},
        {[&](CanvasState& s) { s.items[0].image()->frame.setWidth(-inf); },
         "items[0].image._0.frame: "},
    };
    for (const auto& [spoil, where] : cases) {
        CanvasState state = test::sampleState();
        spoil(state);
        const auto result = encodeCanvasStateToBytes(state);
        EXPECT_TRUE(!result.ok() && result.error().startsWith(QLatin1StringView(where)))
            << where << result.error().toStdString();
    }
}

TEST(DocumentEncode, TextWithNulCharactersIsWrittenWhole) {
    const QString withNul = QStringLiteral("before") + QChar(0) + QStringLiteral("after");
    TextItem text{.string = withNul};
    CanvasState state;
    state.items = {text};
    state.tabs = {BrowserTab{QUuid::createUuid(), withNul, withNul}};
    state.lastActiveTabRaw = withNul;
    const auto decoded = decodeCanvasState(encode(state), QString());
    ASSERT_TRUE(decoded.ok()) << decoded.error().toStdString();
    EXPECT_EQ(decoded.value(), state);
    EXPECT_EQ(decodeItems(encodeItems(state.items).value()).value(), state.items);
}

#include "model/DocumentCodec.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {
const QString startPage = QStringLiteral("https://start.example/");
const char* frame = R"("frame":[[1,2],[3,4]])";
const char* someId = "6F9619FF-8B86-D011-B42D-00C04FC964FF";

Expected<CanvasState> decode(const std::string& json) {
    return decodeCanvasState(QByteArrayView(json.data(), qsizetype(json.size())), startPage);
}

CanvasState decodeOk(const std::string& json) {
    auto result = decode(json);
    EXPECT_TRUE(result.ok()) << result.error().toStdString() << "\n" << json;
    return result ? result.value() : CanvasState{};
}

std::string itemsDocument(const std::string& items) {
    return R"({"items":[)" + items + "]}";
}

CanvasItem decodeOneItem(const std::string& item) {
    const CanvasState state = decodeOk(itemsDocument(item));
    EXPECT_EQ(state.items.size(), 1);
    return state.items.value(0, CanvasItem(TextItem{}));
}
} // namespace

TEST(DocumentDecode, EmptyObjectIsANewDocument) {
    const CanvasState state = decodeOk("{}");
    ASSERT_EQ(state.tabs.size(), 1);
    EXPECT_EQ(state.tabs[0].url, startPage);
    EXPECT_EQ(state.tabs[0].title, "New Tab");
    CanvasState expected = CanvasState::makeNew(startPage);
    expected.tabs = state.tabs;
    EXPECT_EQ(state, expected);
}

TEST(DocumentDecode, AbsentAndNullMembersTakeTheirDefaults) {
    const CanvasState state = decodeOk(R"({"items":null,"zoom":null,"tabs":[],"panX":2,)"
                                       R"("defaultNoteStyle":null,"lastActiveTabRaw":null})");
    EXPECT_TRUE(state.tabs.isEmpty()); // an empty array stays empty
    EXPECT_EQ(state.zoom, 1);
    EXPECT_EQ(state.panX, 2);
    EXPECT_EQ(state.defaultLineWidth, 9);
    EXPECT_EQ(state.defaultFontSize, 60);
    EXPECT_EQ(state.defaultNoteStyle, TextStyle::critical);
    EXPECT_FALSE(state.lastActiveTabRaw);
}

TEST(DocumentDecode, ShapeEndHeadDefaultsByKind) {
    struct Case {
        const char* members;
        bool endHead;
    };
    const Case cases[] = {
        {R"("kind":"arrow")", true},
        {R"("kind":"line")", false},
        {R"("kind":"rect")", false},
        {R"("kind":"arrow","hasEndHead":false)", false},
        {R"("kind":"line","hasEndHead":true)", true},
        {R"("kind":"arrow","hasEndHead":null)", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.members);
        const CanvasItem item =
            decodeOneItem(std::string(R"({"shape":{"_0":{)") + frame + "," + c.members + "}}}");
        ASSERT_TRUE(item.shape());
        EXPECT_EQ(item.shape()->hasEndHead, c.endHead);
    }
}

TEST(DocumentDecode, ItemWithOnlyItsRequiredMembersTakesDefaults) {
    const CanvasItem text = decodeOneItem(std::string(R"({"text":{"_0":{)") + frame + "}}}");
    ASSERT_TRUE(text.text());
    TextItem expected;
    expected.id = text.id();
    expected.frame = QRectF(1, 2, 3, 4);
    EXPECT_EQ(*text.text(), expected);
    EXPECT_FALSE(text.id().isNull());

    const CanvasItem image =
        decodeOneItem(std::string(R"({"image":{"_0":{"pngData":"YWI=",)") + frame + "}}}");
    ASSERT_TRUE(image.image());
    EXPECT_EQ(image.image()->cropRect, QRectF(0, 0, 1, 1));
    EXPECT_EQ(image.image()->pngData, "ab");

    const CanvasItem shape = decodeOneItem(std::string(R"({"shape":{"_0":{"id":")") + someId +
                                           R"(","kind":"callout",)" + frame + "}}}");
    ASSERT_TRUE(shape.shape());
    EXPECT_EQ(shape.id(), QUuid::fromString(QLatin1StringView(someId)));
    EXPECT_EQ(shape.shape()->calloutSize, 80);
    EXPECT_EQ(shape.shape()->calloutHead, CalloutHead::circle);
}

TEST(DocumentDecode, UnknownMembersAreIgnoredAnywhere) {
    const CanvasState state = decodeOk(
        std::string(R"({"future":{"a":[1,{"b":null}]},"items":[{"shape":{"_0":{"kind":"rect",)") +
        frame + R"(,"glow":true}},"note":"x"}],"zoom":2})");
    ASSERT_EQ(state.items.size(), 1);
    EXPECT_TRUE(state.items[0].shape());
    EXPECT_EQ(state.zoom, 2);
}

TEST(DocumentDecode, EscapedTextAndPicturesAreUnescaped) {
    const CanvasItem text = decodeOneItem(std::string(R"({"text":{"_0":{)") + frame +
                                          R"(,"string":"a\/b \"q\" \u00e9\n\ud83d\ude00"}}})");
    EXPECT_EQ(text.text()->string, QString::fromUtf8("a/b \"q\" é\n😀"));
    const CanvasItem image =
        decodeOneItem(std::string(R"({"image":{"_0":{)") + frame + R"(,"pngData":"\/\/8="}}})");
    EXPECT_EQ(image.image()->pngData, QByteArray("\xff\xff"));
    const CanvasItem lower =
        decodeOneItem(std::string(R"({"text":{"_0":{"id":")") +
                      QByteArray(someId).toLower().toStdString() + R"(",)" + frame + "}}}");
    EXPECT_EQ(lower.id(), QUuid::fromString(QLatin1StringView(someId)));
}

TEST(DocumentDecode, FailuresNameTheMemberAndTheReason) {
    const std::string shape = std::string(R"({"shape":{"_0":{"kind":"rect",)") + frame + "}}}";
    struct Case {
        std::string json;
        const char* message;
    };
    const Case cases[] = {
        {itemsDocument(shape + "," + shape + "," + shape + R"(,{"shape":{"_0":{"kind":"hexagon",)" +
                       frame + "}}}"),
         R"(items[3].shape._0.kind: "hexagon" is not a shape kind)"},
        {itemsDocument(R"({"image":{"_0":{)" + std::string(frame) + "}}}"),
         R"(items[0].image._0: missing required member "pngData")"},
        {itemsDocument(R"({"text":{"_0":{"string":"x"}}})"),
         R"(items[0].text._0: missing required member "frame")"},
        {itemsDocument(R"({"shape":{"_0":{)" + std::string(frame) + "}}}"),
         R"(items[0].shape._0: missing required member "kind")"},
        {itemsDocument(R"({"image":{},"text":{}})"),
         "items[0]: Invalid number of keys found, expected one."},
        {itemsDocument(R"({})"), "items[0]: Invalid number of keys found, expected one."},
        {itemsDocument(R"({"picture":{"_0":{}}})"),
         "items[0]: Invalid number of keys found, expected one."},
        {itemsDocument(R"({"text":{"_1":{}}})"), R"(items[0].text: missing required member "_0")"},
        {itemsDocument(R"({"text":[]})"), "items[0].text: expected an object"},
        {itemsDocument(R"(7)"), "items[0]: expected an item object"},
        {itemsDocument(R"({"text":{"_0":{"frame":[[1,2],[3]]}}})"),
         "items[0].text._0.frame: expected a rectangle [[x, y], [width, height]]"},
        {itemsDocument(R"({"text":{"_0":{"frame":[[1,2],[3,4],[5,6]]}}})"),
         "items[0].text._0.frame: expected a rectangle [[x, y], [width, height]]"},
        {itemsDocument(R"({"text":{"_0":{"frame":[1,2,3,4]}}})"),
         "items[0].text._0.frame: expected a rectangle [[x, y], [width, height]]"},
        {itemsDocument(R"({"text":{"_0":{"frame":[["1",2],[3,4]]}}})"),
         "items[0].text._0.frame: expected a rectangle [[x, y], [width, height]]"},
        {itemsDocument(R"({"text":{"_0":{"fontSize":"20",)" + std::string(frame) + "}}}"),
         "items[0].text._0.fontSize: expected a number"},
        {itemsDocument(R"({"text":{"_0":{"wraps":1,)" + std::string(frame) + "}}}"),
         "items[0].text._0.wraps: expected true or false"},
        {itemsDocument(R"({"text":{"_0":{"style":"loud",)" + std::string(frame) + "}}}"),
         R"(items[0].text._0.style: "loud" is not a text style)"},
        {itemsDocument(R"({"text":{"_0":{"id":"1234",)" + std::string(frame) + "}}}"),
         R"(items[0].text._0.id: "1234" is not a UUID)"},
        {itemsDocument(R"({"text":{"_0":{"id":"{6F9619FF-8B86-D011-B42D-00C04FC964FF}",)" +
                       std::string(frame) + "}}}"),
         R"(items[0].text._0.id: "{6F9619FF-8B86-D011-B42D-00C04FC964FF}" is not a UUID)"},
        {itemsDocument(R"({"image":{"_0":{"pngData":"abc",)" + std::string(frame) + "}}}"),
         "items[0].image._0.pngData: not valid Base64"},
        {itemsDocument(R"({"image":{"_0":{"pngData":12,)" + std::string(frame) + "}}}"),
         "items[0].image._0.pngData: expected a Base64 string"},
        {itemsDocument(R"({"shape":{"_0":{"kind":"callout","calloutHead":"star",)" +
                       std::string(frame) + "}}}"),
         R"(items[0].shape._0.calloutHead: "star" is not a callout head)"},
        {R"({"items":{}})", "items: expected an array of items"},
        {R"({"zoom":"1"})", "zoom: expected a number"},
        {R"({"zoom":1e400})", "zoom: number out of range"},
        {R"({"activeTabIndex":1.5})", "activeTabIndex: expected an integer"},
        {R"({"activeTabIndex":99999999999999999999})", "activeTabIndex: expected an integer"},
        {R"({"tabs":[{"id":")" + std::string(someId) + R"(","url":"u"}]})",
         R"(tabs[0]: missing required member "title")"},
        {R"({"defaultNoteStyle":"plainer"})", R"(defaultNoteStyle: "plainer" is not a text style)"},
        {R"({"lastActiveTabRaw":3})", "lastActiveTabRaw: expected a string"},
        {"[]", "expected a JSON object"},
        {R"({"zoom":1} {"zoom":2})", "malformed JSON (content after the end)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        const auto result = decode(c.json);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().toStdString(), c.message);
    }
}

TEST(DocumentDecode, ItemWrapperCountsOnlyCaseNames) {
    const CanvasItem item = decodeOneItem(
        std::string(R"({"extra":1,"shape":{"_0":{"kind":"line",)") + frame + R"(}},"more":[1]})");
    EXPECT_TRUE(item.shape());
}

TEST(DocumentDecode, MalformedJsonAnywhereFails) {
    const char* bad[] = {
        R"({"zoom":1,})",         R"({"future":[1,,2],"zoom":1})",
        R"({"future":{"a" 1}})",  R"({"future":tru})",
        R"({"zoom":nul})",        R"({"items":[)",
        "{\"x\":\"unterminated}", R"({"x":"bad escape \q"})",
    };
    for (const char* json : bad) {
        SCOPED_TRACE(json);
        const auto result = decode(json);
        EXPECT_FALSE(result.ok());
        EXPECT_FALSE(result.error().isEmpty());
    }
}

TEST(DocumentDecode, ItemListsForTheClipboard) {
    const CanvasState sample = test::sampleState();
    const auto encoded = encodeItems(sample.items);
    ASSERT_TRUE(encoded.ok());
    const auto decoded = decodeItems(encoded.value());
    ASSERT_TRUE(decoded.ok()) << decoded.error().toStdString();
    EXPECT_EQ(decoded.value(), sample.items);

    EXPECT_TRUE(decodeItems("[]").ok());
    EXPECT_FALSE(decodeItems("{}").ok());
    EXPECT_FALSE(decodeItems("").ok());
    EXPECT_FALSE(decodeItems("[{}]").ok());
    EXPECT_EQ(decodeItems(R"([{"text":{"_0":{}}}])").error(),
              R"([0].text._0: missing required member "frame")");
}

#include "model/DocumentCodec.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace pintora;

namespace {
const QString startPage = QStringLiteral("https://start.example/");
const std::string frame = R"("frame":[[1,2],[3,4]])";
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

// One item of the case `kind` with the given members.
std::string item(const char* kind, const std::string& members) {
    return std::string(R"({")") + kind + R"(":{"_0":{)" + members + "}}}";
}

CanvasItem decodeOneItem(const std::string& json) {
    const CanvasState state = decodeOk(itemsDocument(json));
    EXPECT_EQ(state.items.size(), 1);
    return state.items.value(0, CanvasItem(TextItem{}));
}
} // namespace

// Older files lack members added since: absent and null members take their defaults.
TEST(DocumentDecode, AbsentAndNullMembersTakeTheirDefaults) {
    const CanvasState empty = decodeOk("{}");
    CanvasState expected = CanvasState::makeNew(startPage);
    ASSERT_EQ(empty.tabs.size(), 1);
    expected.tabs[0].id = empty.tabs[0].id; // a fresh tab has a fresh id
    EXPECT_EQ(empty, expected);
    // The start page of the moment, not of an earlier read.
    EXPECT_EQ(decodeCanvasState("{}", QString()).value().tabs.value(0).url, "");

    const CanvasState state = decodeOk(R"({"items":null,"zoom":null,"tabs":[],"panX":2,)"
                                       R"("defaultNoteStyle":null,"lastActiveTabRaw":null})");
    expected.tabs.clear(); // an empty array stays empty
    expected.panX = 2;
    EXPECT_EQ(state, expected);
}

// Each kind of item takes the defaults of a new one; an arrow's end head is on unless written off.
TEST(DocumentDecode, ItemsWithOnlyTheirRequiredMembersTakeDefaults) {
    ImageItem image{.pngData = "ab"};
    ShapeItem lineWithHead = makeShape(ShapeKind::line, {});
    lineWithHead.hasEndHead = true;
    ShapeItem arrowWithout = makeShape(ShapeKind::arrow, {});
    arrowWithout.hasEndHead = false;
    const std::pair<std::string, CanvasItem> cases[] = {
        {item("text", frame), TextItem{}},
        {item("image", R"("pngData":"YWI=",)" + frame), image},
        {item("shape", R"("kind":"callout",)" + frame), makeShape(ShapeKind::callout, {})},
        {item("shape", R"("kind":"arrow","hasEndHead":null,)" + frame),
         makeShape(ShapeKind::arrow, {})},
        {item("shape", R"("kind":"arrow",)" + frame), makeShape(ShapeKind::arrow, {})},
        {item("shape", R"("kind":"line",)" + frame), makeShape(ShapeKind::line, {})},
        {item("shape", R"("kind":"arrow","hasEndHead":false,)" + frame), arrowWithout},
        {item("shape", R"("kind":"line","hasEndHead":true,)" + frame), lineWithHead},
    };
    for (auto [json, expected] : cases) {
        SCOPED_TRACE(json);
        const CanvasItem decoded = decodeOneItem(json);
        EXPECT_FALSE(decoded.id().isNull());
        expected.setFrame(QRectF(1, 2, 3, 4));
        std::visit([&](auto& item) { item.id = decoded.id(); }, expected.payload());
        EXPECT_EQ(decoded, expected);
    }
}

TEST(DocumentDecode, UnknownMembersAreIgnoredAnywhere) {
    // Members beside the case name of an item do not count as cases.
    const CanvasState state = decodeOk(
        R"({"future":{"a":[1,{"b":null}]},"items":[{"extra":1,"shape":{"_0":{"kind":"rect",)" +
        frame + R"(,"glow":true}},"note":"x"}],"zoom":2})");
    ASSERT_EQ(state.items.size(), 1);
    EXPECT_TRUE(state.items[0].shape());
    EXPECT_EQ(state.zoom, 2);
}

TEST(DocumentDecode, EscapedTextAndIdsInEitherCaseAreRead) {
    const CanvasItem text =
        decodeOneItem(item("text", frame + R"(,"string":"a\/b \"q\" \u00e9\n\ud83d\ude00")"));
    EXPECT_EQ(text.text()->string, QString::fromUtf8("a/b \"q\" é\n😀"));
    for (const QByteArray& id : {QByteArray(someId), QByteArray(someId).toLower()})
        EXPECT_EQ(
            decodeOneItem(item("text", R"("id":")" + id.toStdString() + R"(",)" + frame)).id(),
            QUuid::fromString(QLatin1StringView(someId)));
}

TEST(DocumentDecode, FailuresNameTheMemberAndTheReason) {
    const std::string shape = item("shape", R"("kind":"rect",)" + frame);
    const char* notARect = "items[0].text._0.frame: expected a rectangle [[x, y], [width, height]]";
    const std::pair<std::string, const char*> cases[] = {
        {itemsDocument(shape + "," + shape + "," + item("shape", R"("kind":"hexagon",)" + frame)),
         R"(items[2].shape._0.kind: "hexagon" is not a shape kind)"},
        {itemsDocument(item("image", frame)),
         R"(items[0].image._0: missing required member "pngData")"},
        {itemsDocument(R"({"image":{},"text":{}})"),
         "items[0]: Invalid number of keys found, expected one."},
        {itemsDocument(R"({"text":{"_1":{}}})"), R"(items[0].text: missing required member "_0")"},
        {itemsDocument(R"({"text":[]})"), "items[0].text: expected an object"},
        {itemsDocument("7"), "items[0]: expected an item object"},
        {itemsDocument(item("text", R"("frame":[[1,2],[3]])")), notARect},
        {itemsDocument(item("text", R"("frame":[["1",2],[3,4]])")), notARect},
        {itemsDocument(item("text", R"("fontSize":"20",)" + frame)),
         "items[0].text._0.fontSize: expected a number"},
        {itemsDocument(item("text", R"("id":"{6F9619FF-8B86-D011-B42D-00C04FC964FF}",)" + frame)),
         R"(items[0].text._0.id: "{6F9619FF-8B86-D011-B42D-00C04FC964FF}" is not a UUID)"},
        {itemsDocument(item("text", R"("id":"6F9619FF-8B86-D011-B42D-00C04FC964FG",)" + frame)),
         R"(items[0].text._0.id: "6F9619FF-8B86-D011-B42D-00C04FC964FG" is not a UUID)"},
        {itemsDocument(item("image", R"("pngData":"abc",)" + frame)),
         "items[0].image._0.pngData: not valid Base64"},
        {itemsDocument(item("image", R"("pngData":12,)" + frame)),
         "items[0].image._0.pngData: expected a Base64 string"},
        {R"({"items":{}})", "items: expected an array of items"},
        {R"({"zoom":1e400})", "zoom: number out of range"},
        {R"({"activeTabIndex":99999999999999999999})", "activeTabIndex: expected an integer"},
        {R"({"activeTabIndex":0.5})", "activeTabIndex: expected an integer"},
        {R"({"tabs":[{"id":")" + std::string(someId) + R"(","url":"u"}]})",
         R"(tabs[0]: missing required member "title")"},
        {"[]", "expected a JSON object"},
        {R"({"zoom":1} {"zoom":2})", "malformed JSON (content after the end)"},
    };
    for (const auto& [json, message] : cases)
        EXPECT_EQ(decode(json).error().toStdString(), message) << json;
}

TEST(DocumentDecode, WhatOtherWritersWriteOpens) {
    // A byte-order mark before the text, and a whole number written as a fraction.
    const auto read = decode("\xEF\xBB\xBF"
                             R"({"activeTabIndex":0.0,"zoom":2})");
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    EXPECT_EQ(read.value().activeTabIndex, 0);
    EXPECT_EQ(read.value().zoom, 2);
    EXPECT_EQ(decode("\xEF\xBB\xBF").error(), "The file is empty.");
}

TEST(DocumentDecode, MalformedJsonAnywhereFails) {
    for (const char* json : {R"({"zoom":1,})", R"({"future":[1,,2],"zoom":1})",
                             R"({"future":{"a" 1}})", R"({"future":tru})", R"({"zoom":nul})",
                             R"({"items":[)", "{\"x\":\"unterminated}", R"({"x":"bad escape \q"})"})
        EXPECT_FALSE(decode(json).ok()) << json;
}

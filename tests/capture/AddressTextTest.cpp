#include "capture/AddressText.h"

#include "capture/SizeFieldRules.h"

#include <gtest/gtest.h>

using namespace pintora;

TEST(AddressTextTest, TextBecomesAnAddressOrASearch) {
    const QString search = searchEndpoint;
    const struct {
        const char* text;
        QString expected; // empty: nothing is loaded
    } cases[] = {
        {"  example.com/path  ", "https://example.com/path"},
        {"two words", search + "two%20words"},
        {"localhost", "http://localhost"},
        {"127.0.0.1:8765/page.html", "http://127.0.0.1:8765/page.html"},
        {"192.168.1.20", "http://192.168.1.20"},
        {"172.32.0.1", "https://172.32.0.1"}, // not a private network
        {"[::1]:3000", "http://[::1]:3000"},
        {"example.com:8443/x", "http://example.com:8443/x"},
        {"http://127.0.0.1/a b", "http://127.0.0.1/a%20b"},
        {"a.b c", search + "a.b%20c"},
        {"caf\xc3\xa9", search + "caf%C3%A9"},
        {"   ", ""},
    };
    for (const auto& c : cases) {
        const auto url = urlForAddressText(QString::fromUtf8(c.text));
        if (c.expected.isEmpty())
            EXPECT_FALSE(url) << c.text;
        else
            EXPECT_EQ(url.value_or(QUrl()).toString(QUrl::FullyEncoded), c.expected) << c.text;
    }
}

TEST(AddressTextTest, AddressesAreKeptEncodedAndReadBackTheSame) {
    const struct {
        const char* address;
        const char* kept;
    } cases[] = {
        {"http://127.0.0.1:9/short.html?q=a b", "http://127.0.0.1:9/short.html?q=a%20b"},
        {"http://h.example/Caf\xc3\xa9", "http://h.example/Caf%C3%A9"},
        {"http://b\xc3\xbc"
         "cher.example/",
         "http://xn--bcher-kva.example/"},
        {"http://h.example/a%2Fb?x=1+2&y=%26#part", "http://h.example/a%2Fb?x=1+2&y=%26#part"},
    };
    for (const auto& c : cases) {
        const auto url = urlForStoredAddress(QString::fromUtf8(c.address));
        ASSERT_TRUE(url) << c.address;
        const QString kept = storedAddress(*url);
        EXPECT_EQ(kept, QString::fromLatin1(c.kept)) << c.address;
        // What the address field shows loads the same address again.
        EXPECT_EQ(storedAddress(urlForAddressText(addressForDisplay(kept)).value_or(QUrl())), kept)
            << c.address;
    }
    EXPECT_FALSE(urlForStoredAddress(QStringLiteral("no scheme")));
    EXPECT_EQ(addressForDisplay(QStringLiteral("http://h.example/Caf%C3%A9?q=a%20b")),
              QString::fromUtf8("http://h.example/Caf\xc3\xa9?q=a b"));
}

TEST(SizeFieldRulesTest, ArrowStepsAndCommitsFollowTheTypedNumber) {
    const struct {
        const char* text;
        double stored;
        int direction;
        const char* expected;
    } steps[] = {
        {"15", 800, -1, "5"}, {"1", 800, -1, "1"}, {"abc", 1024.9, +1, "1034"},
        {"+20", 0, +1, "30"}, {"-40", 0, +1, "1"}, {"1 0", 300, +1, "310"},
    };
    for (const auto& c : steps)
        EXPECT_EQ(sizeField::step(QString::fromLatin1(c.text), c.stored, c.direction),
                  QString::fromLatin1(c.expected))
            << c.text;

    const struct {
        const char* text;
        std::optional<double> expected;
    } commits[] = {{"+900", 900},
                   {"0", std::nullopt},
                   {"12px", std::nullopt},
                   {"99999999999999999999", std::nullopt}};
    for (const auto& c : commits)
        EXPECT_EQ(sizeField::committed(QString::fromLatin1(c.text)), c.expected) << c.text;
}

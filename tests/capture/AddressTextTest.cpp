#include "capture/AddressText.h"

#include "capture/SizeFieldRules.h"

#include <gtest/gtest.h>

using namespace pintora;

TEST(AddressTextTest, TextBecomesAnAddressOrASearch) {
    const QString search = searchEndpoint;
    struct Case {
        const char* text;
        QString expected; // empty: nothing is loaded
    } cases[] = {
        {"https://example.com/a?b=c", "https://example.com/a?b=c"},
        {"ftp://files.example", "ftp://files.example"},
        {"example.com/path", "https://example.com/path"},
        {"  example.com  ", "https://example.com"},
        {"two words", search + "two%20words"},
        {"localhost", search + "localhost"},
        {"localhost:8080", search + "localhost:8080"},
        {"a.b c", search + "a.b%20c"},
        {"x&y=z", search + "x&y=z"},
        {"caf\xc3\xa9", search + "caf%C3%A9"},
        {"   ", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        const auto url = urlForAddressText(QString::fromUtf8(c.text));
        if (c.expected.isEmpty())
            EXPECT_FALSE(url) << c.text;
        else
            EXPECT_EQ(url.value_or(QUrl()).toString(QUrl::FullyEncoded), c.expected) << c.text;
    }
}

TEST(SizeFieldRulesTest, ArrowStepsAndCommitsFollowTheTypedNumber) {
    struct Case {
        const char* text;
        double stored;
        int direction;
        const char* expected;
    } steps[] = {
        {"844", 844, +1, "854"}, {"15", 800, -1, "5"},        {"5", 800, -1, "1"},
        {"1", 800, -1, "1"},     {"abc", 1024.9, +1, "1034"}, {"", 768, -1, "758"},
        {"+20", 0, +1, "30"},    {"-40", 0, +1, "1"},         {"1 0", 300, +1, "310"},
    };
    for (const Case& c : steps)
        EXPECT_EQ(sizeField::step(QString::fromLatin1(c.text), c.stored, c.direction),
                  QString::fromLatin1(c.expected))
            << c.text;

    struct Commit {
        const char* text;
        std::optional<double> expected;
    } commits[] = {{"1440", 1440},
                   {"+900", 900},
                   {"0", std::nullopt},
                   {"-5", std::nullopt},
                   {"", std::nullopt},
                   {"12px", std::nullopt},
                   {"99999999999999999999", std::nullopt}};
    for (const Commit& c : commits)
        EXPECT_EQ(sizeField::committed(QString::fromLatin1(c.text)), c.expected) << c.text;
}

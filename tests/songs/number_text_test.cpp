#include "songs/number_text.h"
#include "songs/song_errors.h"

#include <gtest/gtest.h>
#include <string>

using namespace cantorix::songs;

namespace {

std::string integerMessage(std::string_view text) {
    try {
        parseIntegerText(text);
    } catch (const EConvertError& e) {
        return e.what();
    }
    return "accepted";
}

std::string floatMessage(std::string_view text) {
    try {
        parseDecimalCommaText(text);
    } catch (const EConvertError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(NumberTextTest, IntegersAllowLeadingSpacesAndASign) {
    EXPECT_EQ(parseIntegerText("250"), 250);
    EXPECT_EQ(parseIntegerText("   250"), 250);
    EXPECT_EQ(parseIntegerText("-1"), -1);
    EXPECT_EQ(parseIntegerText("+7"), 7);
    EXPECT_EQ(parseIntegerText("007"), 7);
    EXPECT_EQ(parseIntegerText("2147483647"), 2147483647);
    EXPECT_EQ(parseIntegerText(" -2147483648"), INT32_MIN);
}

TEST(NumberTextTest, IntegerFailuresQuoteTheTextAsGiven) {
    EXPECT_EQ(integerMessage(""), "'' is not a valid integer value");
    EXPECT_EQ(integerMessage(" "), "' ' is not a valid integer value");
    EXPECT_EQ(integerMessage("250 "), "'250 ' is not a valid integer value");
    EXPECT_EQ(integerMessage("20 24"), "'20 24' is not a valid integer value");
    EXPECT_EQ(integerMessage("4x"), "'4x' is not a valid integer value");
    EXPECT_EQ(integerMessage("-"), "'-' is not a valid integer value");
    EXPECT_EQ(integerMessage("--1"), "'--1' is not a valid integer value");
    EXPECT_EQ(integerMessage("\t1"), "'\t1' is not a valid integer value");
    EXPECT_EQ(integerMessage("0x10"), "'0x10' is not a valid integer value");
    EXPECT_EQ(integerMessage("2147483648"), "'2147483648' is not a valid integer value");
    EXPECT_EQ(integerMessage("-2147483649"), "'-2147483649' is not a valid integer value");
    EXPECT_EQ(integerMessage("99999999999999999999"),
              "'99999999999999999999' is not a valid integer value");
}

TEST(NumberTextTest, RealsTakeACommaAsDecimalSeparator) {
    EXPECT_DOUBLE_EQ(parseDecimalCommaText("120"), 120.0);
    EXPECT_DOUBLE_EQ(parseDecimalCommaText("120,5"), 120.5);
    EXPECT_DOUBLE_EQ(parseDecimalCommaText("87,5"), 87.5);
    EXPECT_DOUBLE_EQ(parseDecimalCommaText(" 120,5 "), 120.5);
    EXPECT_DOUBLE_EQ(parseDecimalCommaText("399,91"), 399.91);
    EXPECT_DOUBLE_EQ(parseDecimalCommaText(",5"), 0.5);
    EXPECT_DOUBLE_EQ(parseDecimalCommaText("5,"), 5.0);
    EXPECT_DOUBLE_EQ(parseDecimalCommaText("-7,4"), -7.4);
    EXPECT_DOUBLE_EQ(parseDecimalCommaText("+1,5e2"), 150.0);
    EXPECT_DOUBLE_EQ(parseDecimalCommaText("25E-1"), 2.5);
}

TEST(NumberTextTest, RealFailuresQuoteTheText) {
    EXPECT_EQ(floatMessage("120.5"), "'120.5' is not a valid floating point value");
    EXPECT_EQ(floatMessage(""), "'' is not a valid floating point value");
    EXPECT_EQ(floatMessage(","), "',' is not a valid floating point value");
    EXPECT_EQ(floatMessage("1,2,3"), "'1,2,3' is not a valid floating point value");
    EXPECT_EQ(floatMessage("1 000"), "'1 000' is not a valid floating point value");
    EXPECT_EQ(floatMessage("1e"), "'1e' is not a valid floating point value");
    EXPECT_EQ(floatMessage("1e400"), "'1e400' is not a valid floating point value");
    EXPECT_EQ(floatMessage("inf"), "'inf' is not a valid floating point value");
    EXPECT_EQ(floatMessage("nan"), "'nan' is not a valid floating point value");
}

} // namespace

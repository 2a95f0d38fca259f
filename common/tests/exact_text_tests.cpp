// Exact text of extended reals: the shortest decimal that reads back, else the
// hex image; every text reads back to the same 10 bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/errors.h"
#include "common/exact_text.h"

namespace common {
namespace {

// Bytes as written in the hex form: most significant first.
void Image(const char* hex20, unsigned char* out10) {
    for (int i = 0; i < 10; ++i) out10[9 - i] = static_cast<unsigned char>(std::stoi(std::string(hex20 + 2 * i, 2), nullptr, 16));
}

TEST(ExactText, TrickyRealsAndTheirRoundTrip) {
    const struct {
        const char* image;
        const char* text;
    } cases[] = {
        {"3FF583126E978D4FDF3B", "0.001"},  // the image the document description gives
        {"3FFF8000000000000000", "1"},
        {"80000000000000000000", "-0"},
        {"00000000000000000001", "4e-4951"},                        // smallest denormal, 3.6e-4951
        {"7FFEFFFFFFFFFFFFFFFF", "1.189731495357231765e+4932"},     // largest
        {"405284595161401484A0", "1e+25"},
        {"3FE7D6BF94D5E57A42BC", "1e-7"},
        {"3FE9D6BF94D5E57A42BC", "4e-7"},
        {"4005F700000000000000", "123.5"},
        {"3FFF8000000000000001", "1.0000000000000000001"},    // 1 + 2^-63: 20 digits
        {"3FFDAAAAAAAAAAAAAAAB", "0.33333333333333333334"},   // 1/3: 20 digits
        {"3FF8F83E0F83E0F83E10", "0.0151515151515151515156"}, // 1/66: 21 digits, the most any value needs
        {"7FFFC000000000000123", "0x7FFFC000000000000123"},  // NaN with a payload
        {"FFFF8000000000000000", "0xFFFF8000000000000000"},  // -infinity
        {"3FFF4000000000000000", "0x3FFF4000000000000000"},  // unnormal
        {"00008000000000000001", "0x00008000000000000001"},  // pseudo-denormal
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        unsigned char in[10], back[10];
        Image(c.image, in);
        EXPECT_EQ(c.text, ExactText(in));
        ParseExactText(c.text, back);
        EXPECT_EQ(0, std::memcmp(in, back, 10));
    }
}

TEST(ExactText, OtherDecimalsReadAndBadTextsAreRefusedWithTheStandardText) {
    EXPECT_EQ(0.001L, ParseExactText("1E-3"));
    EXPECT_EQ(0.001L, ParseExactText("+0.0010"));
    EXPECT_EQ(1.0L, ParseExactText("0x3fff8000000000000000"));
    for (const char* bad : {"", " 1", "1 ", "0,001", "1e", ".", "nan", "inf", "1e99999", "0x3FFF80", "0x3FFF800000000000000G"}) {
        try {
            ParseExactText(bad);
            ADD_FAILURE() << bad;
        } catch (const ConvertError& e) {
            EXPECT_EQ("'" + std::string(bad) + "' is not a valid floating point value", e.what());
        }
    }
}

}  // namespace
}  // namespace common

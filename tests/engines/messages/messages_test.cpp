// Result texts: every code the converter returns has its own plain sentence.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engines/messages/result_codes.h"

using namespace rm::messages;

TEST(ResultTexts, EveryCodeHasItsOwnSentence)
{
    const int32_t codes[] = {kResultSourceOpenFailed, kResultNoVideo, kResultCodecUnsupported,
                             kResultOutputCreateFailed, kResultEncoderUnavailable, kResultInvalidSettings,
                             kResultEncodeFailed, kResultCancelled, kResultNoInput, kResultOutputTooLarge,
                             kResultOutputIncomplete, kResultPlayerWriteFailed, kResultPageWriteFailed,
                             kResultThumbnailWriteFailed,                              kResultDiskFull};
    std::set<std::string> seen;
    for (int32_t c : codes) {
        std::string text = getErrorInfo(c, 0, 1);
        EXPECT_GT(text.size(), 15u) << c;
        EXPECT_EQ(text.back(), '.') << c;
        EXPECT_TRUE(seen.insert(text).second) << "duplicate text for " << c;
    }
    EXPECT_EQ(kResultDiskFull, 10053);
    EXPECT_STREQ(getErrorInfo(kResultOutputTooLarge, 0, 1), "The output file is too large for this disk or limit.");
    EXPECT_STREQ(getErrorInfo(0, 0, 1), "Convert Successful!");
    EXPECT_FALSE(seen.count(getErrorInfo(-5, 0, 1)));  // unknown codes get a generic sentence
}

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
                             kResultEncodeFailed, kResultCancelled, kResultNoInput, kResultSourceEndsEarly,
                             kResultOutputTooLarge, kResultOutputIncomplete, kResultPlayerWriteFailed,
                             kResultPageWriteFailed, kResultThumbnailWriteFailed, kResultDiskFull};
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

TEST(ResultTexts, ParticularsOfAResultShowUntilTheNextOnes)
{
    const std::string plain = getErrorInfo(kResultSourceEndsEarly, 0, 1);
    EXPECT_EQ(kResultSourceEndsEarly, 10010);
    setErrorDetail(kResultSourceEndsEarly, "The source ends early: only 00:00:08 of 00:00:20 could be read.");
    const char* first = getErrorInfo(kResultSourceEndsEarly, 0, 1);
    EXPECT_STREQ(first, "The source ends early: only 00:00:08 of 00:00:20 could be read.");
    setErrorDetail(kResultSourceEndsEarly, "The source ends early: only 00:00:03 of 00:01:00 could be read.");
    EXPECT_STREQ(getErrorInfo(kResultSourceEndsEarly, 0, 1), "The source ends early: only 00:00:03 of 00:01:00 could be read.");
    // A text handed out earlier stays readable (a result line written late still shows it).
    EXPECT_STREQ(first, "The source ends early: only 00:00:08 of 00:00:20 could be read.");
    EXPECT_STREQ(getErrorInfo(kResultEncodeFailed, 0, 1), "The conversion failed while encoding.");  // others keep theirs
    setErrorDetail(kResultSourceEndsEarly, nullptr);
    EXPECT_EQ(getErrorInfo(kResultSourceEndsEarly, 0, 1), plain);
}

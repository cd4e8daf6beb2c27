// The result texts of codes 0 to -5, as every system's engine takes them from the one string
// table (loaded from the resources on Windows, compiled in elsewhere).
#include <gtest/gtest.h>

#include <string>

#include "ExpectedTexts.h"
#include "untConst.h"

namespace {

using namespace expected;

TEST(ResultTexts, StringTableHoldsTheTextsOfCodesZeroToMinusFive) {
    const std::string texts[] = {kNoError,  kNoLink, kPortUnavailable,
                                 kPortBusy, kBadCrc, kBadLength};
    for (int code = 0; code >= -5; --code) {
        EXPECT_EQ(texts[-code], ResultText(code)) << code;
        EXPECT_EQ(Wide(texts[-code]), ResultTextW(code)) << code;
    }
    EXPECT_EQ("", ResultText(-6));
}

} // namespace

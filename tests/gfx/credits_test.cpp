// The credit pages of the ending scene.
#include <gtest/gtest.h>

#include "gfx/credits.h"

TEST(CreditPages, TableAndEmptyPages) {
    const CreditPage* first = FindCreditPage(0);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->firstLine, "This was: Tarvik");
    EXPECT_STREQ(first->secondLine, "3D");
    EXPECT_FLOAT_EQ(first->secondZ, 2.0f);
    EXPECT_STREQ(FindCreditPage(2)->secondLine, "The Rest of the Hackers");
    for (int page = 1; page <= 7; ++page) {
        ASSERT_NE(FindCreditPage(page), nullptr);
        EXPECT_STREQ(FindCreditPage(page)->firstLine, "Greetings to");
        EXPECT_FLOAT_EQ(FindCreditPage(page)->firstY, 1.0f);
    }
    EXPECT_EQ(FindCreditPage(8), nullptr);
    EXPECT_EQ(FindCreditPage(-1), nullptr);
}

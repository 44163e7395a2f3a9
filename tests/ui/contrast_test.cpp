#include "ui/base/contrast.h"

#include <gtest/gtest.h>

TEST(Contrast, RatiosOfKnownPairs)
{
    EXPECT_EQ(ui::contrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_EQ(qRound(ui::contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white) * 100), 454);
}

#include <gtest/gtest.h>

#include "release/KeptRelease.h"

namespace {
const unsigned long long MiB = 1ull << 20;
const unsigned long long GiB = 1ull << 30;

DriveRoom Drive(const char* name, unsigned long long freeBytes, unsigned long long total,
                unsigned long long kept, unsigned long long freed = 0)
{
    return DriveRoom{name, freeBytes, total, kept, freed};
}
} // namespace

// The margin is a tenth of the drive, at least 256 MiB and at most 2 GiB, on
// top of room for a release as large as the kept part again.
TEST(KeepRule, EveryDriveMustKeepItsMarginAboveTheKeptPart)
{
    // 10 GiB drive: margin 1 GiB; 500 MiB kept needs 1.5 GiB free.
    EXPECT_EQ(KeepRefusal({Drive("C:", 1 * GiB + 500 * MiB, 10 * GiB, 500 * MiB)}), "");
    EXPECT_NE(KeepRefusal({Drive("C:", 1 * GiB + 499 * MiB, 10 * GiB, 500 * MiB)}), "");
    // A large disk: the margin stops at 2 GiB.
    EXPECT_EQ(KeepRefusal({Drive("C:", 2 * GiB + 500 * MiB, 1024 * GiB, 500 * MiB)}), "");
    EXPECT_NE(KeepRefusal({Drive("C:", 2 * GiB + 499 * MiB, 1024 * GiB, 500 * MiB)}), "");
    // A small card: the 256 MiB floor counts, not its tenth.
    EXPECT_EQ(KeepRefusal({Drive("D:", 256 * MiB + 10 * MiB, 1 * GiB, 10 * MiB)}), "");
    EXPECT_NE(KeepRefusal({Drive("D:", 255 * MiB, 1 * GiB, 0)}), "");
    // One drive short is enough to refuse, and the refusal names it.
    std::string why = KeepRefusal({Drive("C:", 30 * GiB, 40 * GiB, 1 * GiB), Drive("D:", 100 * MiB, 2 * GiB, 1 * MiB)});
    EXPECT_NE(why.find("D:"), std::string::npos) << why;
    // A drive whose room cannot be known (reported as 0 of 0) keeps nothing.
    EXPECT_NE(KeepRefusal({Drive("E:", 0, 0, 0)}), "");
}

TEST(KeepRule, WhatDeletingTheEarlierKeptReleaseFreesCounts)
{
    EXPECT_NE(KeepRefusal({Drive("C:", 300 * MiB, 2 * GiB, 100 * MiB)}), "");
    EXPECT_EQ(KeepRefusal({Drive("C:", 300 * MiB, 2 * GiB, 100 * MiB, 100 * MiB)}), "");
}

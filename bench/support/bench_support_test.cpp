#include "bench/support/bench_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string printed(const std::vector<bench::Row>& rows)
{
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = ::open_memstream(&buffer, &size);
    bench::printTable(rows, out);
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

TEST(BenchSupport, MedianOfOddEvenUnsortedAndNone)
{
    EXPECT_DOUBLE_EQ(bench::median({3, 1, 2}), 2);
    EXPECT_DOUBLE_EQ(bench::median({4, 1, 3, 2}), 2.5);
    EXPECT_DOUBLE_EQ(bench::median({7}), 7);
    EXPECT_DOUBLE_EQ(bench::median({}), 0);
}

TEST(BenchSupport, FormatAppliesThePattern)
{
    EXPECT_EQ(bench::format("%.3f ms", 0.12345), "0.123 ms");
    EXPECT_EQ(bench::format("<= %.0f MiB", 24), "<= 24 MiB");
    EXPECT_EQ(bench::format("d %+.3f", 0), "d +0.000");
}

TEST(BenchSupport, TableLinesUpEachColumnToItsWidestCell)
{
    const std::vector<bench::Row> rows{
        {"short", "1.0 ms", "2.0 ms", "0.500", "<= 1.25", true},
        {"a longer name", "10.25 ms", "none", "-", "-", false},
    };
    EXPECT_EQ(printed(rows),
        "name          |     ours | baseline | ratio |  target | result\n"
        + std::string(62, '-') + "\n"
        + "short         |   1.0 ms |   2.0 ms | 0.500 | <= 1.25 | pass\n"
        + "a longer name | 10.25 ms |     none |     - |       - | FAIL\n");
}

TEST(BenchSupport, AllPassNeedsEveryRow)
{
    std::vector<bench::Row> rows(2);
    rows[0].pass = true;
    EXPECT_FALSE(bench::allPass(rows));
    rows[1].pass = true;
    EXPECT_TRUE(bench::allPass(rows));
    EXPECT_TRUE(bench::allPass({}));
}

TEST(BenchSupport, StatusFiguresReadThisProcess)
{
    const long resident = bench::statusKiB("VmRSS");
    const long peak = bench::statusKiB("VmHWM");
    EXPECT_GT(resident, 0);
    EXPECT_GE(peak, resident);
    // The colon belongs to the name: "Vm" must not match the first "Vm…" line.
    EXPECT_EQ(bench::statusKiB("Vm"), -1);
    EXPECT_EQ(bench::statusKiB("NoSuchField"), -1);
}

} // namespace

#include "bench_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// The two programs' widths: their tables must read exactly as before the helpers were shared.
constexpr bench::TableWidths kEngine{.name = 30, .ours = 14, .baseline = 16, .ratio = 8, .target = 11, .rule = 100};
constexpr bench::TableWidths kWindow{.name = 34, .ours = 14, .baseline = 16, .ratio = 10, .target = 12, .rule = 104};

std::string printed(const std::vector<bench::Row>& rows, const bench::TableWidths& widths)
{
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = ::open_memstream(&buffer, &size);
    bench::printTable(rows, widths, out);
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

TEST(BenchSupport, TableKeepsEachProgramsColumns)
{
    const std::vector<bench::Row> rows{
        {"2 KiB page x2000, per fetch", "0.127 ms", "0.123 ms", "1.047", "<= 1.10", true},
        {"16 MiB body x30, per fetch", "29.9 ms", "32.0 ms", "1.300", "<= 1.25", false},
    };
    EXPECT_EQ(printed(rows, kEngine),
        "name                           |           ours |         baseline |    ratio |      target | result\n"
        + std::string(100, '-') + "\n"
        + "2 KiB page x2000, per fetch    |       0.127 ms |         0.123 ms |    1.047 |     <= 1.10 | pass\n"
        + "16 MiB body x30, per fetch     |        29.9 ms |          32.0 ms |    1.300 |     <= 1.25 | FAIL\n");

    const std::vector<bench::Row> window{
        {"RSS after 100 checks vs after 10", "35.30 MiB", "35.30 MiB", "d +0.000", "|d| <= 1 MiB", true}};
    EXPECT_EQ(printed(window, kWindow),
        "name                               |           ours |         baseline |      ratio |       target | result\n"
        + std::string(104, '-') + "\n"
        + "RSS after 100 checks vs after 10   |      35.30 MiB |        35.30 MiB |   d +0.000 | |d| <= 1 MiB | pass\n");
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

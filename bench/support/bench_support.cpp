#include "bench/support/bench_support.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>

namespace bench {

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void printTable(const std::vector<Row>& rows, std::FILE* out)
{
    using Cells = std::array<std::string, 5>;
    std::vector<Cells> table{{"name", "ours", "baseline", "ratio", "target"}};
    for (const Row& row : rows)
        table.push_back({row.name, row.ours, row.baseline, row.ratio, row.target});
    std::array<int, 5> widths{};
    for (const Cells& cells : table) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            widths[i] = std::max(widths[i], static_cast<int>(cells[i].size()));
    }
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Cells& c = table[i];
        const int length = std::fprintf(out, "%-*s | %*s | %*s | %*s | %*s | %s\n", widths[0], c[0].c_str(),
            widths[1], c[1].c_str(), widths[2], c[2].c_str(), widths[3], c[3].c_str(), widths[4], c[4].c_str(),
            i == 0 ? "result" : rows[i - 1].pass ? "pass" : "FAIL");
        if (i == 0)
            std::fprintf(out, "%s\n", std::string(static_cast<std::size_t>(std::max(length - 1, 0)), '-').c_str());
    }
    std::fflush(out);
}

bool allPass(const std::vector<Row>& rows)
{
    return std::all_of(rows.begin(), rows.end(), [](const Row& row) { return row.pass; });
}

long statusKiB(const char* field)
{
    const std::string prefix = std::string(field) + ":";
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    }
    return -1;
}

void setNoProxy(const char* hosts)
{
    ::setenv("no_proxy", hosts, 1);
    ::setenv("NO_PROXY", hosts, 1);
}

} // namespace bench

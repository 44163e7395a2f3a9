#include "bench_support.h"

#include <algorithm>
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

void printTable(const std::vector<Row>& rows, const TableWidths& widths, std::FILE* out)
{
    const auto line = [&](const char* name, const char* ours, const char* baseline, const char* ratio,
                          const char* target, const char* result) {
        std::fprintf(out, "%-*s | %*s | %*s | %*s | %*s | %s\n", widths.name, name, widths.ours, ours,
            widths.baseline, baseline, widths.ratio, ratio, widths.target, target, result);
    };
    line("name", "ours", "baseline", "ratio", "target", "result");
    std::fprintf(out, "%s\n", std::string(static_cast<std::size_t>(std::max(widths.rule, 0)), '-').c_str());
    for (const Row& row : rows) {
        line(row.name.c_str(), row.ours.c_str(), row.baseline.c_str(), row.ratio.c_str(), row.target.c_str(),
            row.pass ? "pass" : "FAIL");
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

void bypassProxies()
{
    ::setenv("no_proxy", "*", 1);
    ::setenv("NO_PROXY", "*", 1);
}

} // namespace bench

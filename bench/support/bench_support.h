#pragma once

// What every benchmark program prints and reads alike: one table of rows, figures formatted
// the same way, medians of noisy samples, and the process's own memory figures.

#include <cstdio>
#include <string>
#include <vector>

namespace bench {

struct Row {
    std::string name;
    std::string ours;
    std::string baseline;
    std::string ratio;
    std::string target;
    bool pass = false;
};

// Each program keeps its own widths, so that its table reads as it always has.
struct TableWidths {
    int name;
    int ours;
    int baseline;
    int ratio;
    int target;
    int rule; // the dashes under the header
};

// One figure through a printf pattern with a single double, e.g. "%.1f ms".
std::string format(const char* pattern, double value);

// The middle value, or the mean of the middle two; 0 for no values.
double median(std::vector<double> values);

void printTable(const std::vector<Row>& rows, const TableWidths& widths, std::FILE* out = stdout);

bool allPass(const std::vector<Row>& rows);

// A "Name:  1234 kB" figure from /proc/self/status, such as "VmRSS" or "VmHWM"; -1 when the
// file or the field is missing.
long statusKiB(const char* field);

// Before any libcurl use: a proxy configured on the machine must never see loopback traffic.
void bypassProxies();

} // namespace bench

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

// One figure through a printf pattern with a single double, e.g. "%.1f ms".
std::string format(const char* pattern, double value);

// The middle value, or the mean of the middle two; 0 for no values.
double median(std::vector<double> values);

// Each column as wide as its widest cell, the names to the left and the figures to the right,
// so that a longer figure never pushes its row out of line.
void printTable(const std::vector<Row>& rows, std::FILE* out = stdout);

bool allPass(const std::vector<Row>& rows);

// A "Name:  1234 kB" figure from /proc/self/status, such as "VmRSS" or "VmHWM"; -1 when the
// file or the field is missing.
long statusKiB(const char* field);

// Sets no_proxy and NO_PROXY alike: "*" keeps a proxy configured on the machine from ever seeing
// loopback traffic.
void setNoProxy(const char* hosts);

} // namespace bench

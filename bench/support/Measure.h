// Clock and summary helpers shared by the Windows benchmarks.
#pragma once

#include <string>
#include <vector>

namespace quenlark::bench {

// Microseconds since an arbitrary start. (<chrono> cannot be compiled for code page 936: it
// holds a character that page lacks.)
double NowMicros();

double Median(std::vector<double> values);

// Least-squares line y = intercept + slope * x, with the coefficient of determination.
struct LineFit {
    double intercept = 0;
    double slope = 0;
    double r2 = 0;
};
LineFit FitLine(const std::vector<double>& x, const std::vector<double>& y);

// Runs this program again with `arguments` (measurements that need a fresh process) and
// returns what it wrote to its standard output; empty when it could not be started.
std::string RunThisProgram(const std::string& arguments);

constexpr double kMiB = 1024.0 * 1024.0;

}  // namespace quenlark::bench

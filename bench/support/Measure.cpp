#include "support/Measure.h"

#include <windows.h>

#include <algorithm>

namespace quenlark::bench {

double NowMicros() {
    static const double ticksPerMicro = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1e6;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMicro;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

LineFit FitLine(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = static_cast<double>(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    LineFit fit;
    const double denominator = n * sxx - sx * sx;
    if (n < 2 || denominator == 0) return fit;
    fit.slope = (n * sxy - sx * sy) / denominator;
    fit.intercept = (sy - fit.slope * sx) / n;
    const double mean = sy / n;
    double residual = 0, spread = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double predicted = fit.intercept + fit.slope * x[i];
        residual += (y[i] - predicted) * (y[i] - predicted);
        spread += (y[i] - mean) * (y[i] - mean);
    }
    fit.r2 = spread > 0 ? 1 - residual / spread : 1;
    return fit;
}

}  // namespace quenlark::bench

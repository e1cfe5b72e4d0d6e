#pragma once
// A small autocorrelation pitch tracker: enough to tell whether speech is higher or lower.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace speechtest {

// Fundamental frequency per 10 ms frame in hertz; 0 where the frame is unvoiced or quiet.
inline std::vector<double> trackPitch(const std::vector<std::int16_t>& pcm, int rate,
                                      double minHz = 50.0, double maxHz = 400.0) {
    const int window = rate * 30 / 1000;
    const int hop = rate / 100;
    const int minLag = static_cast<int>(rate / maxHz);
    const int maxLag = static_cast<int>(rate / minHz) + 1;
    std::vector<double> x(pcm.begin(), pcm.end());
    double peakRms = 0;
    std::vector<double> rms;
    for (std::size_t s = 0; s + window + maxLag <= x.size(); s += hop) {
        double e = 0;
        for (int i = 0; i < window; ++i)
            e += x[s + i] * x[s + i];
        rms.push_back(std::sqrt(e / window));
        peakRms = std::max(peakRms, rms.back());
    }
    std::vector<double> f0(rms.size(), 0.0);
    std::vector<double> r(maxLag + 2, 0.0);
    for (std::size_t f = 0; f < rms.size(); ++f) {
        if (rms[f] < 0.1 * peakRms)
            continue;
        const double* a = &x[f * hop];
        double e0 = 0;
        for (int i = 0; i < window; ++i)
            e0 += a[i] * a[i];
        double best = 0;
        for (int lag = minLag; lag <= maxLag + 1; ++lag) {
            double c = 0, e1 = 0;
            for (int i = 0; i < window; ++i) {
                c += a[i] * a[i + lag];
                e1 += a[i + lag] * a[i + lag];
            }
            r[lag] = (e0 > 0 && e1 > 0) ? c / std::sqrt(e0 * e1) : 0.0;
            best = std::max(best, r[lag]);
        }
        if (best < 0.6)
            continue;
        // The first peak close to the best one: later peaks are multiples of the period.
        for (int lag = minLag + 1; lag <= maxLag; ++lag) {
            if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
                const double d = r[lag - 1] - 2 * r[lag] + r[lag + 1];
                const double shift = d != 0 ? 0.5 * (r[lag - 1] - r[lag + 1]) / d : 0.0;
                f0[f] = rate / (lag + shift);
                break;
            }
        }
    }
    return f0;
}

inline std::vector<double> voiced(const std::vector<double>& f0) {
    std::vector<double> v;
    std::copy_if(f0.begin(), f0.end(), std::back_inserter(v), [](double h) { return h > 0; });
    return v;
}

inline double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t i =
        std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5));
    return v[i];
}

inline double medianPitch(const std::vector<std::int16_t>& pcm, int rate) {
    return percentile(voiced(trackPitch(pcm, rate)), 0.5);
}

} // namespace speechtest

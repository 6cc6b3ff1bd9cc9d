// What the benchmarks share: figures as the median and spread of several runs, printed as
// rows of the README's table, and an event loop run as the program runs it.
#pragma once

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace varnix::bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Figure {
    std::vector<double> runs;
    double Median() const {
        auto sorted = runs;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
    double Min() const { return *std::min_element(runs.begin(), runs.end()); }
    double Max() const { return *std::max_element(runs.begin(), runs.end()); }
};

// Runs the event loop as the program does (QTest's waits sleep between event passes, which
// would add to every latency) until `done` holds or `limitMs` passed.
template <typename Done>
bool RunLoopUntil(Done done, int limitMs) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(5);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// `digits` after the decimal point: more for figures well below one unit.
inline void Row(const char* what, const Figure& f, const char* unit, const std::string& limit,
                int digits = 1) {
    std::printf("| %s | %.*f %s (%.*f to %.*f, %zu runs) | %s |\n", what, digits, f.Median(), unit,
                digits, f.Min(), digits, f.Max(), f.runs.size(), limit.c_str());
    std::fflush(stdout);
}

inline std::string Format(const char* format, double a, double b = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace varnix::bench

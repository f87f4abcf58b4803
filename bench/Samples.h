#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

// Wall time and this thread's CPU time (user and system) of each run of one piece of work. The CPU
// time leaves out the server's share and the waits for it, and is less swayed by other load on
// the machine than the wall time.
class Samples {
public:
    static double ThreadCpuMs() {
        timespec now{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    }

    static double Median(std::vector<double> values) {
        if (values.empty())
            return 0;
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

    // Runs the work once and keeps its times.
    void Measure(const std::function<void()>& work) {
        const double cpu_start = ThreadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        work();
        wall_.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        cpu_.push_back(ThreadCpuMs() - cpu_start);
    }
    // Forgets every run so far (the warm-up).
    void Clear() {
        wall_.clear();
        cpu_.clear();
    }

    double Wall() const { return Median(wall_); }
    double Cpu() const { return Median(cpu_); }
    double WallMin() const {
        return wall_.empty() ? 0 : *std::min_element(wall_.begin(), wall_.end());
    }
    double WallMax() const {
        return wall_.empty() ? 0 : *std::max_element(wall_.begin(), wall_.end());
    }
    const std::vector<double>& WallRuns() const { return wall_; }

private:
    std::vector<double> wall_, cpu_;
};

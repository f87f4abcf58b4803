#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>

namespace bench {

// A benchmark's main: runs it, and reports what stopped it.
inline int Main(const char* name, int (*run)(int, char**), int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
        return 1;
    }
}

// The arguments of a benchmark that takes only [--runs N]: N (at least 1), `runs` when none is
// given; nothing, after printing the usage, for anything else.
inline std::optional<int> RunsOption(const char* name, int runs, int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0)
        return std::max(1, std::atoi(argv[2]));
    if (argc == 1)
        return runs;
    std::fprintf(stderr, "usage: %s [--runs N]\n", name);
    return std::nullopt;
}

} // namespace bench

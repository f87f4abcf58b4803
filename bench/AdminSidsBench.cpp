// Reading the sids of one corvane-admin command line: N distinct sids, each given twice, for N of
// 100,000 and 200,000. Prints the time each takes; twice the sids should take about twice the
// time. Target: 100,000 sids within 1 s, before any statement is sent.
//
//   admin_sids_bench
#include "Figure.h"
#include "admin/AdminCommand.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

int main() {
    const AdminCommand::Environment environment = [](const std::string& name) {
        return name == "CORVANE_ADMIN_PASSWORD" ? std::optional<std::string>("password")
                                                : std::nullopt;
    };
    for (const long count : {100000L, 200000L}) {
        std::vector<std::string> args = {"approve"};
        for (long i = 0; i < count; ++i)
            args.push_back(std::to_string(1000000 + i));
        for (long i = 0; i < count; ++i)
            args.push_back(std::to_string(1000000 + i));
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        const auto command = AdminCommand::Parse(args, environment, error);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        if (!command || command->sids.size() != static_cast<size_t>(count)) {
            std::fprintf(stderr, "admin_sids_bench: wrong result: %s\n", error.c_str());
            return 1;
        }
        std::printf("%ld sids, each given twice: %.1f ms\n", count, took.count());
        const std::string name = "admin: " + std::to_string(count / 1000) + "k sids, each twice";
        if (count == 100000)
            PrintFigure(name, took.count(), "ms", "<= 1000 ms", took.count() <= 1000);
        else
            PrintFigure(name, took.count(), 0, "ms");
    }
    return 0;
}

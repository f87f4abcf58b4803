// The time to open the program's database connection with TLS required, against the same without
// TLS, to the private server of scripts/services.sh (its CA in CORVANE_TEST_DB_CA). Each round
// opens one connection of each kind, in alternating order, and closes it; prints the medians and
// their ratios. The connection is the one the program's frame opens at start-up.
//
//   tls_connect_bench [--runs N]
#include "storage/Database.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultRuns = 200;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace

int main(int argc, char** argv) {
    int runs = kDefaultRuns;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0)
        runs = std::atoi(argv[2]);
    if (runs < 10 || (argc != 1 && argc != 3)) {
        std::fprintf(stderr, "usage: tls_connect_bench [--runs N (>= 10)]\n");
        return 2;
    }
    const char* ca = std::getenv("CORVANE_TEST_DB_CA");
    if (ca == nullptr || *ca == '\0') {
        std::fprintf(stderr, "CORVANE_TEST_DB_CA is not set (start_db of scripts/services.sh)\n");
        return 2;
    }
    DbSettings plain = DbSettings::FromBuild();
    plain.tls = DbTls::Off;
    DbSettings verified = plain;
    verified.tls = DbTls::Required;
    verified.ca_file = ca;
    verified.fingerprint.clear();

    const DbSettings* kinds[] = {&plain, &verified};
    std::vector<double> times[2];
    for (int round = -1; round < runs; ++round) {
        for (int k = 0; k < 2; ++k) {
            const int which = round % 2 == 0 ? k : 1 - k;
            wxString error;
            const auto start = std::chrono::steady_clock::now();
            const std::unique_ptr<Database> db = Database::Connect(*kinds[which], &error);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            if (!db) {
                std::fprintf(stderr, "connection failed: %s\n", error.utf8_string().c_str());
                return 1;
            }
            // One untimed round first, so that both start warm.
            if (round >= 0)
                times[which].push_back(ms);
        }
    }
    const double clear = Median(times[0]);
    const double encrypted = Median(times[1]);
    std::printf("opening the connection, median of %d, to %s:%u\n", runs, plain.host.c_str(),
                plain.port);
    std::printf("  without TLS        %7.2f ms\n", clear);
    std::printf("  TLS, CA verified   %7.2f ms  (%.2f times, %+.2f ms)\n", encrypted,
                encrypted / clear, encrypted - clear);
    return 0;
}

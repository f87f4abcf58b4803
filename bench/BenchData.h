#pragma once

#include <functional>
#include <string>

// Files the benchmarks generate once and keep from one run to the next: below CORVANE_BENCH_DATA
// when it is set, otherwise in bench-data of the build tree.
namespace bench_data {

std::string Root();

// The directory `name` below the root, made and filled by `fill` (given its path) unless an
// earlier run completed it. A directory that an interrupted run left incomplete is made anew.
std::string Prepared(const std::string& name, const std::function<void(const std::string&)>& fill);

} // namespace bench_data

#include "BenchData.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace bench_data {

std::string Root() {
    const char* root = std::getenv("CORVANE_BENCH_DATA");
    return root != nullptr && *root != '\0' ? root : CORVANE_BENCH_DATA_DEFAULT;
}

std::string Prepared(const std::string& name, const std::function<void(const std::string&)>& fill) {
    namespace fs = std::filesystem;
    const std::string dir = Root() + "/" + name;
    // The mark is written only once the directory is complete.
    const std::string mark = dir + ".complete";
    if (fs::exists(mark) && fs::is_directory(dir))
        return dir;
    fs::remove_all(dir);
    fs::create_directories(dir);
    fill(dir);
    std::ofstream(mark) << "complete\n";
    return dir;
}

} // namespace bench_data

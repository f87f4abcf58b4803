#pragma once

#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

// A fresh working directory for one benchmark run, made from a template such as
// "/tmp/corvane-tree-bench-XXXXXX" and entered at once; it goes away however the run ends.
class ScratchDirectory {
public:
    explicit ScratchDirectory(std::string templ) : path_(std::move(templ)) {
        if (::mkdtemp(path_.data()) == nullptr || ::chdir(path_.c_str()) != 0)
            throw std::runtime_error("cannot make a scratch directory");
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

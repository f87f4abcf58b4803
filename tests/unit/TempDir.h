#pragma once

#include "app/TextCodec.h"
#include "storage/LocalStore.h"
#include "storage/StoreListing.h"

#include <gtest/gtest.h>

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

// A fresh directory under /tmp, removed with everything in it (names need not be UTF-8).
class TempDir {
public:
    TempDir() {
        char templ[] = "/tmp/corvane-store-XXXXXX";
        const char* made = mkdtemp(templ);
        if (made == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = made;
    }
    ~TempDir() {
        nftw(
            path_.c_str(),
            [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory's path, or a path below it, as raw bytes.
    std::string Bytes(const std::string& below = std::string()) const {
        return below.empty() ? path_ : path_ + "/" + below;
    }
    // The same as the program holds it.
    wxString Path(const std::string& below = std::string()) const {
        return text::FromPathBytes(Bytes(below));
    }

    void MakeDir(const std::string& below) const {
        ASSERT_EQ(::mkdir(Bytes(below).c_str(), 0777), 0);
    }
    void MakeFile(const std::string& below, const std::string& bytes) const {
        std::ofstream(Bytes(below), std::ios::binary) << bytes;
    }
    std::string FileBytes(const std::string& below) const {
        std::ifstream in(Bytes(below), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    // The names in a directory, sorted (the system's order is not fixed).
    std::set<std::string> Names(const std::string& below = std::string()) const {
        std::set<std::string> names;
        const StoreListing listing(Path(below));
        const StoreListing::Index first = listing.FirstChild(StoreListing::kTop);
        for (StoreListing::Index entry = first;
             entry < first + listing.ChildCount(StoreListing::kTop); ++entry)
            names.insert(std::string(listing.Name(entry)));
        return names;
    }

private:
    std::string path_;
};

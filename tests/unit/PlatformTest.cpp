#include "app/Platform.h"

#include <gtest/gtest.h>

#include <wx/filename.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

TEST(Platform, VersionTextCarriesThePlatformTag) {
    EXPECT_STREQ(platform::Tag(), "linux");
    EXPECT_EQ(platform::VersionText(), "2.1.1a-linux");
}

TEST(Platform, TerminalIsTheDesktopChoiceThenXtermThenNone) {
    char templ[] = "/tmp/corvane-path-XXXXXX";
    const std::string bin = mkdtemp(templ);
    const auto install = [&](const char* program) {
        const std::string path = bin + "/" + program;
        std::ofstream(path) << "#!/bin/sh\n";
        ::chmod(path.c_str(), 0755);
    };
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", bin.c_str(), 1);
    EXPECT_EQ(platform::TerminalCommand(), "");
    install("xterm");
    EXPECT_EQ(platform::TerminalCommand(), "xterm");
    install("x-terminal-emulator");
    EXPECT_EQ(platform::TerminalCommand(), "x-terminal-emulator");
    setenv("PATH", saved.c_str(), 1);
    wxFileName::Rmdir(bin, wxPATH_RMDIR_RECURSIVE);
}

#include "app/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(Platform, VersionTextCarriesThePlatformTag) {
    EXPECT_STREQ(platform::Tag(), "linux");
    EXPECT_EQ(platform::VersionText(), "2.1.1a-linux");
}

TEST(Platform, TerminalFallsBackToXtermWithoutTheDesktopChoice) {
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(platform::TerminalCommand(), "xterm");
    setenv("PATH", saved.c_str(), 1);
}

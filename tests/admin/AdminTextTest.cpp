#include "admin/AdminCommand.h"
#include "admin/TerminalText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>

using namespace std::string_literals;

TEST(TerminalTextTest, HostileBytesBecomeVisibleEscapes) {
    using terminal_text::Line;
    // Escape sequences that would retitle the window or clear the screen, line breaks that would
    // fake another row, and a backslash that would make an escape ambiguous.
    EXPECT_EQ(Line("a\x1b]0;pwned\x07\x1b[2J\nb\tc\r\\"), "a\\e]0;pwned\\x07\\e[2J\\nb\\tc\\r\\\\");
    EXPECT_EQ(Line("nul\0del\x7f"s), "nul\\x00del\\x7f");
    // C1 controls (the 8-bit escape introducers) and right-to-left overrides.
    EXPECT_EQ(Line("\xc2\x9b"
                   "2J \xe2\x80\xae"
                   "cba"),
              "\\u{009b}2J \\u{202e}cba");
    // Bytes that are not UTF-8: stray, overlong, surrogate, cut off at the end.
    EXPECT_EQ(Line("\xff \xc0\xaf \xed\xa0\x80 \xe2\x82"),
              "\\xff \\xc0\\xaf \\xed\\xa0\\x80 \\xe2\\x82");
    // Ordinary text, accents and all, passes as it is.
    EXPECT_EQ(Line("Caf\xc3\xa9 \xe2\x82\xac 1 < 2 \xf0\x9f\x98\x80"),
              "Caf\xc3\xa9 \xe2\x82\xac 1 < 2 \xf0\x9f\x98\x80");

    // Content keeps its lines, tabs and backslashes, but not escape sequences.
    EXPECT_EQ(terminal_text::Block("int a;\n\tputs(\"\\n\x1b[8m\");\n"),
              "int a;\n\tputs(\"\\n\\e[8m\");\n");
    EXPECT_EQ(terminal_text::Width("Caf\xc3\xa9 \xe2\x82\xac"), 6u);
}

TEST(AdminCommandTest, SettingsComeFromOptionsThenEnvironmentAndNeverTheProgramsAccount) {
    std::map<std::string, std::string> env = {{"CORVANE_DB_HOST", "db.local"},
                                              {"CORVANE_DB_PORT", "3307"},
                                              {"CORVANE_DB_PASSWORD", "programs-password"},
                                              {"CORVANE_ADMIN_PASSWORD", "moderators"}};
    const AdminCommand::Environment lookup = [&env](const std::string& name) {
        const auto found = env.find(name);
        return found == env.end() ? std::nullopt : std::optional<std::string>(found->second);
    };
    std::string error;

    auto command = AdminCommand::Parse({"approve", "7", "0012", "7"}, lookup, error);
    ASSERT_TRUE(command) << error;
    EXPECT_EQ(command->action, AdminCommand::Action::Approve);
    EXPECT_EQ(command->sids, (std::vector<std::string>{"7", "0012"}));
    EXPECT_EQ(command->settings.host, "db.local");
    EXPECT_EQ(command->settings.port, 3307u);
    EXPECT_EQ(command->settings.user, "corvane_admin");
    EXPECT_EQ(command->settings.password, "moderators");
    EXPECT_EQ(command->settings.database, "corvane");

    // Options win over the environment; a password file's first line is the password.
    const std::string file = ::testing::TempDir() + "corvane-admin-password";
    std::ofstream(file) << "from file\r\nsecond line\n";
    command = AdminCommand::Parse(
        {"--host=other", "list", "--port", "4000", "--password-file", file}, lookup, error);
    std::remove(file.c_str());
    ASSERT_TRUE(command) << error;
    EXPECT_EQ(command->settings.host, "other");
    EXPECT_EQ(command->settings.port, 4000u);
    EXPECT_EQ(command->settings.password, "from file");

    // Without a moderators' password there is no fallback to the program's.
    env.erase("CORVANE_ADMIN_PASSWORD");
    EXPECT_FALSE(AdminCommand::Parse({"list"}, lookup, error));
    EXPECT_NE(error.find("CORVANE_ADMIN_PASSWORD"), std::string::npos) << error;
    // A malformed port in the environment is an error, not some other port.
    env["CORVANE_ADMIN_PASSWORD"] = "x";
    env["CORVANE_DB_PORT"] = "33o6";
    EXPECT_FALSE(AdminCommand::Parse({"list"}, lookup, error));
    EXPECT_NE(error.find("33o6"), std::string::npos) << error;
}

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

TEST(TerminalTextTest, InvisibleCharactersBecomeEscapesAndTheirNeighboursStay) {
    // Line and paragraph separators, zero-width space, joiner and no-break space, the
    // byte-order mark, a soft hyphen, an isolate and an override, a variation selector and a tag.
    const std::vector<std::pair<std::string, std::string>> invisible = {
        {"\xe2\x80\xa8", "\\u{2028}"},      {"\xe2\x80\xa9", "\\u{2029}"},
        {"\xe2\x80\x8b", "\\u{200b}"},      {"\xe2\x80\x8d", "\\u{200d}"},
        {"\xe2\x81\xa0", "\\u{2060}"},      {"\xef\xbb\xbf", "\\u{feff}"},
        {"\xc2\xad", "\\u{00ad}"},          {"\xe2\x81\xa6", "\\u{2066}"},
        {"\xe2\x80\xae", "\\u{202e}"},      {"\xef\xb8\x8f", "\\u{fe0f}"},
        {"\xf3\xa0\x81\x81", "\\u{e0041}"},
    };
    for (const auto& [character, escape] : invisible) {
        EXPECT_EQ(terminal_text::Line("a" + character + "b"), "a" + escape + "b") << escape;
        EXPECT_EQ(terminal_text::Block("a" + character + "b"), "a" + escape + "b") << escape;
    }
    // Visible characters next to them in the code tables: a hyphen, the per mille sign, the
    // registered sign, a fullwidth letter.
    for (const std::string visible : {"\xe2\x80\x90", "\xe2\x80\xb0", "\xc2\xae", "\xef\xbd\x81"})
        EXPECT_EQ(terminal_text::Line(visible), visible);
}

TEST(AdminCommandTest, PortsUpTo65535AreTakenAndDuplicateSidsDropInTheirFirstPlace) {
    const AdminCommand::Environment lookup = [](const std::string& name) {
        return name == "CORVANE_ADMIN_PASSWORD" ? std::optional<std::string>("pw") : std::nullopt;
    };
    std::string error;
    const std::vector<std::pair<std::string, unsigned>> ports = {
        {"65535", 65535}, {"1", 1},      {"00080", 80}, {"65536", 0}, {"0", 0},
        {"99999", 0},     {"065535", 0}, {"-1", 0},     {"", 0},
    };
    for (const auto& [text, port] : ports) {
        const auto command = AdminCommand::Parse({"--port", text, "list"}, lookup, error);
        EXPECT_EQ(command.has_value(), port != 0) << text;
        if (command)
            EXPECT_EQ(command->settings.port, port) << text;
        else
            EXPECT_NE(error.find("not a port number"), std::string::npos) << text << ": " << error;
    }

    // 50,000 sids in a shuffled order, each followed by one that came earlier: every sid stays
    // where it first came.
    std::vector<std::string> args = {"approve"};
    std::vector<std::string> expected;
    for (long i = 0; i < 50000; ++i) {
        expected.push_back(std::to_string(i * 7919 % 50000));
        args.push_back(expected.back());
        args.push_back(expected[i / 2]);
    }
    const auto command = AdminCommand::Parse(args, lookup, error);
    ASSERT_TRUE(command) << error;
    EXPECT_EQ(command->sids, expected);
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

#include "storage/DbSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// The password in the ways a text can stand in a file: one byte, two bytes or four bytes a
// character (the encodings `strings -e` looks for).
std::vector<std::string> Spellings(const std::string& password) {
    std::vector<std::string> spellings{password};
    for (size_t width : {2u, 4u}) {
        std::string wide;
        for (const char c : password) {
            wide += c;
            wide.append(width - 1, '\0');
        }
        spellings.push_back(wide);
    }
    return spellings;
}

} // namespace

TEST(DbSettings, PasswordIsBuiltAtRunTimeAndNeverStandsInTheProgram) {
    const char* saved = std::getenv("CORVANE_DB_PASSWORD");
    const std::string saved_value = saved ? saved : "";
    unsetenv("CORVANE_DB_PASSWORD");
    const std::string password = DbSettings::FromBuild().password;
    if (saved)
        setenv("CORVANE_DB_PASSWORD", saved_value.c_str(), 1);
    ASSERT_EQ(password, CORVANE_BUILD_PASSWORD);

    std::ifstream program(CORVANE_PROGRAM, std::ios::binary);
    ASSERT_TRUE(program) << CORVANE_PROGRAM;
    const std::string bytes((std::istreambuf_iterator<char>(program)),
                            std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 100000u);
    for (const std::string& spelling : Spellings(password))
        EXPECT_EQ(bytes.find(spelling), std::string::npos) << "the password stands in the program";
}

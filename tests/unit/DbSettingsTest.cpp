#include "storage/DbSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
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

TEST(DbSettings, TlsSettingsComeFromTheBuildThenTheEnvironmentAndFailClosed) {
    const std::string digits(64, 'a');
    std::string colons;
    for (int i = 0; i < 32; ++i)
        colons += std::string(i == 0 ? "" : ":") + "AA";
    using Env = std::map<std::string, std::string>;
    struct Case {
        Env env;
        bool ok;
        DbTls tls;
        std::string ca, fingerprint;
    };
    // This build is for a database on this machine: clear text, no CA, no fingerprint.
    const Case cases[] = {
        {{}, true, DbTls::Off, "", ""},
        {{{"CORVANE_DB_TLS", "required"}, {"CORVANE_DB_CA", "/etc/ca.pem"}},
         true,
         DbTls::Required,
         "/etc/ca.pem",
         ""},
        {{{"CORVANE_DB_TLS", "required"}, {"CORVANE_DB_FINGERPRINT", colons}},
         true,
         DbTls::Required,
         "",
         digits},
        {{{"CORVANE_DB_TLS", ""}, {"CORVANE_DB_FINGERPRINT", ""}}, true, DbTls::Off, "", ""},
        // A mode that is neither is taken as required; a malformed fingerprint stays as given,
        // which no certificate has.
        {{{"CORVANE_DB_TLS", "on"}}, false, DbTls::Required, "", ""},
        {{{"CORVANE_DB_TLS", "OFF"}}, false, DbTls::Required, "", ""},
        {{{"CORVANE_DB_FINGERPRINT", "AA:BB"}}, false, DbTls::Off, "", "AA:BB"},
        {{{"CORVANE_DB_FINGERPRINT", digits + "0"}}, false, DbTls::Off, "", digits + "0"},
        {{{"CORVANE_DB_FINGERPRINT", std::string(63, 'a') + "g"}},
         false,
         DbTls::Off,
         "",
         std::string(63, 'a') + "g"},
    };
    for (const Case& c : cases) {
        DbSettings settings;
        std::string error;
        const bool ok = settings.TlsFromBuild(
            [&c](const std::string& name) -> std::optional<std::string> {
                const auto found = c.env.find(name);
                return found != c.env.end() ? std::optional<std::string>(found->second)
                                            : std::nullopt;
            },
            error);
        const std::string trace = c.env.empty() ? "(none)" : c.env.begin()->second;
        SCOPED_TRACE(trace);
        EXPECT_EQ(ok, c.ok) << error;
        EXPECT_EQ(error.empty(), c.ok) << error;
        EXPECT_EQ(settings.tls, c.tls);
        EXPECT_EQ(settings.ca_file, c.ca);
        EXPECT_EQ(settings.fingerprint, c.fingerprint);
    }
}

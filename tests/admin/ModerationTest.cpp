#include "storage/Database.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

// The password db/admin.sql gives the moderators' account on a test server.
constexpr const char* kAdminPassword = "corvane-admin-local";

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadBack(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file))
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

// Runs the built corvane-admin with these arguments. The environment is this process's (the test
// server's host and port) with the moderators' password, changed by `env` (nothing: unset).
Outcome RunAdmin(const std::vector<std::string>& args,
                 const std::map<std::string, std::optional<std::string>>& env = {}) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr)
        throw std::runtime_error("no temporary file");
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("CORVANE_ADMIN_PASSWORD", kAdminPassword, 1);
        for (const auto& [name, value] : env) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        dup2(fileno(out), STDOUT_FILENO);
        dup2(fileno(err), STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(CORVANE_ADMIN_PROGRAM)};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    Outcome outcome;
    outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    outcome.out = ReadBack(out);
    outcome.err = ReadBack(err);
    return outcome;
}

std::string Describe(const Outcome& outcome) {
    return "exit " + std::to_string(outcome.status) + "\nstdout:\n" + outcome.out + "\nstderr:\n" +
           outcome.err;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A loopback socket bound to a port of its own; listening, it takes connections into its backlog
// but never answers them.
class Socket {
public:
    explicit Socket(bool listening) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            (listening && listen(fd_, 8) != 0))
            throw std::runtime_error("cannot set up a loopback socket");
        port_ = ntohs(address.sin_port);
    }
    ~Socket() { close(fd_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    std::string Port() const { return std::to_string(port_); }

private:
    int fd_;
    unsigned port_ = 0;
};

class ModerationTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.Reset();
        alice = server.AddUser("alice", "wonderland");
        bob = server.AddUser("bob", "builder42");
        privateOne = server.AddSnippet(alice, "Private one", "C", "int x;\n");
        waiting = server.AddSnippet(alice, "Waiting one", "C++", "auto y = 1;\n", true);
        approved = server.AddSnippet(bob, "Approved one", "Go", "var z int\n", true, true);
        hostile = server.AddSnippet(bob, "Evil\x1b]0;pwned\x07\ntitle", std::nullopt,
                                    "ok\n\x1b[2Jcleared\n", true);
        orphan = server.AddSnippet("99", "No owner", "Ruby", "puts 1\n", true);
        // A private row marked approved (by hand, long ago) is not waiting for anything.
        server.AddSnippet(alice, "Private but approved", "C", "int w;\n", false, true);
    }

    // The sids the program's public search finds.
    std::set<std::string> Searchable() {
        wxString error;
        const auto db = Database::Connect(TestDatabase::AppSettings(), &error);
        EXPECT_TRUE(db) << error;
        std::set<std::string> sids;
        if (!db)
            return sids;
        EXPECT_TRUE(db->Select("SELECT language, title, content, sid FROM snippets WHERE "
                               "public = 1 AND approved = 1 ORDER BY language",
                               Fetch::Stored, [&sids](const DbRow& row) {
                                   sids.insert(std::string(row.Bytes(3)));
                                   return true;
                               }));
        return sids;
    }

    // The sids in the first column of `list`, between its header and its total.
    std::set<std::string> Pending() {
        const Outcome listed = RunAdmin({"list"});
        EXPECT_EQ(listed.status, 0) << Describe(listed);
        std::set<std::string> sids;
        std::istringstream lines(listed.out);
        std::string sid;
        for (std::string line; std::getline(lines, line);) {
            if (!Contains(line, "for approval.") && std::istringstream(line) >> sid && sid != "SID")
                sids.insert(sid);
        }
        return sids;
    }

    std::string Flags(const std::string& sid) {
        const auto rows = server.Query("SELECT public, approved FROM snippets WHERE sid = " + sid);
        return rows.empty() ? "gone" : rows[0][0] + rows[0][1];
    }

    TestDatabase server;
    std::string alice, bob, privateOne, waiting, approved, hostile, orphan;
};

TEST_F(ModerationTest, PendingListShowsExactlyTheSharedUnapprovedSnippets) {
    const Outcome listed = RunAdmin({"list"});
    ASSERT_EQ(listed.status, 0) << Describe(listed);
    EXPECT_EQ(Pending(), (std::set<std::string>{waiting, hostile, orphan})) << listed.out;

    std::istringstream lines(listed.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    // A header, one line per snippet (the hostile title's line break does not make two), a total.
    ASSERT_EQ(rows.size(), 5u) << listed.out;
    EXPECT_TRUE(Contains(rows[0], "AUTHOR") && Contains(rows[0], "TITLE")) << rows[0];
    EXPECT_TRUE(Contains(rows[1], "alice") && Contains(rows[1], "C++") &&
                Contains(rows[1], " 12 ") && Contains(rows[1], "Waiting one"))
        << rows[1];
    EXPECT_TRUE(Contains(rows[2], "bob") && Contains(rows[2], "Evil\\e]0;pwned\\x07\\ntitle"))
        << rows[2];
    EXPECT_TRUE(Contains(rows[3], "(no account, uid 99)") && Contains(rows[3], "No owner"))
        << rows[3];
    EXPECT_EQ(rows[4], "3 snippets wait for approval.");
    EXPECT_FALSE(Contains(listed.out, "\x1b")) << "an escape sequence reached the terminal";

    const Outcome shown = RunAdmin({"show", hostile});
    ASSERT_EQ(shown.status, 0) << Describe(shown);
    EXPECT_TRUE(Contains(shown.out, "author:    bob\n"));
    EXPECT_TRUE(Contains(shown.out, "language:  (none)\n"));
    EXPECT_TRUE(Contains(shown.out, "state:     shared, waiting for approval\n"));
    EXPECT_TRUE(Contains(shown.out, "content:\nok\n\\e[2Jcleared\n")) << shown.out;
    EXPECT_FALSE(Contains(shown.out, "\x1b"));

    server.Reset();
    const Outcome empty = RunAdmin({"list"});
    EXPECT_EQ(empty.status, 0) << Describe(empty);
    EXPECT_EQ(empty.out, "No shared snippets are waiting for approval.\n");
}

TEST_F(ModerationTest, ApprovedSnippetsAreSearchableAndRejectedOnesLeaveListAndSearch) {
    EXPECT_EQ(Searchable(), (std::set<std::string>{approved}));

    Outcome run = RunAdmin({"approve", waiting, orphan});
    ASSERT_EQ(run.status, 0) << Describe(run);
    EXPECT_TRUE(Contains(run.out, "Snippet " + waiting + " approved"));
    EXPECT_EQ(Searchable(), (std::set<std::string>{waiting, approved, orphan}));
    EXPECT_EQ(Pending(), (std::set<std::string>{hostile}));

    run = RunAdmin({"approve", waiting});
    EXPECT_EQ(run.status, 0) << Describe(run);
    EXPECT_TRUE(Contains(run.out, "approved already"));

    // Rejecting takes a snippet off the shared list, approved or waiting.
    run = RunAdmin({"reject", waiting, hostile});
    ASSERT_EQ(run.status, 0) << Describe(run);
    EXPECT_EQ(Searchable(), (std::set<std::string>{approved, orphan}));
    EXPECT_EQ(Pending(), (std::set<std::string>{}));
    EXPECT_EQ(Flags(waiting), "00");
    EXPECT_EQ(Flags(hostile), "00");
    // The owner keeps the snippet; shared again, it waits for a new approval.
    server.Exec("UPDATE snippets SET public = 1 WHERE sid = " + waiting);
    EXPECT_EQ(Pending(), (std::set<std::string>{waiting}));
    EXPECT_EQ(Searchable(), (std::set<std::string>{approved, orphan}));

    // A private snippet cannot be approved: shared later, it would skip moderation.
    run = RunAdmin({"approve", privateOne});
    EXPECT_EQ(run.status, 1) << Describe(run);
    EXPECT_TRUE(Contains(run.err, "snippet " + privateOne + " is not shared")) << run.err;
    EXPECT_EQ(Flags(privateOne), "00");
    run = RunAdmin({"reject", privateOne});
    EXPECT_EQ(run.status, 0) << Describe(run);
    EXPECT_TRUE(Contains(run.out, "is not shared; nothing to reject"));
}

TEST_F(ModerationTest, BadArgumentsAndUnknownSidsAreRefusedWithAClearMessage) {
    // An unknown sid is reported; the others are still approved.
    Outcome run = RunAdmin({"approve", waiting, "999999"});
    EXPECT_EQ(run.status, 1) << Describe(run);
    EXPECT_TRUE(Contains(run.err, "no snippet has sid 999999")) << run.err;
    EXPECT_EQ(Flags(waiting), "11");
    run = RunAdmin({"show", "999999"});
    EXPECT_EQ(run.status, 1) << Describe(run);
    EXPECT_TRUE(Contains(run.err, "no snippet has sid 999999")) << run.err;
    run = RunAdmin({"reject", "999999"});
    EXPECT_EQ(run.status, 1) << Describe(run);

    // Anything that is not a decimal id stops the whole command before a statement is sent.
    for (const std::string& bad :
         std::vector<std::string>{"x", hostile + " OR 1=1", "-1", "1.0", ""}) {
        run = RunAdmin({"approve", hostile, bad});
        EXPECT_EQ(run.status, 2) << bad << "\n" << Describe(run);
        EXPECT_TRUE(Contains(run.err, "corvane-admin: ")) << run.err;
    }
    EXPECT_EQ(Flags(hostile), "10");

    const std::vector<std::vector<std::string>> malformed = {
        {},
        {"frobnicate"},
        {"list", waiting},
        {"show"},
        {"show", waiting, hostile},
        {"approve"},
        {"--port", "70000", "list"},
        {"--host"},
        {"--password", "secret", "list"},
    };
    for (const auto& args : malformed) {
        run = RunAdmin(args);
        EXPECT_EQ(run.status, 2) << Describe(run);
        EXPECT_TRUE(Contains(run.err, "Try 'corvane-admin --help'.")) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    run = RunAdmin({"--password", "secret", "list"});
    EXPECT_TRUE(Contains(run.err, "--password-file")) << run.err;

    run = RunAdmin({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage: corvane-admin", 0), 0u) << run.out;

    // The password comes from a file when asked, never from the program's own settings.
    const std::string file = ::testing::TempDir() + "admin-password";
    std::ofstream(file) << kAdminPassword << "\n";
    run = RunAdmin({"--password-file", file, "list"}, {{"CORVANE_ADMIN_PASSWORD", std::nullopt}});
    EXPECT_EQ(run.status, 0) << Describe(run);
    std::remove(file.c_str());
    run = RunAdmin({"--password-file", file, "list"});
    EXPECT_EQ(run.status, 2) << Describe(run);
    EXPECT_TRUE(Contains(run.err, "cannot read the password file")) << run.err;
    run = RunAdmin({"list"}, {{"CORVANE_ADMIN_PASSWORD", std::nullopt},
                              {"CORVANE_DB_PASSWORD", TestDatabase::AppSettings().password}});
    EXPECT_EQ(run.status, 2) << Describe(run);
    EXPECT_TRUE(Contains(run.err, "CORVANE_ADMIN_PASSWORD")) << run.err;
}

TEST_F(ModerationTest, PasswordFileIsAFileOrPipeWhoseFirstLineIsNotEmpty) {
    const std::map<std::string, std::optional<std::string>> noEnv = {
        {"CORVANE_ADMIN_PASSWORD", std::nullopt}};
    const std::string dir = ::testing::TempDir() + "admin-password-dir";
    ::mkdir(dir.c_str(), 0700);
    const std::string empty = ::testing::TempDir() + "admin-password-empty";
    std::ofstream{empty}.close();
    const std::string cut = ::testing::TempDir() + "admin-password-cut";
    std::ofstream(cut) << std::string(5000, 'p');
    // A directory, an endless device, a file without a password, a line no password has.
    const std::vector<std::pair<std::string, std::string>> refused = {
        {dir, "it is a directory"},
        {"/dev/zero", "neither a regular file nor a pipe"},
        {empty, "holds no password"},
        {cut, "longer than 4096 bytes"},
    };
    for (const auto& [file, why] : refused) {
        const Outcome run = RunAdmin({"--password-file", file, "approve", waiting}, noEnv);
        EXPECT_EQ(run.status, 2) << file << "\n" << Describe(run);
        EXPECT_TRUE(Contains(run.err, why)) << run.err;
    }
    const Outcome unset = RunAdmin({"list"}, {{"CORVANE_ADMIN_PASSWORD", ""}});
    EXPECT_EQ(unset.status, 2) << Describe(unset);
    EXPECT_TRUE(Contains(unset.err, "CORVANE_ADMIN_PASSWORD is empty")) << unset.err;
    ::rmdir(dir.c_str());
    std::remove(empty.c_str());
    std::remove(cut.c_str());
    EXPECT_EQ(Flags(waiting), "10");

    // A pipe, as a shell's process substitution hands it over. Its writer stays open: the first
    // line is all that is read.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string line = std::string(kAdminPassword) + "\n";
    ASSERT_EQ(::write(ends[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    const Outcome piped = RunAdmin(
        {"--password-file", "/dev/fd/" + std::to_string(ends[0]), "approve", waiting}, noEnv);
    ::close(ends[0]);
    ::close(ends[1]);
    EXPECT_EQ(piped.status, 0) << Describe(piped);
    EXPECT_EQ(Flags(waiting), "11");
}

TEST_F(ModerationTest, AdminAccountCannotDeleteRowsOrReadPasswordHashes) {
    DbSettings settings = TestDatabase::AppSettings();
    settings.user = "corvane_admin";
    settings.password = kAdminPassword;
    wxString error;
    const auto db = Database::Connect(settings, &error);
    ASSERT_TRUE(db) << error;

    const auto snippetsBefore = server.Query("SELECT * FROM snippets ORDER BY sid");
    const auto usersBefore = server.Query("SELECT * FROM users ORDER BY uid");
    const std::vector<std::string> writes = {
        "DELETE FROM snippets WHERE sid = " + waiting,
        "DELETE FROM users WHERE uid = " + bob,
        "TRUNCATE TABLE snippets",
        "DROP TABLE snippets",
        "INSERT INTO snippets(uid, title, language, content) VALUES(1, 't', 'C', 'x')",
        "INSERT INTO users(username, password) VALUES('mallory', SHA1('x'))",
        "UPDATE snippets SET content = 'defaced' WHERE sid = " + waiting,
        "UPDATE snippets SET uid = " + bob + " WHERE sid = " + waiting,
        "UPDATE snippets SET views = 1000 WHERE sid = " + waiting,
        "UPDATE users SET password = SHA1('x') WHERE uid = " + alice,
        "INSERT INTO favourites(uid, sid) VALUES(1, 1)",
        "GRANT DELETE ON corvane.snippets TO 'corvane_admin'@'%'",
    };
    for (const std::string& statement : writes) {
        EXPECT_FALSE(db->Execute(wxString::FromUTF8(statement))) << statement;
        EXPECT_TRUE(db->LastError().Contains("denied")) << statement << ": " << db->LastError();
    }
    const std::vector<std::string> reads = {
        "SELECT password FROM users",
        "SELECT * FROM users",
        "SELECT uid FROM users WHERE password = SHA1('wonderland')",
        "SELECT uid FROM favourites",
        "SELECT ip FROM remember",
    };
    for (const std::string& statement : reads) {
        EXPECT_FALSE(db->Select(wxString::FromUTF8(statement), Fetch::Stored, [](const DbRow&) {
            return true;
        })) << statement;
        EXPECT_TRUE(db->LastError().Contains("denied")) << statement << ": " << db->LastError();
    }
    EXPECT_EQ(server.Query("SELECT * FROM snippets ORDER BY sid"), snippetsBefore);
    EXPECT_EQ(server.Query("SELECT * FROM users ORDER BY uid"), usersBefore);

    // What it needs still works.
    const auto names =
        db->FirstRow("SELECT uid, username FROM users WHERE uid = " + alice, Fetch::Stored);
    ASSERT_TRUE(names) << db->LastError();
    EXPECT_EQ(names->at(1), "alice");
}

TEST_F(ModerationTest, AnUnreachableOrRefusingServerHasItsOwnExitCode) {
    {
        const Socket closed(false); // bound, not listening: connections are refused
        const Outcome run = RunAdmin({"list"}, {{"CORVANE_DB_PORT", closed.Port()}});
        EXPECT_EQ(run.status, 3) << Describe(run);
        EXPECT_TRUE(Contains(run.err, "cannot connect to the database at 127.0.0.1:" +
                                          closed.Port() + " as corvane_admin"))
            << run.err;
    }
    {
        // A server that takes the connection and never says a word: the connect timeout ends it.
        const Socket silent(true);
        const Outcome run = RunAdmin({"approve", waiting}, {{"CORVANE_DB_PORT", silent.Port()}});
        EXPECT_EQ(run.status, 3) << Describe(run);
    }
    const Outcome refused = RunAdmin({"approve", waiting}, {{"CORVANE_ADMIN_PASSWORD", "wrong"}});
    EXPECT_EQ(refused.status, 3) << Describe(refused);
    EXPECT_TRUE(Contains(refused.err, "Access denied")) << refused.err;
    EXPECT_EQ(Flags(waiting), "10");
}

TEST_F(ModerationTest, RequiredTlsRefusesAServerThatDoesNotVerifyAndSaysWhy) {
    const std::map<std::string, std::optional<std::string>> tls = {
        {"CORVANE_DB_TLS", "required"}, {"CORVANE_DB_CA", server.Dir() + "/tls/ca.pem"}};
    const Outcome encrypted = RunAdmin({"list"}, tls);
    EXPECT_EQ(encrypted.status, 0) << Describe(encrypted);
    {
        const ServerCertificate presented(server, RefusedCertificate("other-host"));
        const Outcome refused = RunAdmin({"approve", waiting}, tls);
        EXPECT_EQ(refused.status, 3) << Describe(refused);
        EXPECT_TRUE(Contains(refused.err, "as corvane_admin: the cloud's certificate could not be "
                                          "verified (TLS/SSL error: "))
            << refused.err;
    }
    EXPECT_EQ(Flags(waiting), "10");

    // Settings that are not ones are refused before anything is sent.
    const Outcome mode = RunAdmin({"list"}, {{"CORVANE_DB_TLS", "yes"}});
    EXPECT_EQ(mode.status, 2) << Describe(mode);
    EXPECT_TRUE(Contains(mode.err, "CORVANE_DB_TLS is neither off nor required: yes")) << mode.err;
    const Outcome fingerprint = RunAdmin({"list"}, {{"CORVANE_DB_FINGERPRINT", "12:34"}});
    EXPECT_EQ(fingerprint.status, 2) << Describe(fingerprint);
    EXPECT_TRUE(Contains(fingerprint.err, "not a SHA-256 fingerprint")) << fingerprint.err;
}

} // namespace

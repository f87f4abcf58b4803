#include "support/TestDatabase.h"

#include <mysql.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

struct ResultReleaser {
    void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
};
using ResultPtr = std::unique_ptr<MYSQL_RES, ResultReleaser>;

// The text in single quotes for a POSIX shell.
std::string ShellQuoted(const std::string& value) {
    std::string quoted = "'";
    for (const char c : value) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string ServerDirectory() {
    const char* dir = std::getenv("CORVANE_TEST_DB_DIR");
    if (dir == nullptr || *dir == '\0')
        throw std::runtime_error("CORVANE_TEST_DB_DIR is not set: run the tests through "
                                 "scripts/test, or after start_db of scripts/services.sh");
    return dir;
}

} // namespace

void TestDatabase::Closer::operator()(st_mysql* mysql) const { mysql_close(mysql); }

TestDatabase::TestDatabase() : TestDatabase(ServerDirectory(), false) {}

TestDatabase::TestDatabase(std::string dir, bool cluster_node)
    : dir_(std::move(dir)), cluster_node_(cluster_node) {
    Open();
}

std::unique_ptr<TestDatabase> TestDatabase::ClusterNode(const std::string& dir) {
    return std::unique_ptr<TestDatabase>(new TestDatabase(dir, true));
}

TestDatabase::~TestDatabase() {
    // A test that failed between stopping (or killing) the server and starting it again must not
    // leave the server down for the tests after it.
    if (!admin_) {
        try {
            StartServer();
        } catch (const std::exception&) {
        }
    }
}

void TestDatabase::Open() {
    admin_.reset(mysql_init(nullptr));
    if (!admin_)
        throw std::runtime_error("mysql_init failed");
    mysql_options(admin_.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const std::string socket = dir_ + "/mysqld.sock";
    // root is admitted by unix_socket authentication: no password.
    if (mysql_real_connect(admin_.get(), "localhost", "root", nullptr, "corvane", 0, socket.c_str(),
                           0) == nullptr) {
        const std::string message = mysql_error(admin_.get());
        admin_.reset();
        throw std::runtime_error("cannot connect as root through " + socket + ": " + message);
    }
}

void TestDatabase::Reset() {
    for (const char* table : {"users", "snippets", "favourites", "remember"})
        Exec(std::string("TRUNCATE TABLE ") + table);
}

st_mysql* TestDatabase::Connection() {
    if (!admin_)
        throw std::runtime_error("no admin connection: the server is stopped");
    return admin_.get();
}

void TestDatabase::Send(const std::string& sql) {
    if (mysql_real_query(Connection(), sql.data(), sql.size()) != 0)
        throw std::runtime_error("statement failed: " + std::string(mysql_error(admin_.get())) +
                                 "\n" + sql.substr(0, 200));
}

void TestDatabase::Exec(const std::string& sql) {
    Send(sql);
    ResultPtr discarded(mysql_store_result(admin_.get()));
}

TestDatabase::Rows TestDatabase::Query(const std::string& sql) {
    Send(sql);
    ResultPtr result(mysql_store_result(admin_.get()));
    if (!result)
        throw std::runtime_error("query yielded no result set: " + sql.substr(0, 200));
    Rows rows;
    const unsigned columns = mysql_num_fields(result.get());
    while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(result.get());
        std::vector<std::string>& fields = rows.emplace_back();
        for (unsigned i = 0; i < columns; ++i)
            fields.emplace_back(row[i] != nullptr ? std::string(row[i], lengths[i]) : "");
    }
    return rows;
}

std::string TestDatabase::Escape(const std::string& value) {
    std::string escaped(value.size() * 2 + 1, '\0');
    escaped.resize(
        mysql_real_escape_string(Connection(), escaped.data(), value.data(), value.size()));
    return escaped;
}

std::string TestDatabase::AddUser(const std::string& name, const std::string& password) {
    Exec("INSERT INTO users(username, password) VALUES('" + Escape(name) + "', SHA1('" +
         Escape(password) + "'))");
    return std::to_string(mysql_insert_id(admin_.get()));
}

std::string TestDatabase::AddSnippet(const std::string& uid, const std::string& title,
                                     const std::optional<std::string>& language,
                                     const std::string& content, bool isPublic, bool approved) {
    const std::string languageValue = language ? "'" + Escape(*language) + "'" : "NULL";
    Exec("INSERT INTO snippets(uid, title, language, content, public, approved) VALUES(" +
         Escape(uid) + ", '" + Escape(title) + "', " + languageValue + ", '" + Escape(content) +
         "', " + (isPublic ? "1" : "0") + ", " + (approved ? "1" : "0") + ")");
    return std::to_string(mysql_insert_id(admin_.get()));
}

void TestDatabase::AddFavourite(const std::string& uid, const std::string& sid) {
    Exec("INSERT INTO favourites(uid, sid) VALUES(" + Escape(uid) + ", " + Escape(sid) + ")");
}

void TestDatabase::Load(const std::string& sqlFile) {
    RunScript("db", "load " + ShellQuoted(dir_) + " " + ShellQuoted(sqlFile));
}

void TestDatabase::StopServer() {
    admin_.reset();
    RunScript("db", "stop " + ShellQuoted(dir_));
}

void TestDatabase::StartServer() {
    if (cluster_node_)
        RunScript("cluster", "rejoin " + ShellQuoted(dir_));
    else
        RunScript("db", "start " + ShellQuoted(dir_) + " " + std::to_string(Port()));
    Open();
}

unsigned TestDatabase::Port() const {
    std::ifstream portFile(dir_ + "/port");
    unsigned port = 0;
    if (!(portFile >> port))
        throw std::runtime_error("no port file in " + dir_);
    return port;
}

void TestDatabase::KillServer() {
    std::ifstream pidFile(dir_ + "/mysqld.pid");
    pid_t pid = 0;
    if (!(pidFile >> pid) || pid <= 0)
        throw std::runtime_error("no pid file in " + dir_);
    admin_.reset();
    if (::kill(pid, SIGKILL) != 0)
        throw std::runtime_error("cannot kill the server");
    // Gone once its process has ended (a zombie is gone as far as the port is concerned). The
    // first thread may show as a zombie while the others still end, holding the sockets open (a
    // connection could still be accepted), so the threads must be gone too.
    const std::string proc = "/proc/" + std::to_string(pid);
    for (int i = 0; i < 500; ++i) {
        std::ifstream stat(proc + "/stat");
        std::string field, name, state;
        if (!(stat >> field >> name >> state))
            break;
        std::error_code error;
        const auto threads =
            std::distance(std::filesystem::directory_iterator(proc + "/task", error),
                          std::filesystem::directory_iterator());
        if (state == "Z" && threads <= 1)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The dead server could not remove its socket and pid files.
    ::unlink((dir_ + "/mysqld.sock").c_str());
    ::unlink((dir_ + "/mysqld.pid").c_str());
}

void TestDatabase::RunScript(const std::string& script, const std::string& arguments) {
    const std::string command =
        ShellQuoted(CORVANE_SOURCE_DIR "/scripts/" + script) + " " + arguments;
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

DbSettings TestDatabase::AppSettings() { return DbSettings::FromBuild(); }

namespace {
// A variable's value as an SQL literal: numbers bare, everything else quoted.
std::string Literal(TestDatabase& db, const std::string& value) {
    const bool number =
        !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
    return number ? value : "'" + db.Escape(value) + "'";
}
} // namespace

ServerVariable::ServerVariable(TestDatabase& db, const std::string& name, const std::string& value)
    : db_(db), name_(name) {
    saved_ = db_.Query("SELECT @@GLOBAL." + name_).at(0).at(0);
    db_.Exec("SET GLOBAL " + name_ + " = " + Literal(db_, value));
}

ServerVariable::~ServerVariable() {
    try {
        db_.Exec("SET GLOBAL " + name_ + " = " + Literal(db_, saved_));
    } catch (const std::exception&) {
    }
}

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!(out << bytes))
        throw std::runtime_error("cannot write " + path);
}

// The output of a shell command; throws when it fails.
std::string CommandOutput(const std::string& command) {
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        throw std::runtime_error("cannot run: " + command);
    std::string output;
    char buffer[512];
    while (const size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    if (::pclose(pipe) != 0)
        throw std::runtime_error("failed: " + command);
    return output;
}

// The directory of the refused certificates, removed when the test program ends.
class RefusedCertificates {
public:
    RefusedCertificates() {
        char templ[] = "/tmp/corvane-certificates.XXXXXX";
        if (::mkdtemp(templ) == nullptr)
            throw std::runtime_error("no temporary directory");
        dir_ = templ;
        const char* db = std::getenv("CORVANE_TEST_DB_DIR");
        CommandOutput(ShellQuoted(CORVANE_SOURCE_DIR "/tests/support/make-test-certificates.sh") +
                      " " + ShellQuoted(std::string(db != nullptr ? db : "") + "/tls") + " " +
                      ShellQuoted(dir_));
    }
    ~RefusedCertificates() { std::system(("rm -rf " + ShellQuoted(dir_)).c_str()); }
    const std::string& Dir() const { return dir_; }

private:
    std::string dir_;
};

} // namespace

ServerCertificate::ServerCertificate(TestDatabase& db, const std::string& dir)
    : db_(db), certificate_(ReadAll(db.Dir() + "/tls/server-cert.pem")),
      key_(ReadAll(db.Dir() + "/tls/server-key.pem")) {
    WriteAll(db_.Dir() + "/tls/server-cert.pem", ReadAll(dir + "/server-cert.pem"));
    WriteAll(db_.Dir() + "/tls/server-key.pem", ReadAll(dir + "/server-key.pem"));
    db_.Exec("FLUSH SSL");
}

ServerCertificate::~ServerCertificate() {
    try {
        WriteAll(db_.Dir() + "/tls/server-cert.pem", certificate_);
        WriteAll(db_.Dir() + "/tls/server-key.pem", key_);
        db_.Exec("FLUSH SSL");
    } catch (const std::exception&) {
    }
}

std::string RefusedCertificate(const std::string& which) {
    static const RefusedCertificates certificates;
    return certificates.Dir() + "/" + which;
}

std::string Fingerprint(const std::string& certificate) {
    const std::string output =
        CommandOutput("openssl x509 -noout -fingerprint -sha256 -in " + ShellQuoted(certificate));
    const size_t equals = output.find('=');
    if (equals == std::string::npos)
        throw std::runtime_error("no fingerprint: " + output);
    return output.substr(equals + 1, output.find_first_of("\r\n", equals) - equals - 1);
}

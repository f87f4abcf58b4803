#pragma once

#include "storage/DbSettings.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct st_mysql;

// The test server that scripts/services.sh starts (its directory in CORVANE_TEST_DB_DIR), reached
// as root through its socket: seeding and inspecting rows, and stopping and starting the server.
// Every failure throws std::runtime_error, which fails the running test with the server's message.
class TestDatabase {
public:
    using Rows = std::vector<std::vector<std::string>>;

    TestDatabase();
    // A node of the Galera cluster that scripts/cluster started, in its directory: the same, except
    // that StartServer brings the node back into its cluster.
    static std::unique_ptr<TestDatabase> ClusterNode(const std::string& dir);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // Empties the four tables and restarts their ids at 1.
    void Reset();
    void Exec(const std::string& sql);
    // Every field's exact bytes; NULL reads as empty.
    Rows Query(const std::string& sql);
    // The bytes escaped as the body of an SQL string literal.
    std::string Escape(const std::string& value);

    // New rows; the ids come back as the decimal text the program would hold.
    std::string AddUser(const std::string& name, const std::string& password);
    // A language of nullopt stores NULL.
    std::string AddSnippet(const std::string& uid, const std::string& title,
                           const std::optional<std::string>& language, const std::string& content,
                           bool isPublic = false, bool approved = false);
    void AddFavourite(const std::string& uid, const std::string& sid);

    // Runs an SQL file as root through the server's own client (e.g. db/demo.sql).
    void Load(const std::string& sqlFile);

    // Stops the server and waits until it has gone; StartServer brings it back on the same port
    // with the same data and reconnects this admin connection. A server still stopped when this
    // object goes away is started again.
    void StopServer();
    void StartServer();
    // Kills the server with SIGKILL, as a crash or a power cut would, and waits until it is gone:
    // whatever it had not written is lost, what it had committed survives the next start.
    void KillServer();
    // The port the server listens on.
    unsigned Port() const;
    // The server's directory; its TLS certificate and key are tls/server-cert.pem and
    // tls/server-key.pem, signed by the CA tls/ca.pem.
    const std::string& Dir() const { return dir_; }

    // The settings the program itself connects with (the test server's port and password).
    static DbSettings AppSettings();

private:
    struct Closer {
        void operator()(st_mysql* mysql) const;
    };

    TestDatabase(std::string dir, bool cluster_node);
    void Open();
    st_mysql* Connection();
    void Send(const std::string& sql);
    void RunScript(const std::string& script, const std::string& arguments);

    std::string dir_;
    bool cluster_node_ = false;
    std::unique_ptr<st_mysql, Closer> admin_;
};

// Sets a global server variable (as root) for the life of this object, then restores it. New
// connections take their session values from it.
class ServerVariable {
public:
    ServerVariable(TestDatabase& db, const std::string& name, const std::string& value);
    ~ServerVariable();
    ServerVariable(const ServerVariable&) = delete;
    ServerVariable& operator=(const ServerVariable&) = delete;

private:
    TestDatabase& db_;
    std::string name_;
    std::string saved_;
};

// Makes the server present the certificate and key of `dir` (server-cert.pem, server-key.pem) to
// new connections while this object lives, then its own again (FLUSH SSL, no restart).
class ServerCertificate {
public:
    ServerCertificate(TestDatabase& db, const std::string& dir);
    ~ServerCertificate();
    ServerCertificate(const ServerCertificate&) = delete;
    ServerCertificate& operator=(const ServerCertificate&) = delete;

private:
    TestDatabase& db_;
    std::string certificate_;
    std::string key_;
};

// Server certificates a client with TLS required must refuse, made once per test program in a
// temporary directory (tests/support/make-test-certificates.sh): "other-ca", "other-host" and
// "expired", each a directory for ServerCertificate.
std::string RefusedCertificate(const std::string& which);
// The SHA-256 fingerprint of a certificate file as openssl prints it ("AB:CD:...").
std::string Fingerprint(const std::string& certificate);

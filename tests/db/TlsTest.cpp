#include "storage/Database.h"

#include "support/ScopedEnv.h"
#include "support/TcpProxy.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// The program's connection with TLS required, to the test server that offers TLS (with a
// certificate for 127.0.0.1 signed by its own CA) without requiring it.
class TlsTest : public ::testing::Test {
protected:
    void SetUp() override { server.Reset(); }

    DbSettings Required(unsigned port = 0) const {
        DbSettings settings = TestDatabase::AppSettings();
        settings.tls = DbTls::Required;
        settings.ca_file = server.Dir() + "/tls/ca.pem";
        settings.fingerprint.clear();
        if (port != 0)
            settings.port = port;
        return settings;
    }

    struct Attempt {
        std::unique_ptr<Database> db;
        wxString error;
        Database::TlsRefusal refusal = Database::TlsRefusal::None;
    };
    static Attempt Connect(const DbSettings& settings) {
        Attempt attempt;
        attempt.db = Database::Connect(settings, &attempt.error, &attempt.refusal);
        return attempt;
    }

    // The cipher of the connection as the server sees it; empty when it is not encrypted.
    static std::string ServerSideCipher(Database& db) {
        const auto row = db.FirstRow("SHOW SESSION STATUS LIKE 'Ssl_cipher'", Fetch::Stored);
        return row ? std::string((*row)[1].utf8_str()) : "(no answer)";
    }

    // What the server's general log holds of the program's account: its logins and statements.
    std::vector<std::string> ProgramLog() {
        std::vector<std::string> log;
        // A login is logged under "[corvane] @ ...", what follows under "corvane[corvane] @ ...".
        for (const auto& row : server.Query("SELECT command_type, argument FROM mysql.general_log "
                                            "WHERE user_host LIKE '%[corvane] @%'"))
            log.push_back(row[0] + " " + row[1]);
        return log;
    }

    TestDatabase server;
};

TEST_F(TlsTest, RequiredTlsEncryptsWithEveryWayOfRecognisingTheServer) {
    const std::string fingerprint = Fingerprint(server.Dir() + "/tls/server-cert.pem");
    struct Case {
        const char* name;
        std::string ca, fingerprint, system_cas;
    };
    const Case cases[] = {
        {"the CA file", server.Dir() + "/tls/ca.pem", "", ""},
        {"the fingerprint alone", "", fingerprint, ""},
        {"both", server.Dir() + "/tls/ca.pem", fingerprint, ""},
        // OpenSSL reads the system's CAs from SSL_CERT_FILE when it is set.
        {"the system's CAs", "", "", server.Dir() + "/tls/ca.pem"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv system_cas("SSL_CERT_FILE", c.system_cas.empty() ? "/nonexistent" : c.system_cas);
        DbSettings settings = Required();
        settings.ca_file = c.ca;
        settings.fingerprint =
            c.fingerprint.empty() ? "" : *DbSettings::NormalFingerprint(c.fingerprint);
        Attempt attempt = Connect(settings);
        ASSERT_TRUE(attempt.db) << attempt.error;
        EXPECT_NE(ServerSideCipher(*attempt.db), "");
        // The session's strict mode is set on the encrypted connection too.
        const auto mode = attempt.db->FirstRow("SELECT @@SESSION.sql_mode", Fetch::Stored);
        ASSERT_TRUE(mode);
        EXPECT_TRUE((*mode)[0].Contains("STRICT_ALL_TABLES")) << (*mode)[0];
    }
    // Without TLS the same server is reached in clear text; without any CA it is not trusted.
    DbSettings plain = TestDatabase::AppSettings();
    plain.tls = DbTls::Off;
    Attempt clear = Connect(plain);
    ASSERT_TRUE(clear.db) << clear.error;
    EXPECT_EQ(ServerSideCipher(*clear.db), "");
    ScopedEnv no_system_cas("SSL_CERT_FILE", "/nonexistent");
    DbSettings untrusted = Required();
    untrusted.ca_file.clear();
    EXPECT_EQ(Connect(untrusted).refusal, Database::TlsRefusal::NotVerified);
}

TEST_F(TlsTest, ServersWhoseCertificatesDoNotVerifyAreRefusedBeforeAnyStatement) {
    ServerVariable log_to_table(server, "log_output", "TABLE");
    ServerVariable general_log(server, "general_log", "ON");
    struct Case {
        const char* name;
        std::string certificate; // empty: the server's own
        std::string fingerprint; // empty: the CA decides
        std::string reason;      // part of the client library's message
    };
    const Case cases[] = {
        {"another CA", RefusedCertificate("other-ca"), "", "unable to get local issuer"},
        {"expired", RefusedCertificate("expired"), "", "expired"},
        {"another host name", RefusedCertificate("other-host"), "", "Validation"},
        {"another certificate than the fingerprint's", RefusedCertificate("other-host"),
         Fingerprint(server.Dir() + "/tls/server-cert.pem"), "fingerprint"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ServerCertificate presented(server, c.certificate);
        server.Exec("TRUNCATE TABLE mysql.general_log");
        DbSettings settings = Required();
        if (!c.fingerprint.empty()) {
            settings.ca_file.clear();
            settings.fingerprint = *DbSettings::NormalFingerprint(c.fingerprint);
        }
        const Attempt attempt = Connect(settings);
        EXPECT_FALSE(attempt.db);
        EXPECT_EQ(attempt.refusal, Database::TlsRefusal::NotVerified);
        EXPECT_TRUE(attempt.error.Contains(c.reason)) << attempt.error;
        // No statement reached the server; with a CA, not even the login.
        const std::vector<std::string> log = ProgramLog();
        for (const std::string& entry : log)
            EXPECT_EQ(entry.rfind("Query", 0), std::string::npos) << entry;
        if (c.fingerprint.empty()) {
            EXPECT_TRUE(log.empty()) << log.front();
        }
    }
    // The server's own certificate passes, and its log shows the program's login and statement:
    // the log above could have shown them.
    server.Exec("TRUNCATE TABLE mysql.general_log");
    ASSERT_TRUE(Connect(Required()).db);
    const std::vector<std::string> log = ProgramLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].rfind("Connect", 0), 0u) << log[0];
    EXPECT_NE(log[0].find("SSL/TLS"), std::string::npos) << log[0];
    EXPECT_EQ(log[1].rfind("Query SET SESSION sql_mode", 0), 0u) << log[1];
}

TEST_F(TlsTest, ServerThatOffersNoTlsIsRefusedAndHearsNothing) {
    TcpProxy proxy(server.Port());
    proxy.OfferNoTls();
    const Attempt attempt = Connect(Required(proxy.Port()));
    EXPECT_FALSE(attempt.db);
    EXPECT_EQ(attempt.refusal, Database::TlsRefusal::NotOffered);
    proxy.WaitUntilClosed();
    EXPECT_FALSE(proxy.FromServer().empty()) << "the greeting was not passed on";
    EXPECT_EQ(proxy.FromClient(), "") << "the client sent something in clear text";
    // The same server through the same proxy takes a connection without TLS.
    DbSettings plain = TestDatabase::AppSettings();
    plain.port = proxy.Port();
    const Attempt clear = Connect(plain);
    ASSERT_TRUE(clear.db) << clear.error;
    EXPECT_EQ(clear.refusal, Database::TlsRefusal::None);
}

TEST_F(TlsTest, ReconnectionVerifiesTheServerAgain) {
    Attempt attempt = Connect(Required());
    ASSERT_TRUE(attempt.db) << attempt.error;
    Database& db = *attempt.db;
    const auto id = db.FirstRow("SELECT CONNECTION_ID()", Fetch::Stored);
    ASSERT_TRUE(id);
    {
        // The server changes its certificate and drops the connection; the next statement
        // reconnects, and refuses the new certificate.
        const ServerCertificate presented(server, RefusedCertificate("other-ca"));
        server.Exec("KILL CONNECTION " + std::string((*id)[0].utf8_str()));
        EXPECT_FALSE(db.FirstRow("SELECT 1", Fetch::Stored));
        EXPECT_EQ(db.LastFailure(), Database::Failure::Unreachable) << db.LastError();
        EXPECT_EQ(db.LastTlsRefusal(), Database::TlsRefusal::NotVerified);
        EXPECT_FALSE(db.Execute("DELETE FROM favourites"));
        EXPECT_EQ(db.LastTlsRefusal(), Database::TlsRefusal::NotVerified);
    }
    // Its own certificate again: the next statement reconnects, encrypted.
    const auto row = db.FirstRow("SELECT 7", Fetch::Stored);
    ASSERT_TRUE(row) << db.LastError();
    EXPECT_EQ((*row)[0], "7");
    EXPECT_EQ(db.LastTlsRefusal(), Database::TlsRefusal::None);
    EXPECT_NE(ServerSideCipher(db), "");
}

} // namespace

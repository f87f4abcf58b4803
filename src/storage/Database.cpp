#include "storage/Database.h"

#include "app/TextCodec.h"
#include "storage/TlsPeer.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysqld_error.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

struct HandleCloser {
    void operator()(MYSQL* mysql) const { mysql_close(mysql); }
};
using MysqlPtr = std::unique_ptr<MYSQL, HandleCloser>;

struct ResultReleaser {
    void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
};
using ResultPtr = std::unique_ptr<MYSQL_RES, ResultReleaser>;

// A connection the server killed (an administrator's KILL) answers its next statement with
// ER_CONNECTION_KILLED, and an encrypted connection that the server closed fails with a TLS error
// ("unexpected eof while reading"): both are gone like any other.
bool IsConnectionLost(unsigned code) {
    return code == CR_SERVER_GONE_ERROR || code == CR_SERVER_LOST || code == ER_CONNECTION_KILLED ||
           code == CR_SSL_CONNECTION_ERROR;
}

constexpr const char* kSessionMode =
    "SET SESSION sql_mode = 'STRICT_ALL_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_ENGINE_SUBSTITUTION'";

// The server's max_allowed_packet on this connection, or nothing when it cannot be told.
std::optional<unsigned long long> PacketLimit(MYSQL* mysql) {
    static const char kQuery[] = "SELECT @@max_allowed_packet";
    if (mysql_real_query(mysql, kQuery, sizeof kQuery - 1) != 0)
        return std::nullopt;
    ResultPtr result(mysql_store_result(mysql));
    MYSQL_ROW row = result ? mysql_fetch_row(result.get()) : nullptr;
    const unsigned long long limit =
        row != nullptr && row[0] != nullptr ? std::strtoull(row[0], nullptr, 10) : 0;
    return limit != 0 ? std::optional<unsigned long long>(limit) : std::nullopt;
}

// Asks for TLS as the settings say. The client library checks the certificate's chain and
// host name (against the CA file, or the system's CAs); a fingerprint without a CA replaces that
// check, and is compared once the handshake is done (VerifiedPeer).
void RequireTls(MYSQL* mysql, const DbSettings& settings) {
    if (settings.tls != DbTls::Required)
        return;
    const my_bool enforce = 1;
    const my_bool verify = !settings.ca_file.empty() || settings.fingerprint.empty();
    mysql_optionsv(mysql, MYSQL_OPT_SSL_ENFORCE, &enforce);
    mysql_optionsv(mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verify);
    if (!settings.ca_file.empty())
        mysql_optionsv(mysql, MYSQL_OPT_SSL_CA, settings.ca_file.c_str());
}

// Why the client library refused a server with TLS required; None for other failures. The
// server's greeting, read before TLS starts, tells whether it offered TLS at all.
Database::TlsRefusal Refusal(MYSQL* mysql, const DbSettings& settings) {
    if (settings.tls != DbTls::Required || mysql_errno(mysql) != CR_SSL_CONNECTION_ERROR)
        return Database::TlsRefusal::None;
    const unsigned long offered = mysql->server_capabilities;
    return offered != 0 && (offered & CLIENT_SSL) == 0 ? Database::TlsRefusal::NotOffered
                                                       : Database::TlsRefusal::NotVerified;
}

// True when the connection's certificate is the one the settings' fingerprint names (or none is
// named); otherwise the reason is in `error`.
bool VerifiedPeer(MYSQL* mysql, const DbSettings& settings, std::string& error) {
    if (settings.tls != DbTls::Required || settings.fingerprint.empty())
        return true;
    const std::optional<std::string> actual = tls_peer::CertificateSha256(mysql);
    if (actual && *actual == settings.fingerprint)
        return true;
    error = actual ? "the server's certificate has the SHA-256 fingerprint " + *actual + ", not " +
                         settings.fingerprint
                   : "the server's certificate could not be read";
    return false;
}

// A connected handle, or null with the client library's message in `error`, its number in `code`
// and, when TLS refused the server, why in `refusal`.
MysqlPtr OpenOnce(const DbSettings& settings, std::string& error, unsigned& code,
                  Database::TlsRefusal& refusal) {
    code = 0;
    refusal = Database::TlsRefusal::None;
    MysqlPtr mysql(mysql_init(nullptr));
    if (!mysql) {
        error = "The database client could not create a connection handle.";
        return nullptr;
    }
    const unsigned connectTimeout = settings.connect_timeout_seconds;
    const unsigned readWriteTimeout = settings.read_write_timeout_seconds;
    // TCP always: with the default protocol a host "localhost" would mean a local socket.
    const unsigned protocol = MYSQL_PROTOCOL_TCP;
    mysql_options(mysql.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    mysql_options(mysql.get(), MYSQL_OPT_PROTOCOL, &protocol);
    mysql_options(mysql.get(), MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
    mysql_options(mysql.get(), MYSQL_OPT_READ_TIMEOUT, &readWriteTimeout);
    mysql_options(mysql.get(), MYSQL_OPT_WRITE_TIMEOUT, &readWriteTimeout);
    RequireTls(mysql.get(), settings);
    if (mysql_real_connect(mysql.get(), settings.host.c_str(), settings.user.c_str(),
                           settings.password.c_str(), settings.database.c_str(), settings.port,
                           nullptr, 0) == nullptr) {
        error = mysql_error(mysql.get());
        code = mysql_errno(mysql.get());
        refusal = Refusal(mysql.get(), settings);
        return nullptr;
    }
    if (!VerifiedPeer(mysql.get(), settings, error)) {
        refusal = Database::TlsRefusal::NotVerified;
        return nullptr;
    }
    // Sent on every connection, the reopened ones too, and only once the server is known to be
    // the right one. Strict mode makes the server refuse a value that does not fit its column
    // instead of cutting it; the fixed mode also keeps backslash escapes on, which the escaping
    // of values relies on.
    if (mysql_real_query(mysql.get(), kSessionMode, std::strlen(kSessionMode)) != 0) {
        error = mysql_error(mysql.get());
        return nullptr;
    }
    return mysql;
}

// A connected handle, or null with the client library's message in `error` (and, when TLS refused
// the server, why in `refusal`). A balancer in front
// of several servers (HAProxy before a cluster) whose server has just died drops connections,
// before any greeting, until it has taken that server out (a dying server may even take one
// first); then it sends them to another. So a connection lost at once, before the greeting, is
// tried again every quarter of a second for as long as the connect timeout lasts. (One that a
// server took but never answered is not: that would only make the wait longer.)
MysqlPtr Open(const DbSettings& settings, std::string& error, Database::TlsRefusal& refusal) {
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    constexpr auto kPause = 250ms;
    const auto deadline = Clock::now() + std::chrono::seconds(settings.connect_timeout_seconds);
    for (;;) {
        unsigned code = 0;
        const auto start = Clock::now();
        MysqlPtr mysql = OpenOnce(settings, error, code, refusal);
        if (mysql || code != CR_SERVER_LOST || Clock::now() - start > 1s ||
            Clock::now() + kPause > deadline)
            return mysql;
        std::this_thread::sleep_for(kPause);
    }
}

} // namespace

struct Database::Handle {
    // Never null: a failed reopening keeps the dead handle, so escaping always has a character
    // set to work with.
    MysqlPtr mysql;
    // The server has gone away; the next statement opens a fresh connection first.
    bool lost = false;
    // The server's max_allowed_packet for this connection, asked for when a statement first
    // comes near the smallest limit a server may have.
    std::optional<unsigned long long> packet_limit;
};

bool DbRow::IsNull(unsigned column) const { return column >= count_ || fields_[column] == nullptr; }

std::string_view DbRow::Bytes(unsigned column) const {
    if (IsNull(column))
        return {};
    return std::string_view(fields_[column], lengths_[column]);
}

wxString DbRow::Text(unsigned column) const { return text::FromUtf8(Bytes(column)); }

Database::Database(const DbSettings& settings)
    : settings_(settings), handle_(std::make_unique<Handle>()) {}

Database::~Database() = default;

wxString Database::RefusalText(TlsRefusal refusal) {
    switch (refusal) {
    case TlsRefusal::NotOffered:
        return "the cloud does not offer an encrypted connection";
    case TlsRefusal::NotVerified:
        return "the cloud's certificate could not be verified";
    case TlsRefusal::None:
        break;
    }
    return wxString();
}

std::unique_ptr<Database> Database::Connect(const DbSettings& settings, wxString* error,
                                            TlsRefusal* refusal) {
    std::string message;
    TlsRefusal why = TlsRefusal::None;
    MysqlPtr mysql = Open(settings, message, why);
    if (refusal != nullptr)
        *refusal = why;
    if (!mysql) {
        if (error != nullptr)
            *error = text::FromUtf8(message);
        return nullptr;
    }
    std::unique_ptr<Database> database(new Database(settings));
    database->handle_->mysql = std::move(mysql);
    return database;
}

wxString Database::Escape(const wxString& value) const {
    const std::optional<std::string> bytes = text::ToUtf8(value);
    // A value UTF-8 cannot carry stays as it is: any statement holding it cannot be encoded
    // either, so it is never sent.
    if (!bytes)
        return value;
    std::string escaped(bytes->size() * 2 + 1, '\0');
    const unsigned long length = mysql_real_escape_string(handle_->mysql.get(), escaped.data(),
                                                          bytes->data(), bytes->size());
    escaped.resize(length);
    return text::FromUtf8(escaped);
}

void Database::SetStatementObserver(std::function<void(const std::string&)> observer) {
    observer_ = std::move(observer);
}

// Reconnection. The server may go away at any time (restart, idle timeout); the first statement
// after that fails with "server has gone away" or "lost connection". A read is then sent once
// more on a fresh connection, unless rows had already been handed to the caller. A write is
// never sent twice, because the server may have applied it before the connection broke: it goes
// out only on a connection that has just answered a ping, and if it fails on the way, the
// failure is reported and only the next statement opens a fresh connection.

bool Database::Execute(const wxString& statement) {
    affected_rows_ = 0;
    matched_rows_.reset();
    insert_id_ = 0;
    outcome_unknown_ = false;
    const std::optional<std::string> bytes = Encode(statement);
    if (!bytes)
        return false;
    if ((handle_->lost || mysql_ping(handle_->mysql.get()) != 0) && !Reopen())
        return false;
    if (!FitsPacket(*bytes))
        return false;
    if (!Send(*bytes)) {
        // The statement left, but the connection broke before the reply came: the server may
        // or may not have applied it.
        outcome_unknown_ = handle_->lost;
        return false;
    }
    MYSQL* mysql = handle_->mysql.get();
    // A statement with a result set is still accepted; its rows are read and dropped so the
    // connection can take the next statement.
    if (mysql_field_count(mysql) > 0 && ResultPtr(mysql_store_result(mysql)) == nullptr)
        return Fail();
    affected_rows_ = mysql_affected_rows(mysql);
    insert_id_ = mysql_insert_id(mysql);
    // An UPDATE reports the rows it matched only in its information text: the count of changed
    // rows leaves out rows that already held the new values.
    unsigned long long matched = 0;
    if (const char* info = mysql_info(mysql);
        info != nullptr && std::sscanf(info, "Rows matched: %llu", &matched) == 1)
        matched_rows_ = matched;
    Succeed();
    return true;
}

bool Database::Select(const wxString& statement, Fetch fetch,
                      const std::function<bool(const DbRow&)>& onRow) {
    const std::optional<std::string> bytes = Encode(statement);
    if (!bytes || !EnsureOpen() || !FitsPacket(*bytes))
        return false;
    bool delivered = false;
    if (Read(*bytes, fetch, onRow, delivered))
        return true;
    // The fresh connection may have another limit than the one that went away.
    if (!handle_->lost || delivered || !Reopen() || !FitsPacket(*bytes))
        return false;
    return Read(*bytes, fetch, onRow, delivered);
}

std::optional<std::vector<wxString>> Database::FirstRow(const wxString& statement, Fetch fetch) {
    std::optional<std::vector<wxString>> first;
    const bool ok = Select(statement, fetch, [&first](const DbRow& row) {
        first.emplace();
        for (unsigned column = 0; column < row.Size(); ++column)
            first->push_back(row.Text(column));
        return false;
    });
    if (!ok)
        return std::nullopt;
    return first;
}

std::optional<std::string> Database::Encode(const wxString& statement) {
    std::optional<std::string> bytes = text::ToUtf8(statement);
    if (!bytes) {
        last_error_ = "The statement holds a character that UTF-8 cannot encode; it was not sent.";
        failure_ = Failure::Other;
    }
    return bytes;
}

bool Database::FitsPacket(const std::string& statement) {
    // The packet holds the statement after one command byte, and the server takes only packets
    // smaller than its max_allowed_packet: it refuses a larger one by dropping the connection
    // without saying why. No server's limit is below 1024 bytes, so only a longer statement needs
    // the limit (one question per connection).
    constexpr unsigned long long kSmallestLimit = 1024;
    const unsigned long long packet = statement.size() + 1;
    if (packet < kSmallestLimit)
        return true;
    if (!handle_->packet_limit)
        handle_->packet_limit = PacketLimit(handle_->mysql.get());
    // A limit that cannot be told is left to the server.
    if (!handle_->packet_limit || packet < *handle_->packet_limit)
        return true;
    // The limit is the connection's. A connection the server dropped unnoticed (a restart) comes
    // back with the server's limit of now, which may be larger.
    if (mysql_ping(handle_->mysql.get()) != 0) {
        if (!Reopen())
            return false;
        handle_->packet_limit = PacketLimit(handle_->mysql.get());
        if (!handle_->packet_limit || packet < *handle_->packet_limit)
            return true;
    }
    const unsigned long long limit = *handle_->packet_limit;
    last_error_ = wxString::Format("The statement is %llu bytes long, but the database server "
                                   "takes at most %llu bytes (its max_allowed_packet is %llu). "
                                   "It was not sent.",
                                   static_cast<unsigned long long>(statement.size()),
                                   std::max(limit, 2ULL) - 2, limit);
    failure_ = Failure::Other;
    return false;
}

bool Database::Reopen() {
    std::string message;
    MysqlPtr fresh = Open(settings_, message, tls_refusal_);
    if (!fresh) {
        last_error_ = text::FromUtf8(message);
        failure_ = Failure::Unreachable;
        handle_->lost = true;
        return false;
    }
    handle_->packet_limit.reset();
    handle_->mysql = std::move(fresh);
    handle_->lost = false;
    return true;
}

bool Database::EnsureOpen() { return !handle_->lost || Reopen(); }

bool Database::Send(const std::string& statement) {
    if (observer_)
        observer_(statement);
    // The explicit length keeps escaped NULs and everything after them.
    if (mysql_real_query(handle_->mysql.get(), statement.data(), statement.size()) != 0)
        return Fail();
    return true;
}

bool Database::Fail() {
    MYSQL* mysql = handle_->mysql.get();
    last_error_ = text::FromUtf8(mysql_error(mysql));
    const unsigned code = mysql_errno(mysql);
    const bool lost = IsConnectionLost(code);
    if (lost)
        handle_->lost = true;
    failure_ = lost                       ? Failure::Unreachable
               : code == ER_DATA_TOO_LONG ? Failure::ValueTooLong
                                          : Failure::Other;
    return false;
}

void Database::Succeed() {
    last_error_.clear();
    failure_ = Failure::None;
    tls_refusal_ = TlsRefusal::None;
}

bool Database::Read(const std::string& statement, Fetch fetch,
                    const std::function<bool(const DbRow&)>& onRow, bool& delivered) {
    if (!Send(statement))
        return false;
    MYSQL* mysql = handle_->mysql.get();
    ResultPtr result(fetch == Fetch::Stored ? mysql_store_result(mysql) : mysql_use_result(mysql));
    if (!result) {
        // No result set at all (a statement that yields none) reads as no rows.
        if (mysql_field_count(mysql) != 0)
            return Fail();
        Succeed();
        return true;
    }
    const unsigned columns = mysql_num_fields(result.get());
    MYSQL_ROW row;
    while ((row = mysql_fetch_row(result.get())) != nullptr) {
        delivered = true;
        if (!onRow(DbRow(row, mysql_fetch_lengths(result.get()), columns)))
            break;
    }
    // The connection takes no other statement until a streamed result has been read to its end.
    if (row != nullptr && fetch == Fetch::Streamed) {
        while (mysql_fetch_row(result.get()) != nullptr) {
        }
    }
    // A streamed fetch ends with a null row on failure too; only the error number tells.
    if (mysql_errno(mysql) != 0)
        return Fail();
    Succeed();
    return true;
}

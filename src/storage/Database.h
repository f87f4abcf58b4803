#pragma once

#include "storage/DbSettings.h"

#include <wx/string.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One row of a result set, valid only inside the row callback.
class DbRow {
public:
    DbRow(char** fields, const unsigned long* lengths, unsigned count)
        : fields_(fields), lengths_(lengths), count_(count) {}

    unsigned Size() const { return count_; }
    bool IsNull(unsigned column) const;
    // The field's exact bytes; a NUL inside a field is data. NULL and missing columns are empty.
    std::string_view Bytes(unsigned column) const;
    // The field decoded from UTF-8; NULL reads as empty text.
    wxString Text(unsigned column) const;

private:
    char** fields_;
    const unsigned long* lengths_;
    unsigned count_;
};

// How a result set is taken from the server: all rows at once, or row by row as they arrive.
enum class Fetch { Stored, Streamed };

// The one connection to the cloud and the one procedure by which every statement is sent.
//
// Statements are wide text, sent as UTF-8 on a utf8mb4 connection, in strict SQL mode. A statement
// that cannot be encoded, or that is larger than the server accepts, is not sent. When the server
// has gone away (restart, idle timeout) the connection is opened again: a read is then repeated, a
// write is sent only on a connection known to be alive, so that it is never applied twice.
class Database {
public:
    // Why a connection with TLS required was not made: the server offered no TLS, or its
    // certificate did not verify. Such a server is treated as unreachable.
    enum class TlsRefusal { None, NotOffered, NotVerified };
    // The refusal in the program's words ("the cloud's certificate could not be verified");
    // empty for None.
    static wxString RefusalText(TlsRefusal refusal);

    // Opens a connection; null when the server cannot be reached or refuses. `error` receives the
    // client library's message, `refusal` why TLS refused the server.
    static std::unique_ptr<Database> Connect(const DbSettings& settings, wxString* error = nullptr,
                                             TlsRefusal* refusal = nullptr);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The value escaped as the body of an SQL string literal for this connection.
    wxString Escape(const wxString& value) const;

    // Sends a statement that yields no result set. False when it was not sent or failed.
    bool Execute(const wxString& statement);
    // True after an Execute whose statement reached the server but whose reply was lost with
    // the connection: it may have been applied or not. The next statement reconnects.
    bool OutcomeUnknown() const { return outcome_unknown_; }
    // Sends a statement and hands each row to `onRow` in order (return false to stop early).
    // False when the statement was not sent or failed.
    bool Select(const wxString& statement, Fetch fetch,
                const std::function<bool(const DbRow&)>& onRow);
    // The first row's fields as text, or nothing when the statement failed or found no row.
    std::optional<std::vector<wxString>> FirstRow(const wxString& statement, Fetch fetch);
    // Rows changed by the last Execute.
    unsigned long long AffectedRows() const { return affected_rows_; }
    // Rows the last Execute's UPDATE matched, changed or not; nothing for other statements.
    std::optional<unsigned long long> MatchedRows() const { return matched_rows_; }
    // The id the last Execute's INSERT gave its row; 0 when there was none.
    unsigned long long InsertId() const { return insert_id_; }

    // Why the last statement failed, in the client library's words; empty after a success.
    const wxString& LastError() const { return last_error_; }
    // What kind of failure that was, for messages that say why in the program's own words.
    enum class Failure { None, Unreachable, ValueTooLong, Other };
    Failure LastFailure() const { return failure_; }
    // Why TLS refused the server when the last reopening of the connection failed; None after
    // every other failure and after a success. A reconnection verifies the server again.
    TlsRefusal LastTlsRefusal() const { return tls_refusal_; }

    // Sees the exact UTF-8 text of every statement sent (tests and diagnostics).
    void SetStatementObserver(std::function<void(const std::string&)> observer);

private:
    struct Handle;
    explicit Database(const DbSettings& settings);

    std::optional<std::string> Encode(const wxString& statement);
    bool Reopen();
    bool EnsureOpen();
    // False, with the reason in LastError, when the server would refuse a statement this large.
    bool FitsPacket(const std::string& statement);
    bool Send(const std::string& statement);
    bool Fail();
    void Succeed();
    bool Read(const std::string& statement, Fetch fetch,
              const std::function<bool(const DbRow&)>& onRow, bool& delivered);

    DbSettings settings_;
    std::unique_ptr<Handle> handle_;
    wxString last_error_;
    Failure failure_ = Failure::None;
    TlsRefusal tls_refusal_ = TlsRefusal::None;
    unsigned long long affected_rows_ = 0;
    std::optional<unsigned long long> matched_rows_;
    unsigned long long insert_id_ = 0;
    bool outcome_unknown_ = false;
    std::function<void(const std::string&)> observer_;
};

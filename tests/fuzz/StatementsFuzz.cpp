// Every value the statement builders quote must reach the server as data: the statement runs,
// and reading the row back gives exactly the value that went in. Runs against the test server
// that scripts/services.sh starts, through the program's own account.
#include "app/TextCodec.h"
#include "storage/Database.h"
#include "storage/Statements.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<Database> db;

// The input's fields, split at 0xFF bytes (never part of UTF-8), decoded as the program decodes
// text from outside, and cut to what the columns hold.
std::vector<wxString> Fields(const uint8_t* data, size_t size, size_t count) {
    std::vector<wxString> fields;
    std::string field;
    for (size_t i = 0; i <= size && fields.size() < count; ++i) {
        if (i == size || data[i] == 0xFF) {
            fields.push_back(text::FromUtf8(field));
            field.clear();
        } else {
            field += static_cast<char>(data[i]);
        }
    }
    fields.resize(count);
    fields[0].Truncate(255);
    fields[1].Truncate(64);
    return fields;
}

std::string Bytes(const wxString& value) { return text::ToUtf8(value).value_or(std::string()); }

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    wxString error;
    db = Database::Connect(DbSettings::FromBuild(), &error);
    if (!db) {
        std::fprintf(stderr, "no test database: %s\n", error.utf8_string().c_str());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<wxString> fields = Fields(data, size, 3);
    const wxString& title = fields[0];
    const wxString& language = fields[1];
    const wxString& content = fields[2];

    FUZZ_CHECK(db->Execute(statements::InsertSnippet(*db, "1", title, language, content)));
    const wxString sid = wxString::Format("%llu", db->InsertId());
    const auto row = db->FirstRow(
        "SELECT title, language, content FROM snippets WHERE sid = " + sid, Fetch::Stored);
    FUZZ_CHECK(row.has_value() && row->size() == 3);
    FUZZ_CHECK(Bytes((*row)[0]) == Bytes(title));
    FUZZ_CHECK(Bytes((*row)[1]) == Bytes(language));
    FUZZ_CHECK(Bytes((*row)[2]) == Bytes(content));

    // The lookup by all three values finds the row just stored.
    const auto found =
        db->FirstRow(statements::NewSid(*db, "1", title, language, content), Fetch::Stored);
    FUZZ_CHECK(found.has_value() && (*found)[0] == sid);

    // The content written over the row is the title's text now.
    FUZZ_CHECK(db->Execute(statements::UpdateContent(*db, sid, title)));
    FUZZ_CHECK(db->MatchedRows() == 1u);
    const auto updated =
        db->FirstRow("SELECT content FROM snippets WHERE sid = " + sid, Fetch::Stored);
    FUZZ_CHECK(updated.has_value() && Bytes((*updated)[0]) == Bytes(title));

    FUZZ_CHECK(db->Execute(statements::DeleteOwnSnippet(sid, "1")));
    return 0;
}

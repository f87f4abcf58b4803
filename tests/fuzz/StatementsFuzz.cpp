// Every value the statement builders quote must reach the server as data: the statement runs,
// and reading the row back gives exactly the value that went in. Runs against the test server
// that scripts/services.sh starts, through the program's own account.
#include "app/TextCodec.h"
#include "browse/FindQuery.h"
#include "browse/SearchTexts.h"
#include "storage/Database.h"
#include "storage/FindStatements.h"
#include "storage/Statements.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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

// The statement reached the server whole: a value cut out of its quotes would leave a statement
// the server cannot even parse.
bool Parsed(bool ok) { return ok || !db->LastError().Lower().Contains("syntax"); }

wxString Id(unsigned long long id) { return wxString::Format("%llu", id); }

// Every other builder that quotes a value: accounts, remembered addresses, the search, sharing.
void CheckOtherBuilders(const wxString& title, const wxString& language, const wxString& content) {
    static unsigned long long count = 0;
    // User names are unique; a counter keeps every input's name new.
    const wxString name = title.Left(40) + wxString::Format("#%llu", ++count);
    FUZZ_CHECK(db->Execute(statements::AddUser(*db, name, content)));
    const wxString uid = Id(db->InsertId());
    const auto login = db->FirstRow(statements::CheckLogin(*db, name, content), Fetch::Stored);
    FUZZ_CHECK(login.has_value() && (*login)[0] == uid);
    FUZZ_CHECK(db->FirstRow(statements::NameTaken(*db, name), Fetch::Stored).has_value());
    const auto user = db->FirstRow(statements::UserName(uid), Fetch::Stored);
    FUZZ_CHECK(user.has_value() && Bytes((*user)[0]) == Bytes(name));

    // Any echo answer goes in as data; one that is no address is refused as a value, not as text.
    FUZZ_CHECK(Parsed(db->Select(statements::RememberedUser(*db, language), Fetch::Stored,
                                 [](const DbRow&) { return true; })));
    FUZZ_CHECK(Parsed(db->Execute(statements::RememberUser(*db, uid, language))));

    FUZZ_CHECK(db->Select(
        statements::SearchPublic(*db, search_texts::TitleWords(title), language, wxString()),
        Fetch::Stored, [](const DbRow&) { return true; }));

    FUZZ_CHECK(db->Execute(statements::ShareNew(*db, uid, title, language, content)));
    const wxString sid = Id(db->InsertId());
    const auto shared = db->FirstRow(
        "SELECT uid, title, language, content, public FROM snippets WHERE sid = " + sid,
        Fetch::Stored);
    FUZZ_CHECK(shared.has_value() && shared->size() == 5);
    FUZZ_CHECK((*shared)[0] == uid && (*shared)[4] == "1");
    FUZZ_CHECK(Bytes((*shared)[1]) == Bytes(title) && Bytes((*shared)[2]) == Bytes(language) &&
               Bytes((*shared)[3]) == Bytes(content));

    // The words of any title find that title's row: no character of a word means more than itself.
    const FindQuery query(title);
    const std::vector<wxString>& words = query.Words();
    if (!words.empty()) {
        // The program's own matching agrees, and finds the line of a content word.
        const std::optional<SnippetMatch> match =
            query.Match(FoldCase(title), FoldCase(language), FoldUtf8(Bytes(content)));
        FUZZ_CHECK(match && match->rank == MatchRank::Title);
        const FindQuery in_content(content.Left(200));
        if (const auto line = in_content.Match(L"", L"", FoldUtf8(Bytes(content))))
            FUZZ_CHECK(line->rank != MatchRank::Content ||
                       !in_content.FirstMatchingLine(content, *line).text.empty());
        bool found = false;
        FUZZ_CHECK(db->Select(statements::FindOwn(*db, uid, words, 100), Fetch::Stored,
                              [&](const DbRow& row) {
                                  found = found || row.Text(0) == sid;
                                  return true;
                              }));
        FUZZ_CHECK(found);
        FUZZ_CHECK(db->Select(statements::FindFavourites(*db, uid, words, 100), Fetch::Stored,
                              [](const DbRow&) { return true; }));
    }
    FUZZ_CHECK(db->Execute(statements::DeleteOwnSnippet(sid, uid)));
}

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

    CheckOtherBuilders(title, language, content);
    return 0;
}

// Every value the statement builders quote must reach the server as data: the statement runs,
// and reading the row back gives exactly the value that went in. Runs against the test server
// that scripts/services.sh starts, through the program's own account.
//
// An input costs one or two round trips: the builders' statements, each followed by the read
// that checks it, go to the server as one batch of statements. They run inside one transaction
// that is never committed, rolled back to a savepoint after every input, so no write waits for
// the disk and every input finds the tables as the first one did.
#include "app/TextCodec.h"
#include "browse/FindQuery.h"
#include "browse/SearchTexts.h"
#include "storage/Database.h"
#include "storage/FindStatements.h"
#include "storage/Statements.h"
#include "tests/fuzz/FuzzCheck.h"

#include <mysql.h>
#include <mysqld_error.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// What one statement of a batch gave: its error, or its rows (NULL as nothing).
struct Outcome {
    unsigned error = 0;
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::string info;
};

// A statement and the property its outcome must have.
struct Step {
    wxString statement;
    std::function<void(const Outcome&)> check;
};

struct Closer {
    void operator()(MYSQL* mysql) const { mysql_close(mysql); }
};

// The program's connection, whose escaping the builders use.
std::unique_ptr<Database> db;
// A connection to the same server and account, with the same character set and SQL mode, that
// takes several statements in one query.
std::unique_ptr<MYSQL, Closer> batches;
// A private snippet that exists for the whole run, for the content updates.
std::string fixedSid;

std::string Bytes(const wxString& value) { return text::ToUtf8(value).value_or(std::string()); }

Outcome Read(MYSQL* mysql) {
    Outcome outcome;
    if (const char* info = mysql_info(mysql))
        outcome.info = info;
    std::unique_ptr<MYSQL_RES, decltype(&mysql_free_result)> result(mysql_store_result(mysql),
                                                                    &mysql_free_result);
    if (!result)
        return outcome;
    const unsigned columns = mysql_num_fields(result.get());
    while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(result.get());
        auto& fields = outcome.rows.emplace_back();
        for (unsigned i = 0; i < columns; ++i)
            fields.push_back(row[i] ? std::optional<std::string>(std::string(row[i], lengths[i]))
                                    : std::nullopt);
    }
    return outcome;
}

// Sends the steps as one batch and hands each its outcome. A failing statement ends a batch, so
// the steps after it go in the next one. Each statement gives exactly one outcome: a value that
// broke out of its quotes could otherwise swallow the statements after it or add its own.
void Run(const std::vector<Step>& steps) {
    MYSQL* mysql = batches.get();
    for (std::size_t next = 0; next < steps.size();) {
        std::string batch;
        for (std::size_t i = next; i < steps.size(); ++i) {
            const std::optional<std::string> bytes = text::ToUtf8(steps[i].statement);
            FUZZ_CHECK(bytes.has_value());
            batch += (i == next ? "" : ";\n") + *bytes;
        }
        int status = mysql_real_query(mysql, batch.data(), batch.size());
        for (std::size_t at = next;; ++at) {
            FUZZ_CHECK(at < steps.size());
            if (status != 0) {
                Outcome failed;
                failed.error = mysql_errno(mysql);
                steps[at].check(failed);
                next = at + 1;
                break;
            }
            steps[at].check(Read(mysql));
            status = mysql_next_result(mysql);
            if (status == -1) {
                FUZZ_CHECK(at + 1 == steps.size());
                next = steps.size();
                break;
            }
        }
    }
}

void Succeeds(const Outcome& outcome) { FUZZ_CHECK(outcome.error == 0); }

// The statement reached the server whole: a value cut out of its quotes would leave a statement
// the server cannot even parse. Anything else the server may refuse (an echo answer that is no
// address cannot be stored).
void Parsed(const Outcome& outcome) { FUZZ_CHECK(outcome.error != ER_PARSE_ERROR); }

// The statement succeeded and its only row holds exactly these values.
std::function<void(const Outcome&)> Row(std::vector<std::string> expected) {
    return [expected](const Outcome& outcome) {
        FUZZ_CHECK(outcome.error == 0 && outcome.rows.size() == 1);
        const auto& row = outcome.rows[0];
        FUZZ_CHECK(row.size() == expected.size());
        for (std::size_t i = 0; i < row.size(); ++i)
            FUZZ_CHECK(row[i].value_or(std::string()) == expected[i]);
    };
}

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

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const DbSettings settings = DbSettings::FromBuild();
    wxString error;
    db = Database::Connect(settings, &error);
    if (!db) {
        std::fprintf(stderr, "no test database: %s\n", error.utf8_string().c_str());
        std::abort();
    }
    const auto mode = db->FirstRow("SELECT @@SESSION.sql_mode", Fetch::Stored);
    FUZZ_CHECK(mode.has_value());

    batches.reset(mysql_init(nullptr));
    const unsigned protocol = MYSQL_PROTOCOL_TCP;
    mysql_options(batches.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    mysql_options(batches.get(), MYSQL_OPT_PROTOCOL, &protocol);
    if (mysql_real_connect(batches.get(), settings.host.c_str(), settings.user.c_str(),
                           settings.password.c_str(), settings.database.c_str(), settings.port,
                           nullptr, CLIENT_MULTI_STATEMENTS) == nullptr) {
        std::fprintf(stderr, "no test database: %s\n", mysql_error(batches.get()));
        std::abort();
    }
    Run({
        {"SET SESSION sql_mode = '" + (*mode)[0] + "'", Succeeds},
        {"START TRANSACTION", Succeeds},
        {statements::InsertSnippet(*db, "1", "fixed", "C", ""), Succeeds},
        {"SELECT LAST_INSERT_ID()",
         [](const Outcome& outcome) {
             FUZZ_CHECK(outcome.rows.size() == 1 && outcome.rows[0][0].has_value());
             fixedSid = *outcome.rows[0][0];
         }},
        {"SAVEPOINT input", Succeeds},
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<wxString> fields = Fields(data, size, 3);
    const wxString& title = fields[0];
    const wxString& language = fields[1];
    const wxString& content = fields[2];
    // User names are unique; every input's account is rolled back before the next one.
    const wxString name = title.Left(40) + "#fuzz";
    std::string sid, uid;

    // The words of any title find that title: the program's own matching agrees, and a content
    // match shows a line.
    const FindQuery query(title);
    const std::vector<wxString>& words = query.Words();
    if (!words.empty()) {
        const std::optional<SnippetMatch> match =
            query.Match(FoldCase(title), FoldCase(language), FoldUtf8(Bytes(content)));
        FUZZ_CHECK(match && match->rank == MatchRank::Title);
        const FindQuery in_content(content.Left(200));
        if (const auto line = in_content.Match(L"", L"", FoldUtf8(Bytes(content))))
            FUZZ_CHECK(line->rank != MatchRank::Content ||
                       !in_content.FirstMatchingLine(content, *line).text.empty());
    }

    std::vector<Step> steps = {
        // A new private snippet reads back as it went in, and the lookup by its three values
        // finds it.
        {statements::InsertSnippet(*db, "1", title, language, content), Succeeds},
        {"SELECT LAST_INSERT_ID(), title, language, content FROM snippets "
         "WHERE sid = LAST_INSERT_ID()",
         [&](const Outcome& outcome) {
             FUZZ_CHECK(!outcome.rows.empty() && outcome.rows[0][0].has_value());
             sid = *outcome.rows[0][0];
             Row({sid, Bytes(title), Bytes(language), Bytes(content)})(outcome);
         }},
        {statements::NewSid(*db, "1", title, language, content),
         [&](const Outcome& outcome) { Row({sid})(outcome); }},
        // The search's title conditions hold for the title they came from: every word is part of
        // it, whatever quotes, backslashes or wildcards it holds.
        {"SELECT sid FROM snippets WHERE sid = LAST_INSERT_ID() " +
             statements::TitleConditions(*db, search_texts::TitleWords(title)),
         [](const Outcome& outcome) { FUZZ_CHECK(outcome.error == 0 && !outcome.rows.empty()); }},
    };
    if (!words.empty()) {
        // No character of a word means more than itself to the server either: the user's own
        // snippets with that title are found by its words.
        steps.push_back({statements::FindOwn(*db, "1", words, 100), [&](const Outcome& outcome) {
                             Succeeds(outcome);
                             bool found = false;
                             for (const auto& row : outcome.rows)
                                 found = found || row[0].value_or(std::string()) == sid;
                             FUZZ_CHECK(found);
                         }});
        steps.push_back({statements::FindFavourites(*db, "1", words, 100), Succeeds});
    }
    steps.insert(
        steps.end(),
        {
            // The content written over a row is the title's text now.
            {statements::UpdateContent(*db, fixedSid, title),
             [](const Outcome& outcome) {
                 Succeeds(outcome);
                 FUZZ_CHECK(outcome.info.rfind("Rows matched: 1 ", 0) == 0);
             }},
            {"SELECT content FROM snippets WHERE sid = " + fixedSid, Row({Bytes(title)})},
            // Accounts: the name is stored as it is, and the name and password log in.
            {statements::AddUser(*db, name, content), Succeeds},
            {"SELECT LAST_INSERT_ID(), username FROM users WHERE uid = LAST_INSERT_ID()",
             [&](const Outcome& outcome) {
                 FUZZ_CHECK(!outcome.rows.empty() && outcome.rows[0][0].has_value());
                 uid = *outcome.rows[0][0];
                 Row({uid, Bytes(name)})(outcome);
             }},
            {statements::CheckLogin(*db, name, content),
             [&](const Outcome& outcome) { Row({uid})(outcome); }},
            {statements::NameTaken(*db, name),
             [](const Outcome& outcome) {
                 FUZZ_CHECK(outcome.error == 0 && !outcome.rows.empty());
             }},
            // Any echo answer goes in as data.
            {statements::RememberedUser(*db, language), Parsed},
            {statements::SearchPublic(*db, search_texts::TitleWords(title), language, wxString()),
             Succeeds},
            // A shared copy reads back as it went in.
            {statements::ShareNew(*db, "1", title, language, content), Succeeds},
            {"SELECT uid, title, language, content, public FROM snippets WHERE sid = "
             "LAST_INSERT_ID()",
             Row({"1", Bytes(title), Bytes(language), Bytes(content), "1"})},
            // Last, as an answer that is no address makes it fail and ends the batch.
            {statements::RememberUser(*db, "1", language), Parsed},
            {"ROLLBACK TO SAVEPOINT input", Succeeds},
        });
    Run(steps);
    return 0;
}

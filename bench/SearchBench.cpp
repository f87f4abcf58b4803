// The public search against a large cloud: 1,000,000 snippets in 50 languages, 90 % of them
// public and approved, titles of three words from a word list (generated once and kept, see
// CachedCloud.h).
//
// Two figures, each against its floor, the same statement on a connection that is already open,
// every row fetched through the client library: opening the search page (its language list), and
// one search by language and two title words with a maximum of 100 through a real results page.
// The plans of both statements and the rows the server touched for them are printed too: neither
// may read the whole table.
//
// Usage: search_bench [rounds] (15 by default). Needs the display and the private server of
// scripts/services.sh (start_xvfb, start_db); bench/all runs it.
#include "BenchMain.h"
#include "BenchToolkit.h"
#include "CachedCloud.h"
#include "Figure.h"
#include "FloorConnection.h"
#include "ScratchDirectory.h"
#include "app/Interface.h"
#include "browse/SearchTexts.h"
#include "browse/public_browser.h"
#include "storage/Database.h"
#include "storage/DbSettings.h"
#include "storage/Statements.h"
#include "support/TestDatabase.h"

#include <wx/app.h>
#include <wx/aui/auibook.h>
#include <wx/combobox.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int kRuns = 15;
constexpr const char* kLanguage = "Python";
constexpr const char* kTitle = "quick sort";
constexpr const char* kMaximum = "100";

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    return n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
}

double Measure(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Pump() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop != nullptr) {
        while (loop->Pending())
            loop->Dispatch();
    }
    wxTheApp->ProcessIdle();
}

// 1,000,000 rows made by the server itself from its sequence table. Each title word is picked by
// its own hash of the row number, so words and languages are independent of each other.
void Seed(TestDatabase& db) {
    for (int uid = 1; uid <= 100; ++uid)
        db.AddUser("user" + std::to_string(uid), "pw");
    const std::string words =
        "quick,sort,binary,search,read,file,parse,json,http,string,split,trim,hash,map,thread,"
        "pool,date,format,regex,match,list,reverse,matrix,config,retry,cache,queue,stack,tree,"
        "graph,merge,heap";
    const std::string languages =
        "C,C++,C#,Java,Kotlin,Scala,Go,Rust,Python,Ruby,Perl,PHP,JavaScript,TypeScript,Lua,"
        "Haskell,OCaml,F#,Erlang,Elixir,Clojure,Lisp,Scheme,Racket,Fortran,COBOL,Ada,Pascal,"
        "Delphi,Swift,Objective-C,Dart,R,Julia,MATLAB,Octave,SQL,Bash,PowerShell,Awk,Tcl,Groovy,"
        "Nim,Zig,D,Crystal,Prolog,VHDL,Verilog,Assembly";
    // A CRC of the row number would follow the language's period; MD5 does not.
    const auto hash = [](const char* salt) {
        return std::string("CONV(LEFT(MD5(CONCAT('") + salt + "', seq)), 8), 16, 10)";
    };
    const auto pick = [](const std::string& list, int count, const std::string& index) {
        return "SUBSTRING_INDEX(SUBSTRING_INDEX('" + list + "', ',', 1 + " + index + " % " +
               std::to_string(count) + "), ',', -1)";
    };
    db.Exec("INSERT INTO snippets(uid, title, language, content, public, approved, views) SELECT "
            "1 + seq % 100, CONCAT_WS(' ', " +
            pick(words, 32, hash("a")) + ", " + pick(words, 32, hash("b")) + ", " +
            pick(words, 32, hash("c")) + "), " + pick(languages, 50, "seq") +
            ", CONCAT('// snippet ', seq, '\\nint example_', seq, '(int x)\\n{\\n    return x * ', "
            "seq % 97, ';\\n}\\n'), seq % 10 <> 0, seq % 10 <> 0, seq % 1000 FROM "
            "seq_1_to_1000000");
}

// The plan of a statement and the index and table rows the server touched to run it.
void Explain(TestDatabase& db, const std::string& name, const std::string& statement) {
    const TestDatabase::Rows plan = db.Query("EXPLAIN " + statement);
    for (const auto& row : plan)
        std::printf("%-14s type %-6s key %-19s rows %-8s %s\n", name.c_str(), row[3].c_str(),
                    row[5].c_str(), row[8].c_str(), row[9].c_str());
    db.Exec("FLUSH STATUS");
    db.Query(statement);
    // Index entries the engine tested itself (title words on the index) are counted apart from
    // the entries and rows handed to the server.
    unsigned long long read = 0, tested = 0;
    for (const auto& row : db.Query("SHOW SESSION STATUS WHERE Variable_name LIKE 'Handler_read%' "
                                    "OR Variable_name = 'Handler_icp_attempts'")) {
        if (row[0] == "Handler_icp_attempts")
            tested = std::stoull(row[1]);
        else
            read += std::stoull(row[1]);
    }
    std::printf("%-14s %llu index entries tested in the engine, %llu entries or rows read "
                "(table: 1000000 rows)\n",
                name.c_str(), tested, read);
}

int Run(int argc, char** argv) {
    int runs = kRuns;
    if (argc > 1)
        runs = std::max(1, std::atoi(argv[1]));

    const ScratchDirectory scratch("/tmp/corvane-search-bench-XXXXXX");
    std::filesystem::create_directory("snippets");

    TestDatabase admin;
    CachedCloud cloud(admin);
    const double seeding = cloud.Use("search_1m_v1", Seed);
    if (seeding > 0)
        std::printf("generated the cloud in %.1f s\n", seeding);
    std::printf("%s snippets; server: innodb_buffer_pool_size %s\n",
                admin.Query("SELECT COUNT(*) FROM snippets")[0][0].c_str(),
                admin.Query("SELECT @@innodb_buffer_pool_size")[0][0].c_str());

    if (!BenchToolkit::Start(argv[0]))
        return 1;

    const DbSettings settings = DbSettings::FromBuild();
    wxString error;
    std::unique_ptr<Database> connection = Database::Connect(settings, &error);
    if (!connection)
        throw std::runtime_error("cannot connect: " + error.utf8_string());
    std::vector<std::string> sent;
    connection->SetStatementObserver([&sent](const std::string& s) { sent.push_back(s); });

    auto* frame =
        new wxFrame(nullptr, wxID_ANY, "Search bench", wxDefaultPosition, wxSize(1200, 800));
    auto* workspace = new Interface(frame, connection.get());
    frame->Show(true);
    wxTheApp->SetTopWindow(frame);
    Pump();

    const std::string languages = statements::Languages().utf8_string();
    const std::string search =
        statements::SearchPublic(*connection, search_texts::TitleWords(kTitle), kLanguage, kMaximum)
            .utf8_string();
    Explain(admin, "language list", languages);
    Explain(admin, "search", search);
    std::printf("search finds %zu rows\n\n", admin.Query(search).size());

    wxAuiNotebook* notebook = workspace->Notebook();
    public_browser* page = nullptr;
    const auto open_page = [&] {
        wxCommandEvent press(wxEVT_BUTTON, Interface::ID_BROWSE_PUBLIC);
        workspace->ProcessWindowEvent(press);
        page = dynamic_cast<public_browser*>(notebook->GetPage(notebook->GetSelection()));
        Pump();
    };
    const auto run_search = [&] {
        page->LanguageBox()->SetStringSelection(kLanguage);
        page->TitleBox()->ChangeValue(kTitle);
        page->MaximumBox()->ChangeValue(kMaximum);
        wxCommandEvent press(wxEVT_BUTTON, public_browser::ID_SEARCH);
        page->ProcessWindowEvent(press);
        Pump();
    };

    // Each round measures every figure once, so that a burst of other load on the machine falls
    // on the floors and the program alike. Round 0 warms the caches and is not counted.
    FloorConnection floor(settings);
    std::vector<double> open_ms, open_floor_ms, search_ms, search_floor_ms;
    for (int round = 0; round <= runs; ++round) {
        const double open_floor = Measure([&] { floor.ReadAll(languages, true); });
        sent.clear();
        const double open = Measure(open_page);
        if (sent != std::vector<std::string>{languages})
            throw std::runtime_error("the search page sent other statements than the floor");
        const double search_floor = Measure([&] { floor.ReadAll(search, true); });
        sent.clear();
        const double searched = Measure(run_search);
        if (sent != std::vector<std::string>{search})
            throw std::runtime_error("the search sent another statement than the floor");
        if (page->Results()->GetPageCount() != 1)
            throw std::runtime_error("the search opened no results page");
        notebook->DeletePage(notebook->GetSelection());
        Pump();
        if (round == 0)
            continue;
        open_ms.push_back(open);
        open_floor_ms.push_back(open_floor);
        search_ms.push_back(searched);
        search_floor_ms.push_back(search_floor);
    }

    std::printf("%d rounds after one warm-up round; medians in ms (program figures include the "
                "events their pages leave; floors: the statement alone on an open connection)\n\n",
                runs);
    const auto report = [](const char* label, const std::vector<double>& program,
                           const std::vector<double>& floor) {
        std::printf("%-34s %8.2f   floor %8.2f   ratio %.2f\n", label, Median(program),
                    Median(floor), Median(program) / Median(floor));
        PrintFigure(std::string("search: ") + label, Median(program), Median(floor), "ms");
    };
    report("open the search page", open_ms, open_floor_ms);
    report("search, language + 2 words, 100", search_ms, search_floor_ms);

    frame->Destroy();
    Pump();
    connection.reset();
    BenchToolkit::Stop();
    return 0;
}

} // namespace

int main(int argc, char** argv) { return bench::Main("search_bench", Run, argc, argv); }

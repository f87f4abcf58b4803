// Rebuilding the snippet tree against a large store: 10,000 local files in 50 language
// directories, and a user with 10,000 cloud snippets and 1,000 favourites.
//
// LoadTree is compared with its floor, the work it cannot avoid: listing the same directories
// with opendir/readdir and reading every row of the same two statements through the client
// library, with no window involved. The goal is LoadTree within twice the floor.
//
// Usage: tree_bench [rounds] (15 by default). Needs the display and the private server of
// scripts/services.sh (start_xvfb, start_db).
#include "BenchSupport.h"
#include "ScratchDirectory.h"
#include "app/Interface.h"
#include "browse/SnippetBrowser.h"
#include "storage/Database.h"
#include "storage/DbSettings.h"
#include "storage/Statements.h"
#include "support/TestDatabase.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/log.h>

#include <dirent.h>
#include <mysql.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr int kLanguages = bench::kLanguageCount;
constexpr int kLocalFiles = 10000;
constexpr int kCloudSnippets = 10000;
constexpr int kFavouriteEvery = 10; // every tenth snippet is a favourite: 1,000 of them
constexpr int kInsertBatch = 500;
constexpr int kRuns = 15;

using Clock = std::chrono::steady_clock;

struct Figures {
    double median = 0, min = 0, max = 0;
};

Figures Summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    Figures f;
    f.min = ms.front();
    f.max = ms.back();
    const size_t n = ms.size();
    f.median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
    return f;
}

double ThreadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Wall time and this thread's CPU time of each run of one piece of work. The CPU time leaves
// out the server's share and the waits for it, and is less swayed by other load on the machine.
struct Samples {
    std::vector<double> wall, cpu;

    void Measure(const std::function<void()>& work) {
        const double cpu_start = ThreadCpuMs();
        const auto start = Clock::now();
        work();
        wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        cpu.push_back(ThreadCpuMs() - cpu_start);
    }
};

void Print(const char* label, const Samples& samples) {
    const Figures wall = Summarise(samples.wall);
    const Figures cpu = Summarise(samples.cpu);
    std::printf("%-40s %9.2f %9.2f %9.2f   %9.2f\n", label, wall.median, wall.min, wall.max,
                cpu.median);
}

// Real-looking names and bodies, so titles, files and rows have the usual sizes.
using bench::kLanguageNames;

const char* const kTopics[] = {
    "quick sort",      "binary search", "read file lines",    "parse json",
    "http get",        "string split",  "trim spaces",        "hash map demo",
    "thread pool",     "date format",   "regex match",        "list reverse",
    "matrix multiply", "config loader", "retry with backoff", "lru cache"};
constexpr int kTopicCount = sizeof kTopics / sizeof kTopics[0];

std::string Title(int i) { return std::string(kTopics[i % kTopicCount]) + " " + std::to_string(i); }

std::string Body(int i, const char* language) {
    std::string body = "// " + Title(i) + " (" + language + ")\n";
    body += "function example_" + std::to_string(i) + "(items) {\n";
    body += "    let total = 0;\n";
    body += "    for (const item of items) {\n";
    body += "        if (item.enabled && item.weight > " + std::to_string(i % 97) + ")\n";
    body += "            total += item.weight * " + std::to_string(i % 13 + 1) + ";\n";
    body += "    }\n";
    body += "    return total;\n";
    body += "}\n";
    return body;
}

void MakeDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0)
        throw std::runtime_error("cannot create " + path);
}

// ./snippets with kLocalFiles files spread evenly over the language directories.
void MakeLocalStore() {
    MakeDirectory("snippets");
    for (int l = 0; l < kLanguages; ++l)
        MakeDirectory(std::string("snippets/") + kLanguageNames[l]);
    for (int i = 0; i < kLocalFiles; ++i) {
        const char* language = kLanguageNames[i % kLanguages];
        std::ofstream file(std::string("snippets/") + language + "/" + Title(i));
        file << Body(i, language);
        if (!file)
            throw std::runtime_error("cannot write a snippet file");
    }
}

// One user with kCloudSnippets snippets in mixed order of language, and every tenth a favourite.
// Returns the user's id.
std::string SeedDatabase(TestDatabase& db) {
    db.Reset();
    const std::string uid = db.AddUser("bench", "bench");
    for (int first = 0; first < kCloudSnippets; first += kInsertBatch) {
        std::string sql = "INSERT INTO snippets(uid, title, language, content) VALUES";
        for (int i = first; i < std::min(first + kInsertBatch, kCloudSnippets); ++i) {
            // A stride prime to 50 mixes the languages in insertion order.
            const char* language = kLanguageNames[(i * 7) % kLanguages];
            sql += i == first ? "(" : ",(";
            sql += uid + ",'" + db.Escape(Title(i)) + "','" + db.Escape(language) + "','" +
                   db.Escape(Body(i, language)) + "')";
        }
        db.Exec(sql);
    }
    db.Exec("INSERT INTO favourites(uid, sid) SELECT uid, sid FROM snippets WHERE uid = " + uid +
            " AND sid % " + std::to_string(kFavouriteEvery) + " = 0");
    return uid;
}

// The floor, part one: the directory walk itself, recursing into every entry that is not known
// to be a plain file, as the store's walk does. Returns the number of entries seen.
size_t Walk(const std::string& directory) {
    struct Closer {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    std::unique_ptr<DIR, Closer> dir(::opendir(directory.c_str()));
    if (!dir)
        return 0;
    size_t count = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        ++count;
        if (entry->d_type != DT_REG)
            count += Walk(directory + std::string(name) + "/");
    }
    return count;
}

struct MysqlCloser {
    void operator()(MYSQL* mysql) const { mysql_close(mysql); }
};
struct ResultReleaser {
    void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
};

// The floor, part two: one statement through the client library, every row fetched and its
// fields touched. Returns the number of rows.
size_t ReadAll(MYSQL* mysql, const std::string& statement, bool stored) {
    if (mysql_real_query(mysql, statement.data(), statement.size()) != 0)
        throw std::runtime_error(std::string("statement failed: ") + mysql_error(mysql));
    std::unique_ptr<MYSQL_RES, ResultReleaser> result(stored ? mysql_store_result(mysql)
                                                             : mysql_use_result(mysql));
    if (!result)
        throw std::runtime_error(std::string("no result: ") + mysql_error(mysql));
    size_t rows = 0;
    size_t bytes = 0;
    while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(result.get());
        bytes += lengths[0] + lengths[1] + lengths[2] + (row[0] != nullptr);
        ++rows;
    }
    if (bytes == 0 && rows > 0)
        std::abort(); // keeps the loop from being optimised away
    return rows;
}

std::unique_ptr<MYSQL, MysqlCloser> ConnectLikeTheApp(const DbSettings& settings) {
    std::unique_ptr<MYSQL, MysqlCloser> mysql(mysql_init(nullptr));
    const unsigned protocol = MYSQL_PROTOCOL_TCP;
    mysql_options(mysql.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    mysql_options(mysql.get(), MYSQL_OPT_PROTOCOL, &protocol);
    if (mysql_real_connect(mysql.get(), settings.host.c_str(), settings.user.c_str(),
                           settings.password.c_str(), settings.database.c_str(), settings.port,
                           nullptr, 0) == nullptr)
        throw std::runtime_error(std::string("cannot connect: ") + mysql_error(mysql.get()));
    return mysql;
}

using bench::Pump;

size_t CountItems(const wxTreeCtrl& tree, const wxTreeItemId& item) {
    size_t count = 1;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree.GetFirstChild(item, cookie); child.IsOk();
         child = tree.GetNextChild(item, cookie))
        count += CountItems(tree, child);
    return count;
}

int Run(int argc, char** argv) {
    int runs = kRuns;
    if (argc > 1)
        runs = std::max(1, std::atoi(argv[1]));

    const ScratchDirectory scratch("/tmp/corvane-tree-bench-XXXXXX");

    auto setup_start = Clock::now();
    MakeLocalStore();
    TestDatabase admin;
    const std::string uid = SeedDatabase(admin);
    std::printf("seeded %d files in %d directories, %d snippets and %s favourites in %.0f ms\n",
                kLocalFiles, kLanguages, kCloudSnippets,
                admin.Query("SELECT COUNT(*) FROM favourites")[0][0].c_str(),
                std::chrono::duration<double, std::milli>(Clock::now() - setup_start).count());

    // The toolkit on the display, without a main loop.
    bench::StartToolkit(argv);

    const DbSettings settings = DbSettings::FromBuild();
    std::unique_ptr<Database> connection = bench::Connect(settings);

    auto* frame =
        new wxFrame(nullptr, wxID_ANY, "Tree bench", wxDefaultPosition, wxSize(1000, 700));
    auto* workspace = new Interface(frame, connection.get());
    frame->Show(true);
    wxTheApp->SetTopWindow(frame);
    Pump();
    workspace->SetCurrentUserId(wxString::FromUTF8(uid));
    SnippetBrowser* tree = workspace->Tree();

    tree->LoadTree();
    std::printf("tree holds %zu nodes (hidden root included)\n\n",
                CountItems(*tree, tree->GetRootItem()));

    const std::string root = "./snippets/";
    const std::string list_own = statements::ListOwn(wxString::FromUTF8(uid), 0).utf8_string();
    const std::string list_favourites =
        statements::ListFavourites(wxString::FromUTF8(uid)).utf8_string();
    auto mysql = ConnectLikeTheApp(settings);
    size_t entries = 0, own_rows = 0, favourite_rows = 0;

    // Each round measures every figure once, so that a burst of other load on the machine
    // falls on the floor and on the rebuild alike. Round 0 warms the caches and is not counted.
    Samples walk, queries, floor, load, load_settled;
    std::vector<double> round_ratios;
    for (int round = 0; round <= runs; ++round) {
        Samples w, q, f, l, ls;
        w.Measure([&] { entries = Walk(root); });
        q.Measure([&] {
            own_rows = ReadAll(mysql.get(), list_own, false);
            favourite_rows = ReadAll(mysql.get(), list_favourites, true);
        });
        f.Measure([&] {
            entries = Walk(root);
            own_rows = ReadAll(mysql.get(), list_own, false);
            favourite_rows = ReadAll(mysql.get(), list_favourites, true);
        });
        // The rebuild call alone: the figure held against the floor.
        l.Measure([&] { tree->LoadTree(); });
        Pump();
        // The same with the events the rebuild leaves behind (layout, repaint) handled too.
        ls.Measure([&] {
            tree->LoadTree();
            Pump();
        });
        if (round == 0)
            continue;
        for (auto [from, to] : {std::pair{&w, &walk},
                                {&q, &queries},
                                {&f, &floor},
                                {&l, &load},
                                {&ls, &load_settled}}) {
            to->wall.push_back(from->wall[0]);
            to->cpu.push_back(from->cpu[0]);
        }
        round_ratios.push_back(l.wall[0] / f.wall[0]);
    }

    std::printf("floor sees %zu directory entries, %zu own rows, %zu favourite rows\n", entries,
                own_rows, favourite_rows);
    std::printf("%d rounds after one warm-up round; times in ms\n\n", runs);
    std::printf("%-40s %9s %9s %9s   %9s\n", "", "median", "min", "max", "cpu med.");
    Print("floor: directory walk alone", walk);
    Print("floor: list-own + list-favourites alone", queries);
    Print("floor: walk + both statements", floor);
    Print("LoadTree", load);
    Print("LoadTree + pending events", load_settled);
    const double ratio = Summarise(load.wall).median / Summarise(floor.wall).median;
    std::printf("\nLoadTree / floor, ratio of the medians:    %.2f  (goal: at most 2.00) %s\n",
                ratio, ratio <= 2.0 ? "MET" : "MISSED");
    std::printf("LoadTree / floor, median of round ratios: %.2f\n", Summarise(round_ratios).median);

    mysql.reset();
    frame->Destroy();
    Pump();
    connection.reset();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tree_bench: %s\n", e.what());
        return 1;
    }
}

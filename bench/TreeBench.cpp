// Rebuilding the snippet tree against large stores, each against its floor: the work the rebuild
// cannot avoid, that is the same directory walk (opendir/readdir, into every entry not known to be
// a plain file) and the same two statements with every row fetched through the client library,
// with no window involved.
//
// Cases (data sets are generated once and kept, see BenchData.h and CachedCloud.h):
//   10k spread    10,000 local files in 50 language directories; the user owns 10,000 of the
//                 cloud's 100,000 snippets (900 other users own the rest) and has 1,000 favourites
//   10k owner     the same store; the user owns every snippet of the cloud (10,000)
//   100k spread   100,000 files; 100,000 of 1,000,000 snippets; 10,000 favourites
//   100k owner    100,000 files; all 100,000 snippets; 10,000 favourites
//   usr-include   a copy of /usr/include as the local store, nobody logged in
//
// For each case: the rebuild (LoadTree with the events it leaves handled: layout, repaint) in wall
// time and in this thread's CPU time, held against the floor's; the cost per node of the whole
// tree (every node Expand All shows); and, for information, Expand All itself and a rebuild of
// the fully expanded tree. Goals: wall at most 1.3 x the floor, CPU at most 2 x the floor's
// (1.5 x the wall floor on usr-include), and the cost per node flat from 10k to 100k.
//
// Usage: tree_bench [rounds] [case...] (7 rounds by default, every case). Needs the display and
// the private server of scripts/services.sh (start_xvfb, start_db); bench/all runs it.
#include "BenchData.h"
#include "BenchMain.h"
#include "BenchToolkit.h"
#include "CachedCloud.h"
#include "Figure.h"
#include "FloorConnection.h"
#include "Samples.h"
#include "SnippetSets.h"
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
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

using snippet_sets::CloudSet;
using snippet_sets::CopyUsrInclude;
using snippet_sets::MakeLocalStore;

constexpr int kRuns = 7;

struct Case {
    std::string name;
    long files; // 0: the copy of /usr/include
    CloudSet cloud;
    bool logged_in;
    double wall_goal;
};

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

void Pump() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop != nullptr) {
        while (loop->Pending())
            loop->Dispatch();
    }
    wxTheApp->ProcessIdle();
}

size_t CountItems(const wxTreeCtrl& tree, const wxTreeItemId& item) {
    size_t count = 1;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree.GetFirstChild(item, cookie); child.IsOk();
         child = tree.GetNextChild(item, cookie))
        count += CountItems(tree, child);
    return count;
}

unsigned long long DiskReads(TestDatabase& db) {
    return std::stoull(db.Query("SHOW GLOBAL STATUS LIKE 'Innodb_buffer_pool_reads'")[0][1]);
}

struct Result {
    double cpu_per_node = 0;
};

class TreeBench {
public:
    TreeBench(int runs, Interface* workspace, TestDatabase& admin)
        : runs_(runs), workspace_(workspace), admin_(admin), cloud_(admin) {}

    Result Run(const Case& c) {
        std::printf("\n== %s ==\n", c.name.c_str());
        const std::string store = c.files > 0
                                      ? bench_data::Prepared("local-" + std::to_string(c.files),
                                                             [&](const std::string& dir) {
                                                                 MakeLocalStore(dir, c.files);
                                                             })
                                      : bench_data::Prepared("usr-include", CopyUsrInclude);
        if (::chdir(store.c_str()) != 0)
            throw std::runtime_error("cannot enter " + store);
        if (c.logged_in) {
            const double seeded = cloud_.Use(c.cloud.Name(), [&](TestDatabase& db) {
                std::printf("generating the cloud %s...\n", c.cloud.Name().c_str());
                std::fflush(stdout);
                c.cloud.Seed(db);
            });
            if (seeded > 0)
                std::printf("generated in %.1f s\n", seeded);
        }
        if (c.logged_in) {
            const TestDatabase::Rows size = admin_.Query(
                "SELECT table_rows, ROUND(data_length / 1048576), ROUND(index_length / 1048576) "
                "FROM information_schema.tables WHERE table_schema = 'corvane' AND table_name = "
                "'snippets'");
            std::printf("cloud: about %s snippets, %s MB of data and %s MB of indexes\n",
                        size[0][0].c_str(), size[0][1].c_str(), size[0][2].c_str());
        }
        const std::string uid = c.logged_in ? "1" : "";
        workspace_->SetCurrentUserId(wxString::FromUTF8(uid));
        SnippetBrowser* tree = workspace_->Tree();

        const DbSettings settings = DbSettings::FromBuild();
        FloorConnection floor_connection(settings);
        const std::string root = "./snippets/";
        std::string list_own, list_favourites;
        if (c.logged_in) {
            list_own = statements::ListOwn(wxString::FromUTF8(uid), 0).utf8_string();
            list_favourites = statements::ListFavourites(wxString::FromUTF8(uid)).utf8_string();
        }
        size_t entries = 0, own_rows = 0, favourite_rows = 0;
        const auto floor_work = [&] {
            entries = Walk(root);
            if (c.logged_in) {
                own_rows = floor_connection.ReadAll(list_own, false);
                favourite_rows = floor_connection.ReadAll(list_favourites, true);
            }
        };
        const auto rebuild = [&] {
            tree->LoadTree();
            Pump();
        };

        // Each round measures the floor and the rebuild once, in turns, so that a burst of other
        // load on the machine falls on both alike. Round 0 warms the caches and is not counted.
        Samples floor, program, load_alone;
        unsigned long long reads_before = 0;
        for (int round = 0; round <= runs_; ++round) {
            if (round == 1) {
                floor.Clear();
                program.Clear();
                load_alone.Clear();
                reads_before = DiskReads(admin_);
            }
            if (round % 2) {
                floor.Measure(floor_work);
                program.Measure(rebuild);
            } else {
                program.Measure(rebuild);
                floor.Measure(floor_work);
            }
            load_alone.Measure([&] { tree->LoadTree(); });
            Pump();
        }
        const unsigned long long disk_reads = DiskReads(admin_) - reads_before;

        // The whole tree, as Expand All shows it, against what the floor saw.
        size_t own_runs = 0, favourite_runs = 0;
        if (c.logged_in) {
            floor_connection.ReadAll(list_own, false, &own_runs);
            floor_connection.ReadAll(list_favourites, true, &favourite_runs);
        }
        const size_t expected =
            1 + entries +
            (c.logged_in ? 2 + own_rows + own_runs + favourite_rows + favourite_runs : 0);
        Samples expand_all, expanded_rebuild;
        size_t nodes = 0;
        for (int round = 0; round < 3; ++round) {
            tree->LoadTree();
            Pump();
            expand_all.Measure([&] {
                tree->ExpandAll();
                Pump();
            });
            nodes = CountItems(*tree, tree->GetRootItem()) - 1; // without the hidden root
            expanded_rebuild.Measure(rebuild);
        }
        if (nodes != expected)
            throw std::runtime_error("Expand All shows " + std::to_string(nodes) +
                                     " nodes where the floor saw " + std::to_string(expected));

        std::printf("floor sees %zu directory entries, %zu own rows, %zu favourite rows; the "
                    "expanded tree holds %zu nodes\n",
                    entries, own_rows, favourite_rows, nodes);
        std::printf("%d rounds after one warm-up round; medians in ms; %llu pages read from disk "
                    "by the server meanwhile\n",
                    runs_, disk_reads);
        std::printf("%-34s %9s %9s %9s   %9s\n", "", "wall", "min", "max", "cpu");
        const auto row = [](const char* label, const Samples& s) {
            std::printf("%-34s %9.2f %9.2f %9.2f   %9.2f\n", label, s.Wall(), s.WallMin(),
                        s.WallMax(), s.Cpu());
        };
        row("floor: walk + both statements", floor);
        row("rebuild (LoadTree + its events)", program);
        row("LoadTree alone", load_alone);
        row("Expand All (for information)", expand_all);
        row("rebuild of the expanded tree", expanded_rebuild);
        const double us_wall = program.Wall() * 1000 / static_cast<double>(nodes);
        const double us_cpu = program.Cpu() * 1000 / static_cast<double>(nodes);
        std::printf("cost per node: %.3f us wall, %.3f us cpu (floor %.3f us wall, %.3f us cpu)\n",
                    us_wall, us_cpu, floor.Wall() * 1000 / static_cast<double>(nodes),
                    floor.Cpu() * 1000 / static_cast<double>(nodes));

        const std::string prefix = "tree " + c.name + ": ";
        PrintFigure(prefix + "rebuild wall", program.Wall(), floor.Wall(), "ms", c.wall_goal);
        PrintFigure(prefix + "rebuild cpu", program.Cpu(), floor.Cpu(), "ms", 2.0);
        PrintFigure(prefix + "cpu per node", us_cpu * 1000,
                    floor.Cpu() * 1e6 / static_cast<double>(nodes), "ns");
        PrintFigure(prefix + "Expand All", expand_all.Wall(), 0, "ms");
        PrintFigure(prefix + "rebuild, all expanded", expanded_rebuild.Wall(), floor.Wall(), "ms");
        Result result;
        result.cpu_per_node = us_cpu;
        return result;
    }

private:
    int runs_;
    Interface* workspace_;
    TestDatabase& admin_;
    CachedCloud cloud_;
};

int Run(int argc, char** argv) {
    int runs = kRuns;
    std::vector<std::string> wanted;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos)
            runs = std::max(1, std::atoi(argv[i]));
        else
            wanted.push_back(argv[i]);
    }
    const std::vector<Case> cases = {
        {"10k spread", 10000, {10000, 100000}, true, 1.3},
        {"10k owner", 10000, {10000, 10000}, true, 1.3},
        {"100k spread", 100000, {100000, 1000000}, true, 1.3},
        {"100k owner", 100000, {100000, 100000}, true, 1.3},
        {"usr-include", 0, {0, 0}, false, 1.5},
    };

    TestDatabase admin;
    std::printf("server: innodb_buffer_pool_size %s\n",
                admin.Query("SELECT @@innodb_buffer_pool_size")[0][0].c_str());

    if (!BenchToolkit::Start(argv[0]))
        return 1;

    const DbSettings settings = DbSettings::FromBuild();
    wxString error;
    std::unique_ptr<Database> connection = Database::Connect(settings, &error);
    if (!connection)
        throw std::runtime_error("cannot connect: " + error.utf8_string());

    // The workspace is built in an empty directory; each case then enters its own store.
    const std::string empty = bench_data::Prepared("empty", [](const std::string& dir) {
        std::filesystem::create_directory(dir + "/snippets");
    });
    if (::chdir(empty.c_str()) != 0)
        throw std::runtime_error("cannot enter " + empty);
    auto* frame =
        new wxFrame(nullptr, wxID_ANY, "Tree bench", wxDefaultPosition, wxSize(1000, 700));
    auto* workspace = new Interface(frame, connection.get());
    frame->Show(true);
    wxTheApp->SetTopWindow(frame);
    Pump();

    TreeBench bench(runs, workspace, admin);
    double per_node_10k = 0;
    for (const Case& c : cases) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), c.name) == wanted.end())
            continue;
        const Result result = bench.Run(c);
        if (c.name == "10k spread")
            per_node_10k = result.cpu_per_node;
        else if (c.name == "100k spread" && per_node_10k > 0)
            PrintFigure("tree: cpu per node at 100k (floor: at 10k)", result.cpu_per_node * 1000,
                        per_node_10k * 1000, "ns", 1.25);
    }

    frame->Destroy();
    Pump();
    connection.reset();
    BenchToolkit::Stop();
    return 0;
}

} // namespace

int main(int argc, char** argv) { return bench::Main("tree_bench", Run, argc, argv); }

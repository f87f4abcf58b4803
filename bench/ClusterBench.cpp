// What a cluster costs the program: the same statements, through the program's own connection,
// against one plain server and against the 3-node Galera cluster behind HAProxy, in one run and
// with the same 20,000 snippets in each.
//
//   save        update-content of an existing snippet (Ctrl-S on a cloud page)
//   new save    insert-snippet (the first save of a new page to "My Cloud")
//   search      search-public in one language with one title word, at most 100 rows
//
// Each is timed as the median of many rounds; the ratio cluster / plain is printed. Then, unless
// told not to, the failover: the writing node is killed with SIGKILL and the next save is timed
// until it succeeds through another node, and the killed node's rejoin until the cluster is
// three again and HAProxy sends the writes back to it.
//
// Usage: cluster_bench [rounds] [--no-failover] (200 rounds by default). Needs the private server
// and the cluster of scripts/services.sh (start_db, start_cluster).
#include "storage/Database.h"
#include "storage/Statements.h"
#include "support/TestCluster.h"
#include "support/TestDatabase.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    return n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// 20,000 snippets of one user in 20 languages, six in seven of them public and approved.
std::string Seed(TestDatabase& db) {
    db.Reset();
    const std::string uid = db.AddUser("bench", "pw");
    db.Exec("INSERT INTO snippets(uid, title, language, content, public, approved) SELECT " + uid +
            ", CONCAT('quick sort ', seq), CONCAT('lang', seq % 20), REPEAT('x = x + 1;\\n', 20), "
            "seq % 7 <> 0, seq % 7 <> 0 FROM seq_1_to_20000");
    db.Exec("ANALYZE TABLE snippets");
    return uid;
}

struct Figures {
    double save = 0, new_save = 0, search = 0;
};

// The three statements, `rounds` times each, through a connection made with `settings`.
Figures Measure(const DbSettings& settings, const std::string& uid_text, int rounds) {
    wxString error;
    const std::unique_ptr<Database> db = Database::Connect(settings, &error);
    if (!db)
        throw std::runtime_error("cannot connect: " + error.utf8_string());
    const wxString uid = wxString::FromUTF8(uid_text);
    if (!db->Execute(statements::InsertSnippet(*db, uid, "bench", "C", "first")))
        throw std::runtime_error("insert failed: " + db->LastError().utf8_string());
    const wxString sid = wxString::Format("%llu", db->InsertId());

    std::vector<double> save, new_save, search;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        if (!db->Execute(statements::UpdateContent(*db, sid, wxString::Format("text %d", round))))
            throw std::runtime_error("save failed: " + db->LastError().utf8_string());
        save.push_back(Since(start));

        start = Clock::now();
        if (!db->Execute(statements::InsertSnippet(*db, uid, "new", "C", "text")))
            throw std::runtime_error("new save failed: " + db->LastError().utf8_string());
        new_save.push_back(Since(start));

        start = Clock::now();
        int rows = 0;
        const bool found = db->Select(
            statements::SearchPublic(*db, {"quick"}, wxString::Format("lang%d", round % 20), "100"),
            Fetch::Stored, [&rows](const DbRow&) { return ++rows > 0; });
        if (!found || rows != 100)
            throw std::runtime_error("search failed: " + db->LastError().utf8_string());
        search.push_back(Since(start));
    }
    return {Median(save), Median(new_save), Median(search)};
}

// Kills the writing node and times the next save until it succeeds elsewhere, then the rejoin.
void Failover(TestCluster& cluster, const std::string& uid) {
    wxString error;
    const std::unique_ptr<Database> db = Database::Connect(cluster.AppSettings(), &error);
    if (!db || !db->Execute(statements::InsertSnippet(*db, wxString::FromUTF8(uid), "failover", "C",
                                                      "before")))
        throw std::runtime_error("cannot save before the failover");
    const wxString sid = wxString::Format("%llu", db->InsertId());
    const int writer = cluster.Writer();

    auto start = Clock::now();
    cluster.Node(writer).KillServer();
    int attempts = 1;
    while (!db->Execute(statements::UpdateContent(*db, sid, "after"))) {
        if (Since(start) > 60000)
            throw std::runtime_error("no save within a minute of the kill");
        ++attempts;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::printf("failover: node%d killed; the next save succeeded on node%d after %.0f ms "
                "(%d attempt%s)\n",
                writer, cluster.Writer(), Since(start), attempts, attempts == 1 ? "" : "s");

    start = Clock::now();
    cluster.Node(writer).StartServer();
    const double synced = Since(start);
    if (!cluster.WaitForWriter(writer, std::chrono::seconds(60)))
        throw std::runtime_error("HAProxy did not take the rejoined node back");
    std::printf("rejoin:   node%d synced after %.0f ms, cluster size %d, writing node again after "
                "%.0f ms\n",
                writer, synced, cluster.Size(writer), Since(start));
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 200;
    bool failover = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-failover") == 0)
            failover = false;
        else
            rounds = std::max(1, std::atoi(argv[i]));
    }
    try {
        TestDatabase plain;
        TestCluster cluster;
        const std::string plain_uid = Seed(plain);
        const std::string cluster_uid = Seed(cluster.Node(1));

        // Alternately, so that both meet the same load on a shared machine.
        Figures one{}, three{};
        constexpr int kPasses = 5;
        std::vector<Figures> ones, threes;
        for (int pass = 0; pass < kPasses; ++pass) {
            ones.push_back(Measure(TestDatabase::AppSettings(), plain_uid, rounds));
            threes.push_back(Measure(cluster.AppSettings(), cluster_uid, rounds));
        }
        const auto median = [](const std::vector<Figures>& all, double Figures::*field) {
            std::vector<double> values;
            for (const Figures& f : all)
                values.push_back(f.*field);
            return Median(values);
        };
        std::printf("%d rounds x %d passes, medians in ms      plain   cluster   ratio\n", rounds,
                    kPasses);
        for (const auto& [name, field] : std::vector<std::pair<const char*, double Figures::*>>{
                 {"save (update-content)", &Figures::save},
                 {"new save (insert-snippet)", &Figures::new_save},
                 {"search (search-public)", &Figures::search}}) {
            one.*field = median(ones, field);
            three.*field = median(threes, field);
            std::printf("%-40s %7.2f %9.2f %7.2f\n", name, one.*field, three.*field,
                        three.*field / one.*field);
        }
        if (failover)
            Failover(cluster, cluster_uid);
        plain.Reset();
        cluster.Reset();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cluster_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}

#include "browse/SnippetSearch.h"
#include "storage/Database.h"
#include "storage/FindStatements.h"
#include "support/CloudTest.h"
#include "support/TcpProxy.h"
#include "unit/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

using namespace std::chrono_literals;
using Titles = std::vector<std::string>;
// Where and what: "Local quick sort", "My Cloud quick sort".
using Rows = std::vector<wxString>;

Rows Describe(const std::vector<FoundSnippet>& rows) {
    Rows described;
    for (const FoundSnippet& row : rows)
        described.push_back(PlaceLabel(row.place) + " " + row.title);
    return described;
}

// Everything a search delivers, in order, from its threads.
class Deliveries {
public:
    SnippetSearch::Deliver Sink() {
        return [this](SnippetSearch::Results results) {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(std::move(results));
            arrived_.notify_all();
        };
    }
    // The first complete result of that search; a failure after `timeout`.
    SnippetSearch::Results Complete(unsigned long long generation,
                                    std::chrono::seconds timeout = 20s) {
        std::unique_lock<std::mutex> lock(mutex_);
        const SnippetSearch::Results* found = nullptr;
        arrived_.wait_for(lock, timeout, [&] {
            for (const SnippetSearch::Results& results : seen_) {
                if (results.generation == generation && results.Complete())
                    found = &results;
            }
            return found != nullptr;
        });
        if (found == nullptr) {
            ADD_FAILURE() << "search " << generation << " did not complete";
            return {};
        }
        return *found;
    }
    std::vector<unsigned long long> Generations() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<unsigned long long> generations;
        for (const SnippetSearch::Results& results : seen_)
            generations.push_back(results.generation);
        return generations;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<SnippetSearch::Results> seen_;
};

class FindSnippetCloudTest : public CloudTest {
protected:
    void SetUp() override {
        CloudTest::SetUp();
        ann = server.AddUser("ann", "pw");
        bob = server.AddUser("bob", "pw");
    }

    // The titles a statement finds, in the server's order.
    Titles Found(const wxString& statement) {
        Titles titles;
        EXPECT_TRUE(db->Select(statement, Fetch::Stored, [&](const DbRow& row) {
            titles.emplace_back(row.Bytes(2));
            return true;
        })) << db->LastError();
        return titles;
    }
    Titles Own(const wxString& query, unsigned maximum = 100) {
        return Found(statements::FindOwn(*db, wxString(ann), FindQuery(query).Words(), maximum));
    }
    static Titles Sorted(Titles titles) {
        std::sort(titles.begin(), titles.end());
        return titles;
    }

    std::string ann;
    std::string bob;
};

TEST_F(FindSnippetCloudTest, WordsMatchLiterallyWithoutRegardToCase) {
    for (const char* title : {"50% off", "500 off", "a_b", "axb", "it's here", "Quick Sort"})
        server.AddSnippet(ann, title, "C", "int x;");
    server.AddSnippet(ann, "path", "Shell", "cd C:\\dir\\sub");
    server.AddSnippet(ann, "paths", "Shell", "cd C:dirsub");
    server.AddSnippet(ann, "helpers", "C", "/* a QUICK SORT helper */");
    server.AddSnippet(ann, "regex", "Perl", "m/.*/");
    server.AddSnippet(ann, "no language", std::nullopt, "x");
    server.AddFavourite(ann, server.AddSnippet(bob, "50% of bob's", "C", "x", true, true));

    const struct {
        const char* query;
        Titles titles;
    } cases[] = {
        {"50%", {"50% off"}},
        {"%", {"50% off"}},
        {"a_b", {"a_b"}},
        {"_", {"a_b"}},
        {"C:\\dir", {"path"}},
        {"\\", {"path"}},
        {"it's", {"it's here"}},
        {".*", {"regex"}},
        {"PERL", {"regex"}},
        {"sort QUICK", {"Quick Sort", "helpers"}},
        // Spread out over a title, never over a content.
        {"qsrt", {"Quick Sort"}},
        {"quick zzz", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(Sorted(Own(wxString::FromUTF8(c.query))), Sorted(c.titles));
    }
    // Favourites are the user's marked rows, also other users' ones.
    EXPECT_EQ(Found(statements::FindFavourites(*db, ann, {"50%"}, 100)), Titles{"50% of bob's"});
    EXPECT_EQ(Found(statements::FindFavourites(*db, bob, {"50%"}, 100)), Titles{});
}

TEST_F(FindSnippetCloudTest, LimitKeepsTitleMatchesBeforeNewerContentMatches) {
    server.AddSnippet(ann, "needle", "C", "x");
    for (int i = 0; i < 5; ++i)
        server.AddSnippet(ann, "hay " + std::to_string(i), "C", "a needle in it");
    EXPECT_EQ(Own("needle", 3), (Titles{"needle", "hay 4", "hay 3"}));
}

TEST_F(FindSnippetCloudTest, SearchMergesLocalAndCloudAndLoggedOutStaysLocal) {
    TempDir store;
    store.MakeDir("C");
    store.MakeFile("C/quick sort", "void qsort(void);");
    server.AddSnippet(ann, "quick sort", "C", "x");
    server.AddSnippet(ann, "sorting", "C", "quick, but slow");
    server.AddFavourite(ann, server.AddSnippet(bob, "sort quickly", "C", "x", true, true));
    Deliveries deliveries;
    SnippetSearch search(store.Path(), TestDatabase::AppSettings(), deliveries.Sink());

    SnippetSearch::Results found = deliveries.Complete(search.Search("QUICK sort", ann));
    EXPECT_FALSE(found.cloud_failed);
    EXPECT_EQ(Describe(found.rows), (Rows{"Local quick sort", "My Cloud quick sort",
                                          "Favourites sort quickly", "My Cloud sorting"}));
    EXPECT_EQ(found.rows[3].line.text, "quick, but slow");

    found = deliveries.Complete(search.Search("quick sort", ""));
    EXPECT_EQ(Describe(found.rows), Rows{"Local quick sort"});
}

TEST_F(FindSnippetCloudTest, StaleResultNeverReplacesANewerOne) {
    TempDir store;
    server.AddSnippet(ann, "alpha", "C", "x");
    server.AddSnippet(ann, "beta", "C", "x");
    TcpProxy proxy(server.Port());
    DbSettings settings = TestDatabase::AppSettings();
    settings.port = proxy.Port();
    settings.read_write_timeout_seconds = 1;
    Deliveries deliveries;
    SnippetSearch search(store.Path(), settings, deliveries.Sink());

    // The server's answer to "alpha" is held back until the search gives up waiting and asks
    // again: the older search ends after the newer one has begun.
    proxy.Arm([](const std::string& s) { return s.find("alpha") != std::string::npos; },
              TcpProxy::Action::DropReply);
    const unsigned long long alpha = search.Search("alpha", ann);
    // The store's (empty) part came; the cloud's is held.
    for (int i = 0; i < 500 && (proxy.Fired() == 0 || deliveries.Generations().empty()); ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(proxy.Fired(), 1);
    ASSERT_EQ(deliveries.Generations(), std::vector<unsigned long long>{alpha});
    const auto typed = std::chrono::steady_clock::now();
    const size_t before = deliveries.Generations().size();
    const unsigned long long beta = search.Search("beta", ann);

    const SnippetSearch::Results found = deliveries.Complete(beta);
    EXPECT_GE(std::chrono::steady_clock::now() - typed, 900ms) << "alpha was not in the way";
    EXPECT_EQ(Describe(found.rows), Rows{"My Cloud beta"});
    const std::vector<unsigned long long> generations = deliveries.Generations();
    for (size_t i = before; i < generations.size(); ++i)
        EXPECT_EQ(generations[i], beta) << "delivery " << i << " came from search " << alpha;
}

TEST_F(FindSnippetCloudTest, ConnectionCutDuringASearchIsOpenedAgain) {
    TempDir store;
    store.MakeFile("sort here", "x");
    server.AddSnippet(ann, "sort there", "C", "x");
    TcpProxy proxy(server.Port());
    DbSettings settings = TestDatabase::AppSettings();
    settings.port = proxy.Port();
    Deliveries deliveries;
    SnippetSearch search(store.Path(), settings, deliveries.Sink());
    const Rows both{"Local sort here", "My Cloud sort there"};
    EXPECT_EQ(Describe(deliveries.Complete(search.Search("sort", ann)).rows), both);

    // The statement never reaches the server; the search asks again on a new connection.
    proxy.Arm([](const std::string& s) { return s.find("sort") != std::string::npos; },
              TcpProxy::Action::CutBefore);
    const SnippetSearch::Results found = deliveries.Complete(search.Search("sort ", ann));
    EXPECT_EQ(proxy.Fired(), 1);
    EXPECT_FALSE(found.cloud_failed);
    EXPECT_EQ(Describe(found.rows), both);
}

} // namespace

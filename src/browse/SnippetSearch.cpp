#include "browse/SnippetSearch.h"

#include "browse/LocalIndex.h"
#include "storage/Database.h"
#include "storage/FindStatements.h"
#include "storage/Statements.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

// One query for one thread. Each thread gets its own copy: texts are not shared across threads.
struct Job {
    unsigned long long generation = 0;
    std::optional<FindQuery> query; // none: only read the store ahead
    wxString uid;
};

} // namespace

struct SnippetSearchState {
    using Results = SnippetSearch::Results;
    using Deliver = SnippetSearch::Deliver;

    SnippetSearchState(const wxString& root, std::optional<DbSettings> cloud, Deliver deliver)
        : deliver(std::move(deliver)), settings(std::move(cloud)), index(root) {}

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable exited;
    Deliver deliver; // emptied when the search is destroyed
    std::atomic<bool> stopping{false};
    std::atomic<unsigned long long> generation{0};
    // A search waits for the local thread: reading the store ahead gives way to it.
    std::atomic<bool> search_waiting{false};
    std::optional<Job> local_job;
    std::optional<Job> cloud_job;
    bool local_exited = false;
    bool cloud_exited = false;

    // The newest query's parts so far.
    std::optional<std::vector<FoundSnippet>> local_rows;
    std::optional<std::vector<FoundSnippet>> cloud_rows;
    bool cloud_wanted = false;
    bool cloud_failed = false;
    wxString cloud_error;

    // The cloud thread's own.
    const std::optional<DbSettings> settings;
    std::unique_ptr<Database> db;
    // The local thread's own.
    LocalIndex index;

    bool Superseded(unsigned long long job) const { return stopping || generation != job; }

    // Hands what the newest query has so far to the window. Called with the mutex held.
    void Publish() {
        if (!deliver)
            return;
        Results results;
        results.generation = generation;
        results.local_pending = !local_rows;
        results.cloud_failed = cloud_failed;
        results.cloud_pending = cloud_wanted && !cloud_rows && !cloud_failed;
        results.cloud_error = cloud_error;
        for (const auto* part : {&local_rows, &cloud_rows}) {
            if (*part)
                results.rows.insert(results.rows.end(), (*part)->begin(), (*part)->end());
        }
        KeepBest(results.rows, SnippetSearch::kMaximum);
        deliver(std::move(results));
    }
};

namespace {

using State = std::shared_ptr<SnippetSearchState>;

// Waits for the next job in `slot`; nothing once the search stops.
std::optional<Job> NextJob(SnippetSearchState& state, std::optional<Job>& slot,
                           std::unique_lock<std::mutex>& lock) {
    state.wake.wait(lock, [&] { return state.stopping || slot.has_value(); });
    if (state.stopping)
        return std::nullopt;
    std::optional<Job> job = std::move(slot);
    slot.reset();
    return job;
}

void SearchLocal(const State& state) {
    std::unique_lock<std::mutex> lock(state->mutex);
    while (std::optional<Job> job = NextJob(*state, state->local_job, lock)) {
        state->search_waiting = false;
        lock.unlock();
        const unsigned long long generation = job->generation;
        state->index.Refresh();
        std::optional<std::vector<FoundSnippet>> rows;
        if (job->query) {
            rows = state->index.Search(*job->query, SnippetSearch::kMaximum, [&state, generation] {
                return state->Superseded(generation);
            });
        } else {
            state->index.LoadAll([&state] { return state->stopping || state->search_waiting; });
        }
        lock.lock();
        if (rows && !state->Superseded(generation)) {
            state->local_rows = std::move(rows);
            state->Publish();
        }
    }
    state->local_exited = true;
    state->exited.notify_all();
}

// The user's matching cloud snippets and favourites, or the reason the cloud could not be asked.
std::optional<std::vector<FoundSnippet>> AskCloud(SnippetSearchState& state, const Job& job,
                                                  wxString& error) {
    if (!state.db) {
        state.db = Database::Connect(*state.settings, &error);
        if (!state.db)
            return std::nullopt;
    }
    const FindQuery& query = *job.query;
    std::vector<FoundSnippet> rows;
    rows.reserve(2 * SnippetSearch::kMaximum);
    const unsigned maximum = static_cast<unsigned>(SnippetSearch::kMaximum);
    const std::pair<SnippetPlace, wxString> asks[] = {
        {SnippetPlace::MyCloud, statements::FindOwn(*state.db, job.uid, query.Words(), maximum)},
        {SnippetPlace::Favourites,
         statements::FindFavourites(*state.db, job.uid, query.Words(), maximum)},
    };
    for (const auto& [place, statement] : asks) {
        if (state.Superseded(job.generation))
            return rows;
        const auto add = [&query, &rows, place = place](const DbRow& row) {
            // The server's case rules may differ slightly from the program's; the program's
            // decide, so that every row ranks and shows the same way as a local one.
            std::optional<SnippetMatch> match =
                query.Match(FoldCase(row.Text(2)), FoldCase(row.Text(1)), FoldUtf8(row.Bytes(3)));
            if (!match)
                return true;
            FoundSnippet& found = rows.emplace_back();
            found.place = place;
            row.Text(0).swap(found.sid);
            row.Text(1).swap(found.language);
            row.Text(2).swap(found.title);
            found.match = std::move(*match);
            if (found.match.rank == MatchRank::Content)
                found.line = query.FirstMatchingLine(row.Text(3), found.match);
            return true;
        };
        if (!state.db->Select(statement, Fetch::Stored, add)) {
            error = state.db->LastError();
            return std::nullopt;
        }
    }
    return rows;
}

void SearchCloud(const State& state) {
    std::unique_lock<std::mutex> lock(state->mutex);
    while (std::optional<Job> job = NextJob(*state, state->cloud_job, lock)) {
        lock.unlock();
        wxString error;
        std::optional<std::vector<FoundSnippet>> rows = AskCloud(*state, *job, error);
        lock.lock();
        if (state->Superseded(job->generation))
            continue;
        if (rows) {
            state->cloud_rows = std::move(rows);
        } else {
            state->cloud_failed = true;
            state->cloud_error = error;
        }
        state->Publish();
    }
    state->cloud_exited = true;
    state->exited.notify_all();
}

} // namespace

SnippetSearch::SnippetSearch(const wxString& root, std::optional<DbSettings> cloud, Deliver deliver)
    : state_(std::make_shared<SnippetSearchState>(root, std::move(cloud), std::move(deliver))) {
    local_thread_ = std::thread(SearchLocal, state_);
    if (state_->settings)
        cloud_thread_ = std::thread(SearchCloud, state_);
    else
        state_->cloud_exited = true;
}

SnippetSearch::~SnippetSearch() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->stopping = true;
    state_->deliver = nullptr;
    state_->wake.notify_all();
    // A thread inside a statement on a server that stopped answering is left to finish it on its
    // own (it keeps the state alive); closing the window does not wait for it.
    state_->exited.wait_for(lock, std::chrono::seconds(2),
                            [this] { return state_->local_exited && state_->cloud_exited; });
    const bool local_done = state_->local_exited;
    const bool cloud_done = state_->cloud_exited;
    lock.unlock();
    const std::pair<std::thread*, bool> threads[] = {{&local_thread_, local_done},
                                                     {&cloud_thread_, cloud_done}};
    for (const auto& [thread, done] : threads) {
        if (!thread->joinable())
            continue;
        if (done)
            thread->join();
        else
            thread->detach();
    }
}

unsigned long long SnippetSearch::Search(const wxString& query, const wxString& uid) {
    Job local{0, FindQuery(query), wxString()};
    Job cloud{0, FindQuery(query), uid};
    std::lock_guard<std::mutex> lock(state_->mutex);
    SnippetSearchState& state = *state_;
    const unsigned long long generation = ++state.generation;
    local.generation = cloud.generation = generation;
    state.local_rows.reset();
    state.cloud_rows.reset();
    state.cloud_failed = false;
    state.cloud_error.clear();
    state.cloud_job.reset();
    if (local.query->Empty()) {
        // Nothing to search; reading the store ahead goes on.
        if (state.local_job && state.local_job->query)
            state.local_job.reset();
        state.cloud_wanted = false;
        state.local_rows.emplace();
        state.Publish();
        return generation;
    }
    state.cloud_wanted = state.settings.has_value() && statements::IsId(uid);
    state.local_job = std::move(local);
    state.search_waiting = true;
    if (state.cloud_wanted)
        state.cloud_job = std::move(cloud);
    state.wake.notify_all();
    return generation;
}

void SnippetSearch::Prepare() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (!state_->local_job)
        state_->local_job = Job{state_->generation, std::nullopt, wxString()};
    state_->wake.notify_all();
}

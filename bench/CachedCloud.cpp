#include "CachedCloud.h"

#include "support/TestDatabase.h"

#include <chrono>

namespace {

constexpr const char* kTables[] = {"users", "snippets", "favourites", "remember"};

std::string Cached(const std::string& set, const char* table) {
    return "corvane_bench.`" + set + "__" + table + "`";
}

} // namespace

CachedCloud::CachedCloud(TestDatabase& db) : db_(db) {
    db_.Exec("CREATE DATABASE IF NOT EXISTS corvane_bench");
    db_.Exec("CREATE TABLE IF NOT EXISTS corvane_bench.in_use (name VARCHAR(64) NOT NULL)");
}

std::string CachedCloud::InUse() {
    const TestDatabase::Rows rows = db_.Query("SELECT name FROM corvane_bench.in_use");
    return rows.empty() ? std::string() : rows[0][0];
}

void CachedCloud::SetInUse(const std::string& name) {
    db_.Exec("DELETE FROM corvane_bench.in_use");
    if (!name.empty())
        db_.Exec("INSERT INTO corvane_bench.in_use VALUES ('" + db_.Escape(name) + "')");
}

bool CachedCloud::Kept(const std::string& name) {
    std::string names;
    for (const char* table : kTables)
        names += std::string(names.empty() ? "'" : ", '") + db_.Escape(name + "__" + table) + "'";
    return db_.Query("SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = "
                     "'corvane_bench' AND table_name IN (" +
                     names + ")")[0][0] == "4";
}

double CachedCloud::Use(const std::string& name, const std::function<void(TestDatabase&)>& seed) {
    std::string current = InUse();
    // Tables emptied behind the cache's back (a test's reset) hold no set any more.
    if (!current.empty() && db_.Query("SELECT EXISTS (SELECT 1 FROM snippets)")[0][0] == "0")
        current.clear();
    if (current == name)
        return 0;
    if (!current.empty()) {
        // The set in use goes into the cache; empty tables of the same shape take its place.
        std::string rename;
        for (const char* table : kTables)
            rename += std::string(rename.empty() ? "RENAME TABLE " : ", ") + table + " TO " +
                      Cached(current, table);
        db_.Exec(rename);
        for (const char* table : kTables)
            db_.Exec(std::string("CREATE TABLE ") + table + " LIKE " + Cached(current, table));
        SetInUse("");
    }
    if (Kept(name)) {
        // One statement swaps all four tables, so the program's tables are never missing.
        std::string swap;
        for (const char* table : kTables) {
            db_.Exec("DROP TABLE IF EXISTS " + Cached("scratch", table));
            swap += std::string(swap.empty() ? "RENAME TABLE " : ", ") + table + " TO " +
                    Cached("scratch", table) + ", " + Cached(name, table) + " TO " + table;
        }
        db_.Exec(swap);
        for (const char* table : kTables)
            db_.Exec("DROP TABLE " + Cached("scratch", table));
        SetInUse(name);
        return 0;
    }
    const auto start = std::chrono::steady_clock::now();
    db_.Reset();
    seed(db_);
    for (const char* table : kTables)
        db_.Exec(std::string("ANALYZE TABLE ") + table);
    SetInUse(name);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

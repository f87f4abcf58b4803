#pragma once

#include <functional>
#include <string>

class TestDatabase;

// Large data sets of the cloud, kept on the benchmark server from one run to the next. A set is
// generated once, by the server itself, into the program's tables; when another set is put in
// use, its tables move into the database corvane_bench by renaming, which moves no rows, and
// move back when it is wanted again. The server's directory should be kept between runs
// (CORVANE_SERVICES_DIR, as bench/all does) and made anew when db/schema.sql changes.
class CachedCloud {
public:
    explicit CachedCloud(TestDatabase& db);

    // Makes the program's tables (users, snippets, favourites, remember) hold the set `name`.
    // When the set is not kept yet, the tables are emptied (ids start at 1 again) and `seed` fills
    // them. Returns the seconds spent generating it, 0 when it was kept.
    double Use(const std::string& name, const std::function<void(TestDatabase&)>& seed);

private:
    std::string InUse();
    void SetInUse(const std::string& name);
    bool Kept(const std::string& name);

    TestDatabase& db_;
};

#include "SnippetSets.h"

#include "support/TestDatabase.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace snippet_sets {

namespace {

const char* const kTopics[] = {
    "quick sort",      "binary search", "read file lines",    "parse json",
    "http get",        "string split",  "trim spaces",        "hash map demo",
    "thread pool",     "date format",   "regex match",        "list reverse",
    "matrix multiply", "config loader", "retry with backoff", "lru cache"};
constexpr int kTopicCount = sizeof kTopics / sizeof kTopics[0];

} // namespace

// Real-looking names and bodies, so titles, files and rows have the usual sizes.
const char* const kLanguageNames[kLanguages] = {
    "C",       "C++",     "C#",     "Java",   "Kotlin",     "Scala",      "Go",          "Rust",
    "Python",  "Ruby",    "Perl",   "PHP",    "JavaScript", "TypeScript", "Lua",         "Haskell",
    "OCaml",   "F#",      "Erlang", "Elixir", "Clojure",    "Lisp",       "Scheme",      "Racket",
    "Fortran", "COBOL",   "Ada",    "Pascal", "Delphi",     "Swift",      "Objective-C", "Dart",
    "R",       "Julia",   "MATLAB", "Octave", "SQL",        "Bash",       "PowerShell",  "Awk",
    "Tcl",     "Groovy",  "Nim",    "Zig",    "D",          "Crystal",    "Prolog",      "VHDL",
    "Verilog", "Assembly"};

std::string Title(long i) {
    return std::string(kTopics[i % kTopicCount]) + " " + std::to_string(i);
}

std::string Body(long i, const char* language) {
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

void MakeLocalStore(const std::string& dir, long files) {
    namespace fs = std::filesystem;
    const std::string store = dir + "/snippets/";
    for (const char* language : kLanguageNames)
        fs::create_directories(store + language);
    for (long i = 0; i < files; ++i) {
        const char* language = kLanguageNames[i % kLanguages];
        std::ofstream file(store + language + "/" + Title(i));
        file << Body(i, language);
        if (!file)
            throw std::runtime_error("cannot write a snippet file");
    }
}

void CopyUsrInclude(const std::string& dir) {
    namespace fs = std::filesystem;
    const auto options = fs::copy_options::recursive | fs::copy_options::copy_symlinks;
    std::error_code error;
    fs::copy("/usr/include", dir + "/snippets", options | fs::copy_options::create_hard_links,
             error);
    if (error) {
        fs::remove_all(dir + "/snippets");
        fs::copy("/usr/include", dir + "/snippets", options);
    }
}

void CloudSet::Seed(TestDatabase& db) const {
    const bool spread = total > own;
    db.Exec("INSERT INTO users(username, password) SELECT CONCAT('user', seq), SHA1('pw') "
            "FROM seq_1_to_" +
            std::to_string(spread ? 1 + kOtherUsers : 1));
    std::string languages, topics;
    for (const char* language : kLanguageNames)
        languages += std::string(languages.empty() ? "'" : ", '") + language + "'";
    for (const char* topic : kTopics)
        topics += std::string(topics.empty() ? "'" : ", '") + topic + "'";
    const long every = total / own; // the user's rows are every n-th
    const std::string language = "ELT(1 + CRC32(seq) % 50, " + languages + ")";
    const std::string title = "CONCAT(ELT(1 + seq % 16, " + topics + "), ' ', seq)";
    db.Exec("INSERT INTO snippets(uid, title, language, content, public, approved) SELECT " +
            (spread ? "IF(seq % " + std::to_string(every) + " = 0, 1, 2 + seq % " +
                          std::to_string(kOtherUsers) + ")"
                    : std::string("1")) +
            ", " + title + ", " + language + ", CONCAT('// ', " + title + ", ' (', " + language +
            ", ')\\nfunction example_', seq, '(items) {\\n    let total = 0;\\n    for "
            "(const item of items) {\\n        if (item.enabled && item.weight > ', seq % 97, "
            "')\\n            total += item.weight * ', seq % 13 + 1, ';\\n    }\\n    return "
            "total;\\n}\\n'), seq % 2, seq % 2 FROM seq_1_to_" +
            std::to_string(total));
    // One favourite in every 10 * every rows: in a spread cloud, other users' snippets.
    const long step = 10 * every;
    db.Exec("INSERT INTO favourites(uid, sid) SELECT 1, sid FROM snippets WHERE sid % " +
            std::to_string(step) + " = " + std::to_string(step / 2 + 1));
}

} // namespace snippet_sets

#include "browse/LocalIndex.h"

#include "unit/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <tuple>

namespace {

wxString U(const std::string& utf8) { return wxString::FromUTF8(utf8); }

using Found = std::set<std::tuple<wxString, wxString, wxString>>; // language, title, line

Found Find(LocalIndex& index, const std::string& query) {
    index.Refresh();
    const auto rows = index.Search(FindQuery(U(query)), 100);
    EXPECT_TRUE(rows);
    Found found;
    for (const FoundSnippet& row : rows.value_or(std::vector<FoundSnippet>())) {
        EXPECT_EQ(row.place, SnippetPlace::Local);
        found.emplace(row.language, row.title, row.line.text);
    }
    return found;
}

// Sets a file's modification time (seconds since the epoch).
void SetModified(const TempDir& dir, const std::string& below, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.Bytes(below).c_str(), times, 0), 0);
}

} // namespace

TEST(LocalIndex, FindsWhatTheTreeListsByTitleLanguageAndContent) {
    TempDir dir;
    dir.MakeDir("C");
    dir.MakeFile("C/quick sort", "void qsort(void);\n");
    dir.MakeDir("Python");
    dir.MakeFile("Python/read lines", "for line in open(p):\n    print(line)\n");
    dir.MakeDir("Go");
    dir.MakeDir("Go/deep");
    dir.MakeFile("Go/deep/thing", "package main\n\nimport \"sort\"\n");
    dir.MakeFile("loose", "sort me");
    dir.MakeDir("Empty");
    LocalIndex index(dir.Path());

    EXPECT_EQ(Find(index, "sort"), (Found{{"C", "quick sort", ""},
                                          {"Go", "thing", "import \"sort\""},
                                          {"loose", "loose", "sort me"}}));
    EXPECT_EQ(Find(index, "PYTHON print"), (Found{{"Python", "read lines", "print(line)"}}));
    // A directory is no snippet, even an empty one the tree shows as a leaf.
    EXPECT_EQ(Find(index, "empty"), Found{});
    EXPECT_EQ(index.FileCount(), 4u);

    // The rows name the files as the tree opens them.
    const auto rows = index.Search(FindQuery("qsort"), 10);
    ASSERT_TRUE(rows && rows->size() == 1);
    EXPECT_EQ((*rows)[0].path, dir.Path() + "/C/quick sort");
    // A newer query stops a search.
    EXPECT_FALSE(index.Search(FindQuery("sort"), 10, [] { return true; }));
}

TEST(LocalIndex, HostileEntriesNeitherBlockNorShowAndOtherBytesAreFound) {
    TempDir dir;
    dir.MakeDir("C");
    dir.MakeFile("C/quick sort", "int a;");
    ASSERT_EQ(::mkfifo(dir.Bytes("C/sort pipe").c_str(), 0666), 0);
    ASSERT_EQ(::symlink("missing", dir.Bytes("C/sort broken").c_str()), 0);
    ASSERT_EQ(::symlink("quick sort", dir.Bytes("C/sort link").c_str()), 0);
    ASSERT_EQ(::symlink(".", dir.Bytes("C/loop").c_str()), 0);
    ASSERT_EQ(::symlink("..", dir.Bytes("C/up").c_str()), 0);
    dir.MakeDir("Latin");
    dir.MakeFile("Latin/cafe", "le caf\xE9 noir\n");
    dir.MakeFile("Latin/na\xEFve sort", "naive");
    LocalIndex index(dir.Path());

    // The pipe and the broken link are left out; the loops list every file once.
    EXPECT_EQ(Find(index, "sort"), (Found{{"C", "quick sort", ""},
                                          {"C", "sort link", ""},
                                          {"Latin", U("na\xEF\xBF\xBDve sort"), ""}}));
    // A file that is not UTF-8 is read one byte per character.
    EXPECT_EQ(Find(index, "CAF\xC3\x89"), (Found{{"Latin", "cafe", U("le caf\xC3\xA9 noir")}}));
    // The row of a name that is not UTF-8 still opens its file.
    const auto rows = index.Search(FindQuery("naive"), 10);
    ASSERT_TRUE(rows && rows->size() == 1);
    EXPECT_EQ(local_store::ReadText((*rows)[0].path), wxString("naive"));
}

TEST(LocalIndex, KeptContentIsReadAgainOnlyWhenSizeOrTimeChanges) {
    TempDir dir;
    dir.MakeDir("C");
    dir.MakeFile("C/a", "alpha");
    SetModified(dir, "C/a", 1000000);
    LocalIndex index(dir.Path());
    index.Refresh();
    index.LoadAll();
    EXPECT_EQ(index.KeptBytes(), 5u);
    EXPECT_EQ(Find(index, "alpha").size(), 1u);

    // The same size and time: the kept text still answers.
    dir.MakeFile("C/a", "omega");
    SetModified(dir, "C/a", 1000000);
    EXPECT_EQ(Find(index, "omega").size(), 0u);
    EXPECT_EQ(Find(index, "alpha").size(), 1u);
    // Another time, or another size, and the file is read again.
    SetModified(dir, "C/a", 2000000);
    EXPECT_EQ(Find(index, "omega").size(), 1u);
    dir.MakeFile("C/a", "omega longer");
    SetModified(dir, "C/a", 2000000);
    EXPECT_EQ(Find(index, "longer").size(), 1u);

    // Files come and go with the store.
    dir.MakeFile("C/b", "beta");
    EXPECT_EQ(Find(index, "beta").size(), 1u);
    ASSERT_EQ(::unlink(dir.Bytes("C/a").c_str()), 0);
    EXPECT_EQ(Find(index, "omega").size(), 0u);
    EXPECT_EQ(index.FileCount(), 1u);
    EXPECT_EQ(index.KeptBytes(), 4u);
}

#include "storage/LocalStore.h"
#include "storage/SaveDirectory.h"
#include "storage/StoreListing.h"

#include "app/TextCodec.h"
#include "unit/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

wxString Utf8(const std::string& bytes) { return text::FromUtf8(bytes); }

// Every entry of a listing as "/parent/.../name" by labels, and the entries that have entries,
// checking on the way that each entry's parent is the one it is listed under.
struct Walked {
    std::set<std::string> entries;
    std::set<std::string> with_children;
};
Walked Walk(const StoreListing& listing, StoreListing::Index directory = StoreListing::kTop,
            const std::string& path = std::string()) {
    Walked walked;
    const StoreListing::Index first = listing.FirstChild(directory);
    for (StoreListing::Index entry = first; entry < first + listing.ChildCount(directory);
         ++entry) {
        EXPECT_EQ(listing.Parent(entry), directory);
        const std::string node = path + "/" + listing.Label(entry).utf8_string();
        EXPECT_TRUE(walked.entries.insert(node).second) << node;
        if (listing.ChildCount(entry) > 0)
            walked.with_children.insert(node);
        Walked below = Walk(listing, entry, node);
        walked.entries.merge(below.entries);
        walked.with_children.merge(below.with_children);
    }
    return walked;
}

} // namespace

TEST(LocalStorePaths, SeparatorIsAddedOnlyWhenMissing) {
    EXPECT_EQ(local_store::WithSeparator("./snippets/Ruby"), "./snippets/Ruby/");
    EXPECT_EQ(local_store::WithSeparator("./snippets/Ruby/"), "./snippets/Ruby/");
    EXPECT_EQ(local_store::WithSeparator("C:\\snippets\\Ruby\\"), "C:\\snippets\\Ruby\\");
    EXPECT_EQ(local_store::WithSeparator(""), "/");

    EXPECT_EQ(local_store::LanguageDirectory("Ruby"), "./snippets/Ruby/");
    EXPECT_EQ(local_store::LanguageDirectory(""), "./snippets/");
    // A language is used as typed: a slash names a nested directory, a trailing backslash ends it.
    EXPECT_EQ(local_store::LanguageDirectory("Shell/Batch"), "./snippets/Shell/Batch/");
    EXPECT_EQ(local_store::LanguageDirectory("Win\\"), "./snippets/Win\\");
}

TEST(LocalStorePaths, TreeNamesTurnBackIntoPathsAndLanguages) {
    const std::vector<wxString> in_language = {"Local", "Ruby", "hello"};
    EXPECT_EQ(local_store::PathFromNames(in_language), "./snippets/Ruby/hello");
    EXPECT_EQ(local_store::LanguageFromNames(in_language), "Ruby");

    // A file at the store's root is its own language.
    const std::vector<wxString> at_root = {"Local", "notes"};
    EXPECT_EQ(local_store::PathFromNames(at_root), "./snippets/notes");
    EXPECT_EQ(local_store::LanguageFromNames(at_root), "notes");

    // Deeper levels belong to the path; only the first level is the language.
    const std::vector<wxString> nested = {"Local", "downloads", "Go", "Quick sort.snippet"};
    EXPECT_EQ(local_store::PathFromNames(nested), "./snippets/downloads/Go/Quick sort.snippet");
    EXPECT_EQ(local_store::LanguageFromNames(nested), "downloads");

    // Names keep their blanks and non-ASCII letters.
    const std::vector<wxString> unicode = {"Local", Utf8("C\xE2\x99\xAF"), Utf8("caf\xC3\xA9 1")};
    EXPECT_EQ(local_store::PathFromNames(unicode), Utf8("./snippets/C\xE2\x99\xAF/caf\xC3\xA9 1"));
    EXPECT_EQ(local_store::LanguageFromNames(unicode), Utf8("C\xE2\x99\xAF"));

    EXPECT_EQ(local_store::PathFromNames({"Local"}), "./snippets/");
}

TEST(LocalStoreListing, WalkReportsEveryEntryUnderItsParent) {
    TempDir dir;
    dir.MakeDir("Ruby");
    dir.MakeFile("Ruby/hello", "puts 1");
    dir.MakeDir("Shell");
    dir.MakeDir("Shell/Batch");
    dir.MakeFile("Shell/Batch/run", "echo");
    dir.MakeFile("notes", "at the root");
    dir.MakeDir("Empty");
    // A name may end in a backslash; its entries are found all the same.
    dir.MakeDir("Win\\");
    dir.MakeFile("Win\\/run.bat", "echo");

    for (const wxString& start : {dir.Path(), dir.Path() + "/"}) {
        const StoreListing listing(start);
        const Walked walked = Walk(listing);
        EXPECT_EQ(walked.entries, (std::set<std::string>{"/Empty", "/Ruby", "/Ruby/hello", "/Shell",
                                                         "/Shell/Batch", "/Shell/Batch/run",
                                                         "/notes", "/Win\\", "/Win\\/run.bat"}));
        // Files and the empty directory have nothing below them.
        EXPECT_EQ(walked.with_children,
                  (std::set<std::string>{"/Ruby", "/Shell", "/Shell/Batch", "/Win\\"}));
        EXPECT_EQ(listing.Size(), 1u + walked.entries.size());
    }

    // An empty directory, a file and a missing path list as empty.
    for (const char* below : {"Empty", "notes", "missing"}) {
        const StoreListing listing(dir.Path(below));
        EXPECT_EQ(listing.Size(), 1u) << below;
        EXPECT_EQ(listing.ChildCount(StoreListing::kTop), 0u) << below;
    }
}

TEST(LocalStoreListing, NameThatIsNotUtf8ShowsReplacedButStillOpens) {
    TempDir dir;
    const std::string raw = "caf\xE9 latin1";
    dir.MakeFile(raw, "old text");

    const StoreListing listing(dir.Path());
    ASSERT_EQ(listing.ChildCount(StoreListing::kTop), 1u);
    const StoreListing::Index entry = listing.FirstChild(StoreListing::kTop);
    EXPECT_EQ(listing.Name(entry), raw);
    EXPECT_EQ(listing.Label(entry), Utf8("caf\xEF\xBF\xBD latin1"));
    EXPECT_EQ(text::ToPathBytes(listing.FileName(entry)), raw);

    const wxString path = local_store::WithSeparator(dir.Path()) + listing.FileName(entry);
    EXPECT_EQ(local_store::ReadText(path), wxString("old text"));
    wxString error;
    ASSERT_TRUE(local_store::WriteText(path, "new text", &error)) << error.utf8_string();
    EXPECT_EQ(dir.FileBytes(raw), "new text");
    EXPECT_EQ(dir.Names(), std::set<std::string>{raw});
}

TEST(LocalStoreFiles, TextRoundTripsAsUtf8) {
    TempDir dir;
    const std::string bytes =
        "line 1\r\nit's \"quoted\" \\ % _ caf\xC3\xA9 \xF0\x9F\x98\x80\n\tend"s;
    const wxString path = dir.Path("snippet");
    wxString error;
    ASSERT_TRUE(local_store::WriteText(path, Utf8(bytes), &error)) << error.utf8_string();
    EXPECT_EQ(dir.FileBytes("snippet"), bytes); // no byte-order mark, line breaks as given
    EXPECT_EQ(local_store::ReadText(path), Utf8(bytes));

    // Overwriting replaces the whole text, also with a shorter one.
    ASSERT_TRUE(local_store::WriteText(path, "x", &error));
    EXPECT_EQ(dir.FileBytes("snippet"), "x");
    ASSERT_TRUE(local_store::WriteText(path, "", &error));
    EXPECT_EQ(local_store::ReadText(path), wxString());
    EXPECT_EQ(dir.Names(), std::set<std::string>{"snippet"});

    // Nothing to read: a missing file, a directory.
    EXPECT_FALSE(local_store::ReadText(dir.Path("missing")).has_value());
    EXPECT_FALSE(local_store::ReadText(dir.Path()).has_value());
}

TEST(LocalStoreFiles, FailedWriteSaysWhyAndLeavesNothingBehind) {
    TempDir dir;
    wxString error;
    EXPECT_FALSE(local_store::WriteText(dir.Path("missing/snippet"), "text", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(dir.Names().empty());

    // A directory in the way keeps what it holds.
    dir.MakeDir("taken");
    dir.MakeFile("taken/inside", "kept");
    error.clear();
    EXPECT_FALSE(local_store::WriteText(dir.Path("taken"), "text", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(dir.FileBytes("taken/inside"), "kept");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"taken"});

    // A text UTF-8 cannot carry is refused before the old file is touched.
    dir.MakeFile("snippet", "old text");
    wxString lone_surrogate = "new";
    lone_surrogate += wxUniChar(0xD800);
    error.clear();
    EXPECT_FALSE(local_store::WriteText(dir.Path("snippet"), lone_surrogate, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(dir.FileBytes("snippet"), "old text");
}

// Names near the longest a directory takes (255 bytes), with and without characters of several
// bytes.
std::vector<std::string> LongNames() {
    std::string euros;
    for (int i = 0; i < 85; ++i)
        euros += "\xE2\x82\xAC";
    return {std::string(241, 't'), std::string(255, 'n'), euros /* 255 bytes */,
            std::string(239, 'e') + "\xC3\xA9" + std::string(14, 'e') /* cut inside "é" */,
            std::string(240, 's') + ".corvane-saving" /* the name a cut would give */};
}

// A name as long as the directory takes is written like any (the temporary file's name is cut to
// fit), and a write broken off keeps the old text.
TEST(LocalStoreFiles, WriteBrokenOffHalfwayKeepsTheOldText) {
    std::vector<std::string> names = LongNames();
    names.insert(names.begin(), "snippet");
    for (const std::string& name : names) {
        TempDir dir;
        dir.MakeFile(name, "old text");

        // A file-size limit makes the system refuse the write after the first bytes.
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto saved_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 1024;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        wxString error;
        const bool written = local_store::WriteText(dir.Path(name), wxString('x', 65536), &error);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, saved_handler);

        EXPECT_FALSE(written) << name.size();
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(dir.FileBytes(name), "old text") << name.size();
        EXPECT_TRUE(local_store::WriteText(dir.Path(name), "new text", &error))
            << name.size() << ": " << error.utf8_string();
        EXPECT_EQ(dir.FileBytes(name), "new text");
        EXPECT_EQ(dir.Names(), std::set<std::string>{name});
    }
    // One byte longer is refused with the system's reason.
    TempDir dir;
    wxString error;
    EXPECT_FALSE(local_store::WriteText(dir.Path(std::string(256, 'x')), "text", &error));
    EXPECT_EQ(error, "File name too long");
    EXPECT_TRUE(dir.Names().empty());
}

TEST(LocalStoreFiles, SaveWritesThroughLinksAndKeepsPermissions) {
    TempDir dir;
    dir.MakeDir("real");
    dir.MakeFile("real/snippet", "old text");
    ASSERT_EQ(::chmod(dir.Bytes("real/snippet").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("real/snippet", dir.Bytes("link").c_str()), 0);
    wxString error;
    ASSERT_TRUE(local_store::WriteText(dir.Path("link"), "through the link", &error))
        << error.utf8_string();
    // The link stays a link to the same file, and that file holds the new text.
    struct stat status {};
    ASSERT_EQ(::lstat(dir.Bytes("link").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    char target[64] = {};
    EXPECT_EQ(::readlink(dir.Bytes("link").c_str(), target, sizeof target - 1), 12);
    EXPECT_STREQ(target, "real/snippet");
    EXPECT_EQ(dir.FileBytes("real/snippet"), "through the link");
    EXPECT_EQ(dir.Names("real"), std::set<std::string>{"snippet"});

    // A file keeps its permissions, whether reached through the link or not.
    for (const mode_t mode : {0600, 0640, 0755}) {
        dir.MakeFile("plain", "old");
        ASSERT_EQ(::chmod(dir.Bytes("plain").c_str(), mode), 0);
        ASSERT_EQ(::chmod(dir.Bytes("real/snippet").c_str(), mode), 0);
        ASSERT_TRUE(local_store::WriteText(dir.Path("plain"), "new", &error));
        ASSERT_TRUE(local_store::WriteText(dir.Path("link"), "new", &error));
        for (const char* file : {"plain", "real/snippet"}) {
            ASSERT_EQ(::stat(dir.Bytes(file).c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 07777, mode) << file << " " << std::oct << mode;
            EXPECT_EQ(dir.FileBytes(file), "new");
        }
    }
}

// Whatever already stands at the temporary file's name is neither written through, waited on,
// nor removed: a link planted there, a pipe, or a snippet that happens to have that name.
TEST(LocalStoreFiles, EntriesAtTheTemporaryNameAreLeftAlone) {
    TempDir dir;
    dir.MakeFile("victim", "untouched");
    dir.MakeFile("snippet", "old text");
    ASSERT_EQ(::symlink(dir.Bytes("victim").c_str(), dir.Bytes("snippet.corvane-saving").c_str()),
              0);
    ASSERT_EQ(::mkfifo(dir.Bytes("snippet.corvane-saving-1").c_str(), 0600), 0);
    dir.MakeFile("snippet.corvane-saving-2", "a snippet of its own");
    wxString error;
    ASSERT_TRUE(local_store::WriteText(dir.Path("snippet"), "new text", &error))
        << error.utf8_string();
    EXPECT_EQ(dir.FileBytes("snippet"), "new text");
    EXPECT_EQ(dir.FileBytes("victim"), "untouched");
    EXPECT_EQ(dir.FileBytes("snippet.corvane-saving-2"), "a snippet of its own");
    struct stat status {};
    ASSERT_EQ(::lstat(dir.Bytes("snippet.corvane-saving").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    ASSERT_EQ(::lstat(dir.Bytes("snippet.corvane-saving-1").c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(dir.Names().size(), 5u);
}

TEST(LocalStoreFiles, SavedTextReachesTheDiskBeforeItReplacesTheFile) {
    TempDir dir;
    dir.MakeFile("snippet", "old text");
    char* resolved = ::realpath(dir.Bytes("snippet").c_str(), nullptr);
    ASSERT_NE(resolved, nullptr);
    const std::string target = resolved;
    std::free(resolved);

    // The save runs in a program of its own under strace, which logs the calls that matter. In
    // the sanitized build, the leak check at exit would attach to the program as strace has.
    const std::string log = dir.Bytes("calls");
    const std::string command =
        "ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" strace -f -s 4096 -o '" + log +
        "' -e trace=open,openat,creat,fsync,fdatasync,rename,renameat,renameat2 " +
        SAVE_TEXT_PROGRAM + " '" + target + "' 'new text'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command << " (scripts/setup installs strace)";
    EXPECT_EQ(dir.FileBytes("snippet"), "new text");

    // Which file each descriptor was opened on, which files were synced so far, and every rename
    // onto the target.
    static const std::regex call(R"((\w+)\((.*)\) += (\d+))");
    static const std::regex quoted(R"re("((?:[^"\\]|\\.)*)")re");
    std::map<long, std::string> opened;
    std::set<std::string> synced;
    int renames = 0;
    std::ifstream calls(log);
    for (std::string line; std::getline(calls, line);) {
        std::smatch parts;
        if (!std::regex_search(line, parts, call))
            continue;
        const std::string name = parts[1], arguments = parts[2];
        std::vector<std::string> paths;
        for (std::sregex_iterator it(arguments.begin(), arguments.end(), quoted), end; it != end;
             ++it)
            paths.push_back((*it)[1]);
        if ((name == "open" || name == "openat" || name == "creat") && !paths.empty()) {
            opened[std::stol(parts[3])] = paths[0];
        } else if (name == "fsync" || name == "fdatasync") {
            synced.insert(opened[std::stol(arguments)]);
        } else if (name.rfind("rename", 0) == 0 && paths.size() == 2 && paths[1] == target) {
            ++renames;
            EXPECT_EQ(synced.count(paths[0]), 1u) << paths[0] << " replaced the file unsynced";
        }
    }
    EXPECT_EQ(renames, 1) << "no rename onto " << target << " in the log " << log;
}

TEST(LocalStoreListing, LinksBackIntoTheWalkAreLeavesAndOtherLinksAreFollowed) {
    TempDir dir;
    dir.MakeDir("C");
    dir.MakeFile("C/main", "int main;");
    dir.MakeDir("Go");
    dir.MakeFile("Go/main", "package main");
    ASSERT_EQ(::symlink(".", dir.Bytes("C/a").c_str()), 0);
    ASSERT_EQ(::symlink(".", dir.Bytes("C/b").c_str()), 0);
    ASSERT_EQ(::symlink("..", dir.Bytes("C/up").c_str()), 0);
    ASSERT_EQ(::symlink("../Go", dir.Bytes("C/go").c_str()), 0);
    ASSERT_EQ(::symlink("missing", dir.Bytes("C/dangling").c_str()), 0);

    const std::set<std::string> seen = Walk(StoreListing(dir.Path())).entries;
    // The loops end at once as leaves; the link to a directory outside the walk's path is
    // followed, and inside it the way back to the root is a loop again.
    EXPECT_EQ(seen, (std::set<std::string>{"/C", "/C/main", "/C/a", "/C/b", "/C/up", "/C/go",
                                           "/C/go/main", "/C/dangling", "/Go", "/Go/main"}));
}

TEST(LocalStoreFiles, TextThatIsNotUtf8ReadsOneBytePerCharacterAndWritesBackUnchanged) {
    TempDir dir;
    const std::string latin = "caf\xE9 \xA9 2024\0end\r\n"s;
    dir.MakeFile("latin", latin);
    const auto file = local_store::ReadFile(dir.Path("latin"));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->encoding, local_store::Encoding::Latin1);
    EXPECT_EQ(file->text, Utf8("caf\xC3\xA9 \xC2\xA9 2024\0end\r\n"s));

    wxString error;
    ASSERT_TRUE(local_store::WriteText(dir.Path("latin"), file->text, file->encoding, &error));
    EXPECT_EQ(dir.FileBytes("latin"), latin);
    // A character that one byte cannot hold has no such encoding.
    EXPECT_FALSE(local_store::Encode(file->text + Utf8("\xE2\x82\xAC"), file->encoding));
    EXPECT_FALSE(local_store::WriteText(dir.Path("latin"), Utf8("\xE2\x82\xAC"),
                                        local_store::Encoding::Latin1, &error));
    EXPECT_EQ(dir.FileBytes("latin"), latin);

    dir.MakeFile("utf8", "caf\xC3\xA9");
    EXPECT_EQ(local_store::ReadFile(dir.Path("utf8"))->encoding, local_store::Encoding::Utf8);
}

TEST(LocalStoreFiles, PipesAndDevicesAreNeitherWaitedOnNorRead) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.Bytes("pipe").c_str(), 0666), 0);
    ASSERT_EQ(::symlink("pipe", dir.Bytes("link-to-pipe").c_str()), 0);
    dir.MakeFile("file", "text");
    dir.MakeDir("directory");

    // Without a writer, opening the pipe for reading would block here for ever.
    EXPECT_FALSE(local_store::ReadFile(dir.Path("pipe")).has_value());
    EXPECT_FALSE(local_store::ReadFile(dir.Path("link-to-pipe")).has_value());
    EXPECT_FALSE(local_store::ReadFile("/dev/zero").has_value());
    EXPECT_TRUE(local_store::IsSpecialFile(dir.Path("pipe")));
    EXPECT_TRUE(local_store::IsSpecialFile(dir.Path("link-to-pipe")));
    EXPECT_TRUE(local_store::IsSpecialFile("/dev/null"));
    EXPECT_FALSE(local_store::IsSpecialFile(dir.Path("file")));
    EXPECT_FALSE(local_store::IsSpecialFile(dir.Path("directory")));
    EXPECT_FALSE(local_store::IsSpecialFile(dir.Path("missing")));
}

TEST(LocalStoreFiles, SaveDirectoryRemovesOnlyAnEmptyDirectoryItMade) {
    TempDir dir;
    dir.MakeDir("existing");
    {
        SaveDirectory existing(dir.Path("existing"));
        SaveDirectory made(dir.Path("made"));
        SaveDirectory kept(dir.Path("kept"));
        EXPECT_FALSE(existing.Created());
        EXPECT_TRUE(made.Created());
        dir.MakeFile("kept/snippet", "saved");
        // The directory itself with a trailing slash is still the directory that existed.
        SaveDirectory root(dir.Path() + "/");
        EXPECT_FALSE(root.Created());
    }
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"existing", "kept"}));
    EXPECT_EQ(dir.FileBytes("kept/snippet"), "saved");

    // A directory that cannot be made says why, and the dialog opens in the nearest directory
    // above it (a file in its way is shown on the pages that save).
    dir.MakeFile("Ruby.snippet", "a download");
    for (const auto& [below, why] : {std::pair<std::string, std::string>{"Shell/Batch/", "No such"},
                                     {"Ruby.snippet/deeper/", "Not a directory"}}) {
        const SaveDirectory save(dir.Path(below));
        EXPECT_TRUE(save.Problem().Contains(why)) << save.Problem();
        EXPECT_EQ(save.DialogDirectory(), dir.Path() + "/");
    }
    EXPECT_EQ(SaveDirectory(dir.Path("existing/")).Problem(), "");
    EXPECT_EQ(dir.FileBytes("Ruby.snippet"), "a download");
}

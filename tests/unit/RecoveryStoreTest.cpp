#include "storage/RecoveryStore.h"

#include "app/TextCodec.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// A store directory of its own under a fresh scratch directory, removed afterwards.
class RecoveryStoreTest : public testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/corvane-recovery-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        scratch_ = templ;
        root_ = scratch_ / "store";
    }
    void TearDown() override { fs::remove_all(scratch_); }

    recovery::Store::Opened Open() const { return recovery::Store::Open(root_.string()); }

    static recovery::PageRecord Page(const std::string& text) {
        recovery::PageRecord record;
        record.caption = "Page " + text;
        record.text = text;
        return record;
    }
    // Opens the store and writes these pages as the open ones, in order; the store stays open.
    std::unique_ptr<recovery::Store> Keep(const std::vector<std::string>& texts) const {
        std::unique_ptr<recovery::Store> store = Open().store;
        std::vector<recovery::EntryId> ids;
        for (const std::string& text : texts) {
            ids.push_back(store->NewId());
            store->Put(ids.back(), Page(text));
        }
        store->SetOpen(ids, ids.empty() ? 0 : ids.front());
        store->Flush();
        return store;
    }
    // The texts of the open pages as the next start reads them (whole, from Read).
    static std::vector<std::string> Texts(recovery::Store::Opened& opened) {
        std::vector<std::string> texts;
        for (const recovery::Store::Restored& page : opened.pages) {
            bool damaged = false;
            const auto record = opened.store->Read(page.id, &damaged);
            texts.push_back(record ? record->text : "(damaged)");
        }
        return texts;
    }
    static std::string Bytes(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    fs::path scratch_;
    fs::path root_;
};

} // namespace

TEST_F(RecoveryStoreTest, RecordsAndTheIndexRoundTripAndRefuseEveryDamage) {
    recovery::PageRecord record;
    record.caption = text::FromUtf8("caf\xC3\xA9\nline two \\n");
    record.kind = "new-snippet";
    record.path = text::FromPathBytes("./snippets/C/na\xFFme");
    record.sid = "42";
    record.owner = "7";
    record.title = "Quick sort";
    record.language = "C";
    record.colouring = "Python";
    record.encoding = local_store::Encoding::Latin1;
    record.read_only = true;
    record.caret = 3;
    record.anchor = 1;
    record.baseline = {7, -5, 0xFFFFFFFFFFFFFFFFULL};
    record.text = "int\0main\n\n\xE9"s;
    const std::string bytes = recovery::EncodeRecord(record);
    // Every field comes back: the record encodes to the very same bytes again.
    const auto back = recovery::DecodeRecord(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(recovery::EncodeRecord(*back), bytes);
    EXPECT_EQ(text::ToPathBytes(back->path), "./snippets/C/na\xFFme");
    EXPECT_EQ(back->text, record.text);

    std::string flipped = bytes;
    flipped.back() ^= 1;
    const std::string header_line = "\nkind new-snippet";
    std::string no_kind = bytes;
    no_kind.erase(no_kind.find(header_line), header_line.size());
    for (const std::string& damaged :
         {bytes.substr(0, bytes.size() - 1), flipped, no_kind, "x" + bytes, bytes + "!",
          bytes.substr(0, bytes.find("\n\n")), std::string()})
        EXPECT_FALSE(recovery::DecodeRecord(damaged)) << damaged;

    const recovery::Index index{{3, 1}, {9}, 1};
    const std::string index_bytes = recovery::EncodeIndex(index);
    EXPECT_EQ(recovery::DecodeIndex(index_bytes), index);
    EXPECT_FALSE(recovery::DecodeIndex(index_bytes.substr(0, index_bytes.size() - 4)));
    EXPECT_FALSE(recovery::DecodeIndex(index_bytes + "open 4\n"));
}

TEST_F(RecoveryStoreTest, PagesComeBackInOrderAndATornWriteIsIgnored) {
    Keep({"first", "second", "third"});
    // A write cut short by a power cut, and an entry written just before a crash that the index
    // does not name yet.
    std::ofstream(root_ / "page-2.corvane-saving") << "corvane-recovery-page 1\ncapt";
    std::ofstream(root_ / "page-7", std::ios::binary) << recovery::EncodeRecord(Page("fourth"));

    recovery::Store::Opened opened = Open();
    ASSERT_TRUE(opened.store);
    EXPECT_FALSE(opened.another_copy);
    EXPECT_EQ(opened.set_aside, 0u);
    EXPECT_EQ(Texts(opened), (std::vector<std::string>{"first", "second", "third", "fourth"}));
    EXPECT_EQ(opened.pages[1].record.caption, "Page second");
    EXPECT_EQ(opened.selected, opened.pages[0].id);
    EXPECT_FALSE(fs::exists(root_ / "page-2.corvane-saving"));
    // Pages that are neither open nor closed any more (saved ones) lose their entries.
    opened.store->SetOpen({opened.pages[3].id}, 0);
    opened.store.reset();
    recovery::Store::Opened again = Open();
    EXPECT_EQ(Texts(again), std::vector<std::string>{"fourth"});
    EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 3);
}

TEST_F(RecoveryStoreTest, ClosedPagesAreKeptUpToTheBoundAndReopenNewestFirst) {
    std::vector<std::string> texts;
    for (size_t i = 0; i < recovery::kClosedKept + 2; ++i)
        texts.push_back("closed " + std::to_string(i));
    std::unique_ptr<recovery::Store> store = Keep(texts);
    for (recovery::EntryId id = 1; id <= texts.size(); ++id)
        store->Close(id);
    store->Flush();
    size_t entries = 0;
    for (const auto& file : fs::directory_iterator(root_))
        entries += file.path().filename().string().rfind("page-", 0) == 0;
    EXPECT_EQ(entries, recovery::kClosedKept);
    store.reset();

    recovery::Store::Opened opened = Open();
    EXPECT_TRUE(opened.pages.empty());
    bool damaged = true;
    EXPECT_EQ(opened.store->Reopen(&damaged)->record.text, texts.back());
    EXPECT_FALSE(damaged);
}

// The order of the system calls is what makes a power cut harmless: the text reaches the disk
// before it replaces the entry, the entry before the index names it, each rename before the next.
TEST_F(RecoveryStoreTest, WritesReachTheDiskInASafeOrder) {
    const fs::path log = scratch_ / "trace";
    // Leak detection cannot run under strace (sanitized builds).
    const std::string command =
        "ASAN_OPTIONS=detect_leaks=0 strace -f -qq -e trace=openat,fsync,rename -o " +
        log.string() + " " + RECOVERY_WRITER + " " + root_.string();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::map<std::string, std::string> open_files; // fd -> path
    std::vector<std::string> steps;
    const std::regex call(R"re((\w+)\((?:AT_FDCWD, )?"?([^",)]*)"?(?:, "([^"]*)")?.*= (-?\d+))re");
    std::istringstream lines(Bytes(log));
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, call) || m[4] == "-1")
            continue;
        const std::string name = fs::path(m[2].str()).filename().string();
        if (m[1] == "openat" && line.find(root_.string()) != std::string::npos)
            open_files[m[4]] = line.find("O_DIRECTORY") != std::string::npos ? "directory" : name;
        else if (m[1] == "fsync" && open_files.count(m[2]))
            steps.push_back("fsync " + open_files[m[2]]);
        else if (m[1] == "rename")
            steps.push_back("rename " + name + " " + fs::path(m[3].str()).filename().string());
    }
    EXPECT_EQ(steps, (std::vector<std::string>{
                         "fsync page-1.corvane-saving", "rename page-1.corvane-saving page-1",
                         "fsync directory", "fsync index.corvane-saving",
                         "rename index.corvane-saving index", "fsync directory"}));
}

#include "plugins/PluginScan.h"

#include "RecordingPlugin.h"
#include "support/CapturedLog.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A scratch directory holding plugins/, removed afterwards.
class PluginDirectory {
public:
    PluginDirectory() {
        char templ[] = "/tmp/corvane-plugins-XXXXXX";
        root_ = mkdtemp(templ);
        dir_ = root_ + "/plugins/";
    }
    ~PluginDirectory() { fs::remove_all(root_); }

    const std::string& Path() const { return dir_; }
    void Make(const std::string& relative = "") const { fs::create_directories(dir_ + relative); }
    void Write(const std::string& relative, const std::string& bytes = "x") const {
        fs::create_directories(fs::path(dir_ + relative).parent_path());
        std::ofstream(dir_ + relative, std::ios::binary) << bytes;
    }
    // A copy of a library the test build made.
    void Copy(const std::string& library, const std::string& relative) const {
        fs::create_directories(fs::path(dir_ + relative).parent_path());
        fs::copy_file(std::string(TEST_PLUGIN_DIR) + "/" + library, dir_ + relative);
    }

private:
    std::string root_;
    std::string dir_;
};

template <typename Function> Function LoadedSymbol(const std::string& path, const char* name) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    return handle ? reinterpret_cast<Function>(dlsym(handle, name)) : nullptr;
}

} // namespace

TEST(PluginScan, NothingIsListedWithoutAFileAtTheTopLevel) {
    PluginDirectory plugins;
    EXPECT_TRUE(plugins::ListPluginFiles(plugins.Path()).empty());
    plugins.Make("tools");
    plugins.Copy("recording_a.so", "tools/a.so");
    EXPECT_TRUE(plugins::ListPluginFiles(plugins.Path()).empty());
    EXPECT_TRUE(plugins::LoadPlugins(plugins.Path()).empty());
    // A FIFO is no file either: opening it would wait for a writer.
    ASSERT_EQ(mkfifo((plugins.Path() + "fifo.so").c_str(), 0600), 0);
    EXPECT_TRUE(plugins::ListPluginFiles(plugins.Path()).empty());
}

TEST(PluginScan, ListsSubdirectoriesFirstThenFilesByNameHiddenOnesIncluded) {
    PluginDirectory plugins;
    plugins.Write("b.so");
    plugins.Write(".hidden.so");
    plugins.Write("A.txt");
    plugins.Write("zeta/inner/deep.so");
    plugins.Write("zeta/z.so");
    plugins.Write("alpha/a.so");
    ASSERT_EQ(mkfifo((plugins.Path() + "alpha/fifo.so").c_str(), 0600), 0);
    // A link back up would make the walk endless; a link to a file is listed like the file.
    fs::create_directory_symlink("..", plugins.Path() + "zeta/up");
    fs::create_symlink("b.so", plugins.Path() + "link.so");
    const std::string d = plugins.Path();
    EXPECT_EQ(plugins::ListPluginFiles(d),
              (std::vector<std::string>{d + "alpha/a.so", d + "zeta/inner/deep.so", d + "zeta/z.so",
                                        d + ".hidden.so", d + "A.txt", d + "b.so", d + "link.so"}));
}

TEST(PluginScan, LibraryTestAndDerivedLabelFollowThePath) {
    EXPECT_TRUE(plugins::MayBeLibrary("./plugins/upper.so"));
    EXPECT_TRUE(plugins::MayBeLibrary("./plugins/x.so.1"));
    EXPECT_TRUE(plugins::MayBeLibrary("./plugins/x.so.bak"));
    EXPECT_FALSE(plugins::MayBeLibrary("./plugins/X.SO"));
    EXPECT_FALSE(plugins::MayBeLibrary("./plugins/notes.txt"));

    EXPECT_EQ(plugins::DerivedLabel("./plugins/upper.so", "./plugins/"), "upper");
    EXPECT_EQ(plugins::DerivedLabel("./plugins/tools/upper.so", "./plugins/"), "tools/upper");
    EXPECT_EQ(plugins::DerivedLabel("./plugins/x.so.1", "./plugins/"), "x.so");
    EXPECT_EQ(plugins::DerivedLabel("./plugins/caf\xc3\xa9.so", "./plugins/"), L"caf\u00e9");
    // A file's name never takes keys or hides a letter as a mnemonic.
    EXPECT_EQ(plugins::DerivedLabel("./plugins/R&D\tCtrl-Q.so", "./plugins/"), "R&&D Ctrl-Q");
}

TEST(PluginScan, LoadsLibrariesWithTheEntryPointInListingOrder) {
    PluginDirectory plugins;
    plugins.Write("0-readme.txt", "not a library");
    plugins.Copy("recording_a.so", "alpha.so");
    plugins.Copy("recording_b.so", "beta.so");
    plugins.Copy("recording_named.so", "named.so");
    plugins.Copy("recording_a.so", "tools/upper.so");
    plugins.Copy("name_only.so", "name-only.so");
    plugins.Write("broken.so", "this is text, not a library");
    // An empty name cannot label a menu item: the path does.
    plugins.Copy("recording_unnamed.so", "unnamed.so");
    // Loaded as listed, without an extension added to a file that has none.
    plugins.Copy("recording_b.so", "lib.so.d/plain");

    CapturedLog log;
    const std::vector<plugins::LoadedPlugin> loaded = plugins::LoadPlugins(plugins.Path());
    ASSERT_EQ(loaded.size(), 6u);
    EXPECT_EQ(loaded[0].label, "lib.so");
    EXPECT_EQ(loaded[1].label, "tools/upper");
    EXPECT_EQ(loaded[2].label, "alpha");
    EXPECT_EQ(loaded[3].label, "beta");
    EXPECT_EQ(loaded[4].label, "Upper Case\tCtrl-U");
    EXPECT_EQ(loaded[5].label, "unnamed");

    // The file that is not a library was reported through the log, and nothing else was.
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_TRUE(log.messages[0].Contains("broken.so")) << log.messages[0];

    // A library without the entry point is loaded, and its name is never asked for.
    const auto name_calls = LoadedSymbol<int (*)()>(plugins.Path() + "name-only.so", kNameCalls);
    ASSERT_NE(name_calls, nullptr);
    EXPECT_EQ(name_calls(), 0);

    // Each entry point belongs to its own library.
    PluginSnippet snippet{"", "", "", "", "", 0};
    loaded[3].entry("7", snippet);
    const auto count_b =
        LoadedSymbol<RecordedCallCountFunction>(plugins.Path() + "beta.so", kRecordedCallCount);
    const auto count_a =
        LoadedSymbol<RecordedCallCountFunction>(plugins.Path() + "alpha.so", kRecordedCallCount);
    ASSERT_NE(count_b, nullptr);
    ASSERT_NE(count_a, nullptr);
    EXPECT_EQ(count_b(), 1);
    EXPECT_EQ(count_a(), 0);
}

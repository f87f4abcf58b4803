#include "plugins/PluginScan.h"

#include "app/ProcessLifetime.h"
#include "app/TextCodec.h"

#include <wx/dynlib.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

namespace plugins {
namespace {

namespace fs = std::filesystem;

struct Entries {
    std::vector<std::string> directories;
    std::vector<std::string> files;
};

// The subdirectories (not links to them) and regular files of one directory, sorted by name.
Entries ReadDirectory(const std::string& directory) {
    Entries entries;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().native();
        std::error_code type_error;
        if (it->is_symlink(type_error)) {
            if (fs::is_regular_file(it->path(), type_error))
                entries.files.push_back(name);
        } else if (it->is_directory(type_error)) {
            entries.directories.push_back(name);
        } else if (it->is_regular_file(type_error)) {
            entries.files.push_back(name);
        }
    }
    std::sort(entries.directories.begin(), entries.directories.end());
    std::sort(entries.files.begin(), entries.files.end());
    return entries;
}

void ListBelow(const std::string& directory, std::vector<std::string>& paths) {
    const Entries entries = ReadDirectory(directory);
    for (const std::string& name : entries.directories)
        ListBelow(directory + name + "/", paths);
    for (const std::string& name : entries.files)
        paths.push_back(directory + name);
}

template <typename Function> Function Symbol(const wxDynamicLibrary& library, const char* name) {
    if (!library.HasSymbol(name))
        return nullptr;
    return reinterpret_cast<Function>(library.GetSymbol(name));
}

wxString FromPlugin(const char* text) { return text ? text::FromUtf8(text) : wxString(); }

} // namespace

std::vector<std::string> ListPluginFiles(const std::string& directory) {
    std::vector<std::string> paths;
    if (ReadDirectory(directory).files.empty())
        return paths;
    ListBelow(directory, paths);
    return paths;
}

bool MayBeLibrary(std::string_view path) { return path.find(".so") != std::string_view::npos; }

wxString DerivedLabel(std::string_view path, std::string_view directory) {
    if (path.substr(0, directory.size()) == directory)
        path.remove_prefix(directory.size());
    const size_t dot = path.rfind('.');
    if (dot != std::string_view::npos)
        path = path.substr(0, dot);
    // The label becomes a menu item's: a tab there would start an accelerator and "&" would mark
    // a mnemonic, so a file's name shows as it is and never takes keys.
    wxString label;
    for (const wxUniChar c : text::FromUtf8(path)) {
        if (c == '&')
            label += "&&";
        else if (c < 0x20 || c == 0x7F)
            label += ' ';
        else
            label += c;
    }
    return label;
}

std::vector<LoadedPlugin> LoadPlugins(const std::string& directory) {
    std::vector<LoadedPlugin> loaded;
    for (const std::string& path : ListPluginFiles(directory)) {
        if (!MayBeLibrary(path))
            continue;
        auto library = std::make_unique<wxDynamicLibrary>();
        // Verbatim: the listed file itself, without the toolkit adding an extension to it.
        if (!library->Load(text::FromPathBytes(path), wxDL_NOW | wxDL_VERBATIM))
            continue;
        const wxDynamicLibrary& kept = *ProcessLifetime::Keep(std::move(library));
        const auto entry = Symbol<CorvanePluginMainFunction>(kept, CORVANE_PLUGIN_MAIN_EXPORT);
        if (entry == nullptr)
            continue;

        LoadedPlugin plugin;
        plugin.entry = entry;
        if (const auto name = Symbol<CorvanePluginNameFunction>(kept, CORVANE_PLUGIN_NAME_EXPORT))
            plugin.label = FromPlugin(name());
        // A menu item cannot have an empty label.
        if (plugin.label.empty())
            plugin.label = DerivedLabel(path, directory);
        if (const auto shortcut =
                Symbol<CorvaneKeyboardShortcutFunction>(kept, CORVANE_PLUGIN_SHORTCUT_EXPORT)) {
            const wxString accelerator = FromPlugin(shortcut());
            if (!accelerator.empty())
                plugin.label += "\t" + accelerator;
        }
        loaded.push_back(plugin);
    }
    return loaded;
}

} // namespace plugins

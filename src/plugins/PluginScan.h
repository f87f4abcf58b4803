#pragma once

#include "corvane_plugin.h"

#include <wx/string.h>

#include <string>
#include <string_view>
#include <vector>

// Finding and loading the plug-in libraries below the plug-in directory.
namespace plugins {

// Where the program looks for plug-ins, relative to the working directory.
constexpr const char* kDirectory = "./plugins/";

// Every file below `directory` (which ends with a separator), recursively and hidden ones
// included, as paths that begin with `directory`. In each directory its subdirectories come first,
// then its own files, each group in byte order of the names. Empty when the directory does not
// exist or holds no file at its top level. Only regular files count (a FIFO would block the
// loader), and links to directories are not followed (a link back up would never end).
std::vector<std::string> ListPluginFiles(const std::string& directory);

// True for a listed path that is tried as a library: one that contains ".so" anywhere
// (case-sensitive, so "x.so.1" is tried and "X.SO" is not).
bool MayBeLibrary(std::string_view path);

// The menu label of a plug-in without a name of its own: its path below `directory` up to the
// last dot ("tools/upper" for "./plugins/tools/upper.so"), shown as it is: "&" doubled and
// control characters (a tab would start an accelerator) turned into blanks.
wxString DerivedLabel(std::string_view path, std::string_view directory);

// One plug-in command: the entry point and the menu label, a tab and the accelerator included.
struct LoadedPlugin {
    CorvanePluginMainFunction entry = nullptr;
    wxString label;
};

// Loads every library below `directory` that exports the entry point, in listing order, asking
// each for its name and accelerator. Libraries stay loaded until the process ends, those without
// the entry point too. A library that fails to load is reported through the toolkit's log.
std::vector<LoadedPlugin> LoadPlugins(const std::string& directory = kDirectory);

} // namespace plugins

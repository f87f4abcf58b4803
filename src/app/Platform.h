#pragma once

#include <wx/string.h>

#include <string>

// Everything that differs between operating systems, in one place.
namespace platform {

// Sent to the update service and part of the version text: "linux" here, "win" on Windows.
const char* Tag();

// The version this program reports: "2.1.1a-" followed by the platform tag.
wxString VersionText();

// A path as the file system takes it: UTF-8, with names that were not UTF-8 restored byte for
// byte (see text::ToPathBytes). Empty when the path cannot be encoded.
std::string FileSystemPath(const wxString& path);

// The HTTP helper program, corvane-http: CORVANE_HTTP_HELPER when set (the tests' programs live
// elsewhere), else the one beside this program's executable.
std::string HttpHelperPath();

// Has large memory blocks (whole texts, query results, their conversions) mapped on their own, so
// that freeing one gives its memory back to the system. Call once, at start.
void ReturnLargeBlocksWhenFreed();

// Creates one directory level; false when it could not be created (it may already exist).
bool MakeDirectory(const wxString& path);
// Removes a directory only when it is empty; false otherwise.
bool RemoveDirectory(const wxString& path);

// Removes a file, or a directory when it is empty; false with the system's reason otherwise.
bool RemoveFileOrEmptyDirectory(const wxString& path, wxString* error);

// The command that opens the desktop's terminal: x-terminal-emulator where it exists, else xterm;
// empty when neither is installed.
wxString TerminalCommand();

} // namespace platform

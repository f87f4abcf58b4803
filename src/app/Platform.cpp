#include "app/Platform.h"

#include "app/TextCodec.h"

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace platform {

const char* Tag() { return "linux"; }

wxString VersionText() { return wxString("2.1.1a-") + Tag(); }

std::string FileSystemPath(const wxString& path) { return text::ToPathBytes(path); }

std::string HttpHelperPath() {
    if (const char* helper = std::getenv("CORVANE_HTTP_HELPER"); helper != nullptr && *helper)
        return helper;
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return std::string();
    std::string path(self, static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1) + "corvane-http";
}

void ReturnLargeBlocksWhenFreed() {
    // glibc maps blocks from 128 KB up on their own, but raises that bound to the size of each
    // such block freed, up to 32 MB: after the first file is closed, later texts of that size come
    // from the heap, and the holes they leave there stay resident in an idle program. A fixed
    // bound keeps it at 128 KB.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

bool MakeDirectory(const wxString& path) {
    const std::string native = FileSystemPath(path);
    return !native.empty() && ::mkdir(native.c_str(), 0777) == 0;
}

bool RemoveDirectory(const wxString& path) {
    const std::string native = FileSystemPath(path);
    return !native.empty() && ::rmdir(native.c_str()) == 0;
}

bool RemoveFileOrEmptyDirectory(const wxString& path, wxString* error) {
    const std::string native = FileSystemPath(path);
    int result = native.empty() ? -1 : ::unlink(native.c_str());
    if (result != 0 && errno == EISDIR)
        result = ::rmdir(native.c_str());
    if (result != 0 && error != nullptr)
        *error = wxString::FromUTF8(native.empty() ? "invalid file name" : std::strerror(errno));
    return result == 0;
}

namespace {

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return false;
    std::istringstream dirs(path);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

} // namespace

wxString TerminalCommand() {
    for (const char* program : {"x-terminal-emulator", "xterm"}) {
        if (OnPath(program))
            return program;
    }
    return wxString();
}

} // namespace platform

#include "storage/LocalStore.h"

#include "app/Platform.h"
#include "app/TextCodec.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace local_store {

wxString WithSeparator(const wxString& path) {
    if (path.EndsWith("/") || path.EndsWith("\\"))
        return path;
    return path + "/";
}

wxString LanguageDirectory(const wxString& language) { return WithSeparator(kRoot + language); }

wxString PathFromNames(const std::vector<wxString>& names) {
    // Joined as "/Local/Ruby/hello", the text after the first "/" is taken twice, dropping the
    // empty first component and "Local".
    wxString joined;
    for (const wxString& name : names)
        joined += "/" + name;
    const wxString relative = joined.AfterFirst('/').AfterFirst('/');
    return kRoot + relative;
}

wxString LanguageFromNames(const std::vector<wxString>& names) {
    wxString joined;
    for (const wxString& name : names)
        joined += "/" + name;
    return joined.AfterFirst('/').AfterFirst('/').BeforeFirst('/');
}

namespace {
struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};
} // namespace

std::optional<std::vector<Entry>> ListDirectory(const wxString& directory) {
    const std::string native = platform::FileSystemPath(directory);
    std::unique_ptr<DIR, DirCloser> dir(native.empty() ? nullptr : ::opendir(native.c_str()));
    if (!dir)
        return std::nullopt;
    std::vector<Entry> entries;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view bytes(entry->d_name);
        if (bytes == "." || bytes == "..")
            continue;
        entries.push_back(Entry{text::FromPathBytes(bytes), text::FromUtf8(bytes),
                                entry->d_type != DT_REG});
    }
    return entries;
}

std::optional<wxString> ReadText(const wxString& path) {
    const std::string native = platform::FileSystemPath(path);
    FdCloser file{native.empty() ? -1 : ::open(native.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt; // a directory, or a read error
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return text::FromUtf8(bytes);
}

bool WriteText(const wxString& path, const wxString& text, wxString* error) {
    auto fail = [&](const wxString& why) {
        if (error)
            *error = why;
        return false;
    };
    const std::string native = platform::FileSystemPath(path);
    if (native.empty())
        return fail("the file name cannot be used on this system");
    const std::optional<std::string> bytes = text::ToUtf8(text);
    if (!bytes)
        return fail("the text holds characters that cannot be stored");

    // The temporary file lives beside the target so that the final rename stays on one file system.
    const std::string temporary = native + ".corvane-saving";
    bool written = false;
    int saved_errno = 0;
    {
        FdCloser file{::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)};
        if (file.fd < 0)
            return fail(wxString::FromUTF8(std::strerror(errno)));
        const char* data = bytes->data();
        size_t left = bytes->size();
        written = true;
        while (left > 0) {
            const ssize_t put = ::write(file.fd, data, left);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                written = false;
                saved_errno = put < 0 ? errno : ENOSPC;
                break;
            }
            data += put;
            left -= static_cast<size_t>(put);
        }
        if (written && ::fsync(file.fd) != 0) {
            written = false;
            saved_errno = errno;
        }
    }
    if (written && ::rename(temporary.c_str(), native.c_str()) != 0) {
        written = false;
        saved_errno = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return fail(wxString::FromUTF8(std::strerror(saved_errno)));
    }
    return true;
}

} // namespace local_store

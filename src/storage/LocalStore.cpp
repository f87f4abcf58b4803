#include "storage/LocalStore.h"

#include "app/Platform.h"
#include "app/TextCodec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace local_store {

wxString WithSeparator(const wxString& path) {
    if (path.EndsWith("/") || path.EndsWith("\\"))
        return path;
    return path + "/";
}

wxString LanguageDirectory(const wxString& language) { return WithSeparator(kRoot + language); }

namespace {

// The names below "Local": joined as "/Local/Ruby/hello", the text after the first "/" taken
// twice, dropping the empty first component and "Local".
wxString RelativeToStore(const std::vector<wxString>& names) {
    wxString joined;
    for (const wxString& name : names)
        joined += "/" + name;
    return joined.AfterFirst('/').AfterFirst('/');
}

} // namespace

wxString PathFromNames(const std::vector<wxString>& names) {
    return kRoot + RelativeToStore(names);
}

wxString LanguageFromNames(const std::vector<wxString>& names) {
    return RelativeToStore(names).BeforeFirst('/');
}

namespace {
struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};
} // namespace

bool IsSpecialFile(const wxString& path) {
    const std::string native = platform::FileSystemPath(path);
    struct stat status;
    return !native.empty() && ::stat(native.c_str(), &status) == 0 && !S_ISREG(status.st_mode) &&
           !S_ISDIR(status.st_mode);
}

std::optional<std::string> Encode(const wxString& text, Encoding encoding) {
    return encoding == Encoding::Utf8 ? text::ToUtf8(text) : text::ToLatin1(text);
}

std::optional<FileText> ReadFile(const wxString& path) {
    const std::string native = platform::FileSystemPath(path);
    // Not blocking: opening a pipe would otherwise wait for a writer. Anything but a regular file
    // is refused before a byte is read.
    FdCloser file{native.empty() ? -1 : ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat status;
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    if (text::IsValidUtf8(bytes))
        return FileText{text::FromUtf8(bytes), Encoding::Utf8};
    return FileText{text::FromLatin1(bytes), Encoding::Latin1};
}

std::optional<wxString> ReadText(const wxString& path) {
    std::optional<FileText> file = ReadFile(path);
    if (!file)
        return std::nullopt;
    return file->text;
}

bool WriteText(const wxString& path, const wxString& text, wxString* error) {
    return WriteText(path, text, Encoding::Utf8, error);
}

namespace {

// Where a file is written before it replaces `target`: beside it (one file system for the rename),
// named after it with ".corvane-saving" added. A name near the longest the directory takes is cut
// first, at a character's start, so that every name the file system takes can be saved; the
// result is never the target's own name.
std::string TemporaryPath(const std::string& directory, const std::string& name) {
    static const std::string kSuffix = ".corvane-saving";
    const long longest = ::pathconf(directory.c_str(), _PC_NAME_MAX);
    const size_t name_max = longest > 0 ? static_cast<size_t>(longest) : NAME_MAX;
    std::string temporary = name + kSuffix;
    if (temporary.size() > name_max) {
        // Shorter than the name, since the name and the suffix together are too long.
        size_t keep = name_max > kSuffix.size() ? name_max - kSuffix.size() : 0;
        for (;;) {
            while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
                --keep;
            temporary = name.substr(0, keep) + kSuffix;
            // A name that itself ends in the suffix would be written over in place.
            if (temporary != name || keep == 0)
                break;
            --keep;
        }
    }
    return directory + "/" + temporary;
}

// Makes a rename in the directory last through a power cut. A failure here is not reported: the
// new text is in place already.
void SyncDirectory(const std::string& directory) {
    FdCloser dir{::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd >= 0)
        ::fsync(dir.fd);
}

} // namespace

bool WriteText(const wxString& path, const wxString& text, Encoding encoding, wxString* error) {
    auto fail = [&](const wxString& why) {
        if (error)
            *error = why;
        return false;
    };
    const std::string native = platform::FileSystemPath(path);
    if (native.empty())
        return fail("the file name cannot be used on this system");
    const std::optional<std::string> bytes = Encode(text, encoding);
    if (!bytes)
        return fail("the text holds characters that cannot be stored");

    // Saving through a link writes the file it points to, and an existing file keeps its
    // permissions. The temporary file lives beside the target so the final rename stays on one
    // file system.
    std::string target = native;
    if (char* resolved = ::realpath(native.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    struct stat existing;
    const bool keep_mode = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    const size_t slash = target.rfind('/');
    const std::string directory = slash == std::string::npos ? "."
                                  : slash == 0               ? "/"
                                                             : target.substr(0, slash);
    const std::string temporary =
        TemporaryPath(directory, slash == std::string::npos ? target : target.substr(slash + 1));
    bool written = false;
    int saved_errno = 0;
    {
        FdCloser file{::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)};
        if (file.fd < 0)
            return fail(wxString::FromUTF8(std::strerror(errno)));
        if (keep_mode)
            ::fchmod(file.fd, existing.st_mode & 07777);
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
    if (written && ::rename(temporary.c_str(), target.c_str()) != 0) {
        written = false;
        saved_errno = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return fail(wxString::FromUTF8(std::strerror(saved_errno)));
    }
    SyncDirectory(directory);
    return true;
}

} // namespace local_store

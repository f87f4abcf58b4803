#include "storage/LocalStore.h"

#include "app/FdCloser.h"
#include "app/Platform.h"
#include "app/TextCodec.h"

#include <wx/filename.h>

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

// For a file whose absolute directories are `dirs`: the first directory below `base`, empty for
// a file directly in `base`, nothing for a file outside it.
std::optional<wxString> DirectoryBelow(const wxArrayString& dirs, const char* base) {
    wxFileName top = wxFileName::DirName(base);
    top.MakeAbsolute();
    const wxArrayString& above = top.GetDirs();
    if (dirs.size() < above.size() || !std::equal(above.begin(), above.end(), dirs.begin()))
        return std::nullopt;
    return dirs.size() > above.size() ? dirs[above.size()] : wxString();
}

} // namespace

wxString PathFromNames(const std::vector<wxString>& names) {
    return kRoot + RelativeToStore(names);
}

wxString LanguageFromNames(const std::vector<wxString>& names) {
    return RelativeToStore(names).BeforeFirst('/');
}

wxString LanguageOfPath(const wxString& path) {
    wxFileName file(path);
    file.MakeAbsolute();
    // A download keeps its language one level deeper: ./snippets/downloads/<language>/.
    if (const std::optional<wxString> downloaded = DirectoryBelow(file.GetDirs(), kDownloads))
        return *downloaded;
    return DirectoryBelow(file.GetDirs(), kRoot).value_or(wxString());
}

namespace {
long long ModifiedNs(const struct stat& status) {
    return static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec;
}
} // namespace

bool IsSpecialFile(const wxString& path) {
    const std::string native = platform::FileSystemPath(path);
    struct stat status;
    return !native.empty() && ::stat(native.c_str(), &status) == 0 && !S_ISREG(status.st_mode) &&
           !S_ISDIR(status.st_mode);
}

unsigned long long Fingerprint(std::string_view bytes) {
    // Four independent lanes of eight bytes each keep the processor busy: about ten times the speed
    // of a byte-at-a-time hash, which matters for pages of many megabytes read at start-up.
    using u64 = unsigned long long;
    constexpr u64 kPrime1 = 0x9E3779B185EBCA87ULL;
    constexpr u64 kPrime2 = 0xC2B2AE3D27D4EB4FULL;
    constexpr u64 kPrime3 = 0x165667B19E3779F9ULL;
    const auto rotate = [](u64 value, int by) { return (value << by) | (value >> (64 - by)); };
    const auto mix = [&](u64 lane, u64 word) {
        return rotate(lane + word * kPrime2, 31) * kPrime1;
    };
    const auto word_at = [](const char* at) {
        u64 word;
        std::memcpy(&word, at, sizeof word);
        return word;
    };
    const char* at = bytes.data();
    size_t left = bytes.size();
    u64 lanes[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
    for (; left >= 32; at += 32, left -= 32) {
        for (int k = 0; k < 4; ++k)
            lanes[k] = mix(lanes[k], word_at(at + 8 * k));
    }
    u64 hash = rotate(lanes[0], 1) + rotate(lanes[1], 7) + rotate(lanes[2], 12) +
               rotate(lanes[3], 18) + bytes.size();
    for (; left >= 8; at += 8, left -= 8)
        hash = rotate(hash ^ mix(0, word_at(at)), 27) * kPrime1 + kPrime3;
    for (; left > 0; ++at, --left)
        hash = rotate(hash ^ (static_cast<unsigned char>(*at) * kPrime3), 11) * kPrime1;
    hash ^= hash >> 33;
    hash *= kPrime2;
    hash ^= hash >> 29;
    hash *= kPrime3;
    return hash ^ (hash >> 32);
}

std::optional<std::string> Encode(const wxString& text, Encoding encoding) {
    return encoding == Encoding::Utf8 ? text::ToUtf8(text) : text::ToLatin1(text);
}

namespace {

// The bytes of a regular file and its status; nothing for anything else or on a read error.
std::optional<std::string> ReadRegularFile(const wxString& path, struct stat& status) {
    const std::string native = platform::FileSystemPath(path);
    // Not blocking: opening a pipe would otherwise wait for a writer. Anything but a regular file
    // is refused before a byte is read.
    FdCloser file{native.empty() ? -1 : ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
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
    return bytes;
}

} // namespace

std::optional<std::string> ReadBytes(const wxString& path) {
    struct stat status;
    return ReadRegularFile(path, status);
}

std::optional<FileText> ReadFile(const wxString& path) {
    struct stat status;
    const std::optional<std::string> read = ReadRegularFile(path, status);
    if (!read)
        return std::nullopt;
    const std::string& bytes = *read;
    const FileStamp stamp{bytes.size(), ModifiedNs(status), Fingerprint(bytes)};
    if (text::IsValidUtf8(bytes))
        return FileText{text::FromUtf8(bytes), Encoding::Utf8, stamp};
    return FileText{text::FromLatin1(bytes), Encoding::Latin1, stamp};
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
// named after it with `suffix` added. A name near the longest the directory takes is cut first, at
// a character's start, so that every name the file system takes can be saved; the result is never
// the target's own name.
std::string TemporaryPath(const std::string& directory, const std::string& name,
                          const std::string& suffix) {
    const long longest = ::pathconf(directory.c_str(), _PC_NAME_MAX);
    const size_t name_max = longest > 0 ? static_cast<size_t>(longest) : NAME_MAX;
    std::string temporary = name + suffix;
    if (temporary.size() > name_max) {
        // Shorter than the name, since the name and the suffix together are too long.
        size_t keep = name_max > suffix.size() ? name_max - suffix.size() : 0;
        for (;;) {
            while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
                --keep;
            temporary = name.substr(0, keep) + suffix;
            // A name that itself ends in the suffix would be written over in place.
            if (temporary != name || keep == 0)
                break;
            --keep;
        }
    }
    return directory + "/" + temporary;
}

// Creates the temporary file as a new file of its own. Whatever already has its name (a leftover
// of a save that was cut off, a link planted there, a pipe that would block the open, a snippet
// that happens to be called so) is left alone and another name is tried.
FdCloser CreateTemporary(const std::string& directory, const std::string& name,
                         std::string& temporary) {
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string suffix =
            ".corvane-saving" + (attempt == 0 ? std::string() : "-" + std::to_string(attempt));
        temporary = TemporaryPath(directory, name, suffix);
        FdCloser file{
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666)};
        if (file.fd >= 0 || errno != EEXIST)
            return file;
    }
    return FdCloser{-1};
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
    const std::optional<std::string> bytes = Encode(text, encoding);
    if (!bytes) {
        if (error)
            *error = "the text holds characters that cannot be stored";
        return false;
    }
    return WriteBytes(path, *bytes, error);
}

bool WriteBytes(const wxString& path, std::string_view bytes, wxString* error) {
    auto fail = [&](const wxString& why) {
        if (error)
            *error = why;
        return false;
    };
    const std::string native = platform::FileSystemPath(path);
    if (native.empty())
        return fail("the file name cannot be used on this system");

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
    std::string temporary;
    bool written = false;
    int saved_errno = 0;
    {
        FdCloser file = CreateTemporary(
            directory, slash == std::string::npos ? target : target.substr(slash + 1), temporary);
        if (file.fd < 0)
            return fail(wxString::FromUTF8(std::strerror(errno)));
        if (keep_mode)
            ::fchmod(file.fd, existing.st_mode & 07777);
        const char* data = bytes.data();
        size_t left = bytes.size();
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

std::optional<FileStamp> StampWritten(const wxString& path, std::string_view bytes) {
    const std::string native = platform::FileSystemPath(path);
    struct stat status;
    if (native.empty() || ::stat(native.c_str(), &status) != 0)
        return std::nullopt;
    return FileStamp{static_cast<unsigned long long>(status.st_size), ModifiedNs(status),
                     Fingerprint(bytes)};
}

bool ChangedSince(const wxString& path, const FileStamp& stamp) {
    const std::string native = platform::FileSystemPath(path);
    struct stat status;
    if (native.empty() || ::stat(native.c_str(), &status) != 0)
        return errno != ENOENT;
    if (static_cast<unsigned long long>(status.st_size) == stamp.size &&
        ModifiedNs(status) == stamp.modified_ns)
        return false;
    // Touched, or rewritten: only different bytes count as a change. A file that cannot be read
    // any more cannot be shown to be unchanged.
    const std::optional<FileText> now = ReadFile(path);
    return !now || now->stamp.fingerprint != stamp.fingerprint;
}

} // namespace local_store

#include "storage/RecoveryStore.h"

#include "app/TextCodec.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <type_traits>
#include <utility>

namespace recovery {

namespace {

constexpr std::string_view kRecordMagic = "corvane-recovery-page 1";
constexpr std::string_view kIndexMagic = "corvane-recovery-index 1";
constexpr std::string_view kEntryPrefix = "page-";
constexpr std::string_view kCopyPrefix = "copy-";
constexpr std::string_view kTemporarySuffix = ".corvane-saving";

// The name of a temporary file of the safe write: ".corvane-saving", or ".corvane-saving-N" when
// that name was taken, at its end.
bool IsTemporaryName(std::string_view name) {
    const size_t at = name.rfind(kTemporarySuffix);
    if (at == std::string_view::npos)
        return false;
    const std::string_view rest = name.substr(at + kTemporarySuffix.size());
    return rest.empty() || (rest.size() > 1 && rest[0] == '-' &&
                            rest.find_first_not_of("0123456789", 1) == std::string_view::npos);
}

// Header values stand one a line: backslashes and line breaks are escaped. Texts are stored as
// path bytes, which keep every character a caption or a path can hold.
std::string Escape(const wxString& value) {
    std::string escaped;
    for (const char c : text::ToPathBytes(value)) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

std::optional<wxString> Unescape(std::string_view value) {
    std::string bytes;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            bytes += value[i];
            continue;
        }
        if (++i == value.size() || (value[i] != '\\' && value[i] != 'n'))
            return std::nullopt;
        bytes += value[i] == 'n' ? '\n' : '\\';
    }
    return text::FromPathBytes(bytes);
}

template <typename Number> std::optional<Number> ParseNumber(std::string_view value) {
    if (value.empty() || value.size() > 20)
        return std::nullopt;
    const bool negative = value[0] == '-';
    if (negative)
        value.remove_prefix(1);
    unsigned long long number = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return negative ? static_cast<Number>(0 - number) : static_cast<Number>(number);
}

// "key value" lines up to the first empty line; nothing when a line has no blank.
std::optional<std::map<std::string, std::string>> HeaderLines(std::string_view header) {
    std::map<std::string, std::string> lines;
    while (!header.empty()) {
        const size_t end = header.find('\n');
        const std::string_view line = header.substr(0, end);
        const size_t blank = line.find(' ');
        if (blank == std::string_view::npos)
            return std::nullopt;
        lines[std::string(line.substr(0, blank))] = std::string(line.substr(blank + 1));
        header.remove_prefix(end == std::string_view::npos ? header.size() : end + 1);
    }
    return lines;
}

std::optional<EntryId> EntryIdOf(std::string_view name) {
    if (name.substr(0, kEntryPrefix.size()) != kEntryPrefix)
        return std::nullopt;
    name.remove_prefix(kEntryPrefix.size());
    // Only the names this store makes: no sign, no leading zero.
    if (name.empty() || name[0] == '0' || name[0] == '-')
        return std::nullopt;
    return ParseNumber<EntryId>(name);
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::optional<std::string> ReadWhole(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat status;
    std::optional<std::string> bytes;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        bytes.emplace();
        bytes->resize(static_cast<size_t>(status.st_size));
        size_t got = 0;
        for (;;) {
            if (got == bytes->size())
                bytes->resize(got + 65536);
            const ssize_t n = ::read(fd, bytes->data() + got, bytes->size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                bytes.reset();
                break;
            }
            if (n == 0) {
                bytes->resize(got);
                break;
            }
            got += static_cast<size_t>(n);
        }
    }
    ::close(fd);
    return bytes;
}

wxString PathText(const std::string& native) { return text::FromPathBytes(native); }

// Holds the place's lock: an open file locked with flock, which the system lets go when the
// program ends, however it ends. -1 (errno set) when the file cannot be opened or is locked.
int LockPlace(const std::string& place, bool create) {
    const std::string path = place + "/lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

void SyncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A record's header: the record without its text, and what its text must be.
struct Header {
    PageRecord record;
    size_t size = 0; // of the header, the empty line after it included
    unsigned long long text_bytes = 0;
    unsigned long long text_fingerprint = 0;
};

// The header at the start of `bytes`; nothing when there is no whole, well-formed one.
std::optional<Header> ParseHeader(std::string_view bytes) {
    const size_t start = kRecordMagic.size() + 1;
    const size_t header_end = bytes.find("\n\n");
    if (header_end == std::string_view::npos || header_end < start ||
        bytes.substr(0, start) != std::string(kRecordMagic) + "\n")
        return std::nullopt;
    const auto lines = HeaderLines(bytes.substr(start, header_end - start));
    if (!lines)
        return std::nullopt;
    const auto field = [&lines](const char* key) -> const std::string* {
        const auto found = lines->find(key);
        return found == lines->end() ? nullptr : &found->second;
    };
    const auto text_field = [&](const char* key, wxString& into) {
        const std::string* value = field(key);
        std::optional<wxString> unescaped = value ? Unescape(*value) : std::nullopt;
        if (unescaped)
            into = std::move(*unescaped);
        return unescaped.has_value();
    };
    const auto number_field = [&](const char* key, auto& into) {
        const std::string* value = field(key);
        const auto number =
            value ? ParseNumber<std::decay_t<decltype(into)>>(*value) : std::nullopt;
        if (number)
            into = *number;
        return number.has_value();
    };

    Header header;
    PageRecord& record = header.record;
    const std::string* owner = field("owner");
    if (owner == nullptr)
        return std::nullopt;
    if (*owner != "-") {
        record.owner = Unescape(*owner);
        if (!record.owner)
            return std::nullopt;
    }
    const std::string* encoding = field("encoding");
    const std::string* read_only = field("read-only");
    if (!text_field("caption", record.caption) || !text_field("kind", record.kind) ||
        !text_field("path", record.path) || !text_field("sid", record.sid) ||
        !text_field("title", record.title) || !text_field("language", record.language) ||
        !text_field("colouring", record.colouring) || !number_field("caret", record.caret) ||
        !number_field("anchor", record.anchor) ||
        !number_field("binding-size", record.baseline.size) ||
        !number_field("binding-time", record.baseline.modified_ns) ||
        !number_field("binding-fingerprint", record.baseline.fingerprint) ||
        !number_field("text-bytes", header.text_bytes) ||
        !number_field("text-fingerprint", header.text_fingerprint) || encoding == nullptr ||
        (*encoding != "utf-8" && *encoding != "latin-1") || read_only == nullptr ||
        (*read_only != "0" && *read_only != "1"))
        return std::nullopt;
    record.encoding =
        *encoding == "latin-1" ? local_store::Encoding::Latin1 : local_store::Encoding::Utf8;
    record.read_only = *read_only == "1";
    header.size = header_end + 2;
    return header;
}

// The record of an entry file without its text, which is read when the page is first shown:
// nothing when the header is not whole or the file is not as long as it says.
std::optional<PageRecord> ReadHeader(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat status;
    std::optional<Header> header;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        std::string bytes;
        size_t want = 4096;
        for (;;) {
            const size_t had = bytes.size();
            bytes.resize(want);
            ssize_t got;
            while ((got = ::read(fd, bytes.data() + had, want - had)) < 0 && errno == EINTR) {
            }
            bytes.resize(had + static_cast<size_t>(std::max<ssize_t>(got, 0)));
            header = ParseHeader(bytes);
            if (header || got <= 0 || bytes.find("\n\n") != std::string::npos)
                break;
            want *= 2;
        }
        if (header &&
            static_cast<unsigned long long>(status.st_size) != header->size + header->text_bytes)
            header.reset();
    }
    ::close(fd);
    if (!header)
        return std::nullopt;
    return std::move(header->record);
}

// What one place holds: its entries, its index, and (in the root) the places of further copies.
struct PlaceContents {
    std::set<EntryId> entries;
    std::vector<std::string> copies;
    std::optional<std::string> index_bytes;
};

PlaceContents Scan(const std::string& place) {
    PlaceContents contents;
    DIR* dir = ::opendir(place.c_str());
    if (dir == nullptr)
        return contents;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (const std::optional<EntryId> id = EntryIdOf(name))
            contents.entries.insert(*id);
        else if (IsTemporaryName(name))
            // A write that a crash or a power cut cut short; the entry it was replacing is whole.
            ::unlink((place + "/" + std::string(name)).c_str());
        else if (name.substr(0, kCopyPrefix.size()) == kCopyPrefix)
            contents.copies.emplace_back(name);
    }
    ::closedir(dir);
    contents.index_bytes = ReadWhole(place + "/index");
    return contents;
}

// Moves an unreadable file into damaged/ under a name of its own, so that nothing is lost.
void SetAside(const std::string& root, const std::string& path, const std::string& name) {
    const std::string damaged = root + "/damaged";
    ::mkdir(damaged.c_str(), 0700);
    const std::string stem = damaged + "/" + name + "-" + std::to_string(std::time(nullptr));
    std::string target = stem;
    for (int n = 2; ::access(target.c_str(), F_OK) == 0; ++n)
        target = stem + "-" + std::to_string(n);
    ::rename(path.c_str(), target.c_str());
}

// The pages a place holds: its index's order, then entries the index does not know (written just
// before a crash) by number; unreadable entries and an unreadable index are set aside.
struct PlacePages {
    std::vector<Store::Restored> open;
    std::vector<EntryId> closed;
    EntryId selected = 0;
    EntryId highest = 0;
    size_t set_aside = 0;
    std::optional<Index> on_disk; // the index as read, when there was a whole one
};

PlacePages LoadPlace(const std::string& root, const std::string& place) {
    PlaceContents contents = Scan(place);
    PlacePages pages;
    Index index;
    if (contents.index_bytes) {
        if (std::optional<Index> decoded = DecodeIndex(*contents.index_bytes)) {
            index = *decoded;
            pages.on_disk = std::move(decoded);
        } else {
            SetAside(root, place + "/index", "index");
            ++pages.set_aside;
        }
    }
    std::set<EntryId> placed;
    std::vector<EntryId> open;
    for (const EntryId id : index.open) {
        if (contents.entries.count(id) && placed.insert(id).second)
            open.push_back(id);
    }
    for (const EntryId id : index.closed) {
        if (contents.entries.count(id) && placed.insert(id).second)
            pages.closed.push_back(id);
    }
    for (const EntryId id : contents.entries) {
        if (placed.insert(id).second)
            open.push_back(id);
    }
    for (const EntryId id : open) {
        const std::string path = place + "/" + std::string(kEntryPrefix) + std::to_string(id);
        std::optional<PageRecord> record = ReadHeader(path);
        if (!record) {
            SetAside(root, path, std::string(kEntryPrefix) + std::to_string(id));
            ++pages.set_aside;
            continue;
        }
        pages.open.push_back({id, std::move(*record)});
    }
    pages.selected = index.selected;
    if (!contents.entries.empty())
        pages.highest = *contents.entries.rbegin();
    return pages;
}

} // namespace

std::string EncodeRecord(const PageRecord& record) {
    std::string bytes(kRecordMagic);
    const auto line = [&bytes](const char* key, const std::string& value) {
        bytes += '\n';
        bytes += key;
        bytes += ' ';
        bytes += value;
    };
    line("caption", Escape(record.caption));
    line("kind", Escape(record.kind));
    line("path", Escape(record.path));
    line("sid", Escape(record.sid));
    // "-" cannot be an id: another user's row.
    line("owner", record.owner ? Escape(*record.owner) : "-");
    line("title", Escape(record.title));
    line("language", Escape(record.language));
    line("colouring", Escape(record.colouring));
    line("encoding", record.encoding == local_store::Encoding::Latin1 ? "latin-1" : "utf-8");
    line("read-only", record.read_only ? "1" : "0");
    line("caret", std::to_string(record.caret));
    line("anchor", std::to_string(record.anchor));
    line("binding-size", std::to_string(record.baseline.size));
    line("binding-time", std::to_string(record.baseline.modified_ns));
    line("binding-fingerprint", std::to_string(record.baseline.fingerprint));
    line("text-bytes", std::to_string(record.text.size()));
    line("text-fingerprint", std::to_string(local_store::Fingerprint(record.text)));
    bytes += "\n\n";
    bytes.reserve(bytes.size() + record.text.size());
    bytes += record.text;
    return bytes;
}

std::optional<PageRecord> DecodeRecord(std::string bytes) {
    std::optional<Header> header = ParseHeader(bytes);
    if (!header)
        return std::nullopt;
    // A cut-short or damaged text never passes for the page's.
    bytes.erase(0, header->size);
    if (bytes.size() != header->text_bytes ||
        local_store::Fingerprint(bytes) != header->text_fingerprint)
        return std::nullopt;
    PageRecord record = std::move(header->record);
    record.text = std::move(bytes);
    return record;
}

std::string EncodeIndex(const Index& index) {
    std::string bytes(kIndexMagic);
    bytes += "\nselected " + std::to_string(index.selected);
    for (const EntryId id : index.open)
        bytes += "\nopen " + std::to_string(id);
    for (const EntryId id : index.closed)
        bytes += "\nclosed " + std::to_string(id);
    // Marks the index as whole: one cut short ends before it.
    bytes += "\nend\n";
    return bytes;
}

std::optional<Index> DecodeIndex(std::string_view bytes) {
    if (bytes.substr(0, kIndexMagic.size() + 1) != std::string(kIndexMagic) + "\n")
        return std::nullopt;
    bytes.remove_prefix(kIndexMagic.size() + 1);
    if (!EndsWith(bytes, "end\n"))
        return std::nullopt;
    bytes.remove_suffix(4);
    Index index;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        const std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        const size_t blank = line.find(' ');
        const std::optional<EntryId> id = blank == std::string_view::npos
                                              ? std::nullopt
                                              : ParseNumber<EntryId>(line.substr(blank + 1));
        if (!id)
            return std::nullopt;
        const std::string_view key = line.substr(0, blank);
        if (key == "selected")
            index.selected = *id;
        else if (key == "open")
            index.open.push_back(*id);
        else if (key == "closed")
            index.closed.push_back(*id);
        else
            return std::nullopt;
    }
    return index;
}

unsigned long long ContentFingerprint(const wxString& content) {
    return local_store::Fingerprint(text::ToUtf8(content).value_or(std::string()));
}

Store::Opened Store::Open(const wxString& directory) {
    Opened opened;
    const std::string root = text::ToPathBytes(directory);
    if (root.empty()) {
        opened.problem = "the folder name cannot be used on this system";
        return opened;
    }
    if (::mkdir(root.c_str(), 0700) != 0 && errno != EEXIST) {
        opened.problem = wxString::FromUTF8(std::strerror(errno));
        return opened;
    }
    int lock = LockPlace(root, true);
    if (lock < 0 && errno != EWOULDBLOCK) {
        opened.problem = wxString::FromUTF8(std::strerror(errno));
        return opened;
    }
    if (lock < 0) {
        // Another copy runs here and has the main place with the pages it restored: this copy
        // keeps its own pages apart, where the next copy to find the main place free takes them.
        opened.another_copy = true;
        std::string place = root + "/" + std::string(kCopyPrefix) + "XXXXXX";
        if (::mkdtemp(place.data()) == nullptr || (lock = LockPlace(place, true)) < 0) {
            opened.problem = wxString::FromUTF8(std::strerror(errno));
            return opened;
        }
        opened.store.reset(new Store(root, place, lock));
        opened.store->worker_ = std::thread(&Store::Work, opened.store.get());
        return opened;
    }

    PlacePages main = LoadPlace(root, root);
    opened.set_aside = main.set_aside;
    opened.selected = main.selected;
    std::unique_ptr<Store> store(new Store(root, root, lock));
    store->next_id_ = main.highest + 1;
    for (Restored& page : main.open) {
        store->index_.open.push_back(page.id);
        opened.pages.push_back(std::move(page));
    }
    store->index_.closed = main.closed;
    store->index_.selected = main.selected;

    // Further copies that have ended left their pages in places of their own: they come back
    // here, after the main place's, and move into it.
    bool adopted = false;
    for (const std::string& name : Scan(root).copies) {
        const std::string place = root + "/" + name;
        const int copy_lock = LockPlace(place, false);
        if (copy_lock < 0)
            continue; // still running, or not yet locked by a copy that is starting
        PlacePages copy = LoadPlace(root, place);
        opened.set_aside += copy.set_aside;
        const auto move_in = [&](EntryId id) -> std::optional<EntryId> {
            const EntryId moved = store->NewId();
            const std::string from = place + "/" + std::string(kEntryPrefix) + std::to_string(id);
            if (::rename(from.c_str(), store->EntryPath(moved).c_str()) != 0)
                return std::nullopt;
            adopted = true;
            return moved;
        };
        for (Restored& page : copy.open) {
            if (const std::optional<EntryId> moved = move_in(page.id)) {
                page.id = *moved;
                store->index_.open.push_back(page.id);
                opened.pages.push_back(std::move(page));
            }
        }
        for (auto id = copy.closed.rbegin(); id != copy.closed.rend(); ++id) {
            if (const std::optional<EntryId> moved = move_in(*id))
                store->index_.closed.insert(store->index_.closed.begin(), *moved);
        }
        ::unlink((place + "/index").c_str());
        ::unlink((place + "/lock").c_str());
        ::rmdir(place.c_str()); // left in place when it still holds an entry that did not move
        ::close(copy_lock);
    }
    std::vector<EntryId> dropped;
    while (store->index_.closed.size() > kClosedKept) {
        dropped.push_back(store->index_.closed.front());
        store->index_.closed.erase(store->index_.closed.begin());
    }
    if (adopted)
        SyncDirectory(root);

    store->worker_ = std::thread(&Store::Work, store.get());
    // What was found on disk may differ from the index there (entries it did not list, entries
    // set aside, pages of other copies): the index now says what this program holds.
    if (!(main.on_disk.value_or(Index()) == store->index_))
        store->QueueIndex();
    for (const EntryId id : dropped)
        store->QueueRemove(id);
    opened.store = std::move(store);
    return opened;
}

Store::Store(std::string root, std::string place, int lock_fd)
    : root_(std::move(root)), place_(std::move(place)), lock_fd_(lock_fd) {}

Store::~Store() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
    // A further copy that keeps nothing leaves no place behind.
    if (place_ != root_ && index_.open.empty() && index_.closed.empty()) {
        ::unlink((place_ + "/index").c_str());
        ::unlink((place_ + "/lock").c_str());
        ::rmdir(place_.c_str());
    }
    ::close(lock_fd_);
}

wxString Store::DamagedDirectory() const { return PathText(root_ + "/damaged"); }

std::string Store::EntryPath(EntryId id) const {
    return place_ + "/" + std::string(kEntryPrefix) + std::to_string(id);
}

void Store::Put(EntryId id, PageRecord record) {
    Job job{Job::Write, id, std::move(record), {}};
    std::lock_guard<std::mutex> lock(mutex_);
    for (Job& queued : jobs_) {
        if (queued.kind == Job::Write && queued.id == id) {
            queued.record = std::move(job.record);
            return;
        }
    }
    jobs_.push_back(std::move(job));
    wake_.notify_one();
}

void Store::SetOpen(const std::vector<EntryId>& open, EntryId selected) {
    Index next = index_;
    next.open = open;
    next.selected = selected;
    if (next == index_)
        return;
    std::vector<EntryId> removed;
    for (const EntryId id : index_.open) {
        if (std::find(open.begin(), open.end(), id) == open.end() &&
            std::find(index_.closed.begin(), index_.closed.end(), id) == index_.closed.end())
            removed.push_back(id);
    }
    index_ = std::move(next);
    // The index stops naming an entry before the entry goes: a crash in between leaves no gap.
    QueueIndex();
    for (const EntryId id : removed)
        QueueRemove(id);
}

void Store::Close(EntryId id) {
    index_.open.erase(std::remove(index_.open.begin(), index_.open.end(), id), index_.open.end());
    index_.closed.push_back(id);
    std::vector<EntryId> dropped;
    while (index_.closed.size() > kClosedKept) {
        dropped.push_back(index_.closed.front());
        index_.closed.erase(index_.closed.begin());
    }
    QueueIndex();
    for (const EntryId dropped_id : dropped)
        QueueRemove(dropped_id);
}

std::optional<PageRecord> Store::Read(EntryId id, bool* damaged) {
    *damaged = false;
    // The page's last text may still be on its way to the disk.
    Flush();
    std::optional<std::string> bytes = ReadWhole(EntryPath(id));
    std::optional<PageRecord> record =
        bytes ? DecodeRecord(std::move(*bytes)) : std::optional<PageRecord>();
    if (!record) {
        SetAside(root_, EntryPath(id), std::string(kEntryPrefix) + std::to_string(id));
        *damaged = true;
        index_.open.erase(std::remove(index_.open.begin(), index_.open.end(), id),
                          index_.open.end());
        QueueIndex();
    }
    return record;
}

std::optional<Store::Restored> Store::Reopen(bool* damaged) {
    *damaged = false;
    if (index_.closed.empty())
        return std::nullopt;
    const EntryId id = index_.closed.back();
    index_.closed.pop_back();
    index_.open.push_back(id);
    std::optional<PageRecord> record = Read(id, damaged);
    if (!record)
        return std::nullopt;
    QueueIndex();
    return Restored{id, std::move(*record)};
}

void Store::QueueIndex() {
    Job job{Job::WriteIndex, 0, {}, index_};
    Queue(std::move(job));
}

void Store::QueueRemove(EntryId id) {
    Job job{Job::Remove, id, {}, {}};
    Queue(std::move(job));
}

void Store::Queue(Job job) {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
    wake_.notify_one();
}

void Store::Flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

std::optional<wxString> Store::TakeError() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<wxString> error;
    error.swap(error_);
    return error;
}

void Store::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty())
            return; // stopping, and everything queued is done
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        wxString why;
        const bool done = Do(job, &why);
        lock.lock();
        busy_ = false;
        if (!done && !error_)
            error_ = why;
        if (jobs_.empty())
            idle_.notify_all();
    }
}

bool Store::Do(const Job& job, wxString* why) const {
    switch (job.kind) {
    case Job::Write:
        return local_store::WriteBytes(PathText(EntryPath(job.id)), EncodeRecord(job.record), why);
    case Job::WriteIndex:
        return local_store::WriteBytes(PathText(place_ + "/index"), EncodeIndex(job.index), why);
    case Job::Remove:
        if (::unlink(EntryPath(job.id).c_str()) != 0 && errno != ENOENT) {
            *why = wxString::FromUTF8(std::strerror(errno));
            return false;
        }
        return true;
    }
    return true;
}

} // namespace recovery

#pragma once

#include "storage/LocalStore.h"

#include <wx/string.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// The recovery store: the unsaved pages of the running program, kept on disk beside the user's
// data so that quitting, a crash, a kill or a power cut loses none of them, and the pages closed
// with unsaved text, so that they can be reopened.
//
// Layout of ./.corvane-recovery/: "lock" (held with flock by the running program), "index" (the
// order of the open pages, the closed pages, the selected page), one file "page-N" per page, the
// directory "damaged/" for entries that could not be read (kept, never deleted), and one directory
// "copy-XXXXXX/" of the same layout for each further copy of the program running in the same
// working directory. Every file is written with the store's safe write (temporary file, fsync,
// rename, fsync of the directory), so a power cut leaves the old or the new version.
//
// Size: the open pages with unsaved text, plus at most kClosedKept closed pages, each the page's
// text and a header of a few hundred bytes, plus the index; entries set aside as damaged stay
// until the user removes them.
namespace recovery {

inline constexpr const char* kDirectory = "./.corvane-recovery";
inline constexpr size_t kClosedKept = 20;

using EntryId = unsigned long long;

// One page as the store keeps it.
struct PageRecord {
    wxString caption; // the tab's caption, without the unsaved-changes marker
    wxString kind;    // the page kind: empty or "new-snippet"
    wxString path;    // the local file the page saves to; empty when none
    wxString sid;
    // Whose row the sid names: the user it was opened or stored for; nothing for another user's.
    std::optional<wxString> owner;
    wxString title;
    wxString language;
    wxString colouring; // the language the page is coloured as; empty for C/C++
    local_store::Encoding encoding = local_store::Encoding::Utf8; // of the page's file
    bool read_only = false;
    long long caret = 0;
    long long anchor = 0;
    // What the page's file (or, for a cloud page, its row's content) held when the page last
    // loaded or saved it; Save of a restored page compares it with what is there now.
    local_store::FileStamp baseline;
    std::string text; // the editor's document as it holds it: UTF-8
};

// An entry file's bytes, and back; nothing when the bytes are not a whole, intact entry.
std::string EncodeRecord(const PageRecord& record);
std::optional<PageRecord> DecodeRecord(std::string bytes);

// The store's index: open pages in tab order, closed pages with the most recent last.
struct Index {
    std::vector<EntryId> open;
    std::vector<EntryId> closed;
    EntryId selected = 0;
    bool operator==(const Index& other) const {
        return open == other.open && closed == other.closed && selected == other.selected;
    }
};
std::string EncodeIndex(const Index& index);
std::optional<Index> DecodeIndex(std::string_view bytes);

// The fingerprint of a cloud snippet's content, as a page keeps it to see later whether the row
// changed meanwhile.
unsigned long long ContentFingerprint(const wxString& content);

// The place of one running program in the store. File work is done in order by a thread of its
// own, so that writing a large page never holds up the window; the calls only queue it.
class Store {
public:
    struct Restored {
        EntryId id = 0;
        PageRecord record;
    };
    // What opening the store found.
    struct Opened {
        std::unique_ptr<Store> store; // null when the store cannot be used here (see problem)
        // The unsaved pages of the last session, in order, without their texts (Read gives
        // those): start-up reads only what the tabs need, each text when its page is shown.
        std::vector<Restored> pages;
        EntryId selected = 0;
        bool another_copy = false; // another copy holds the main place; nothing was restored
        size_t set_aside = 0;      // entries that could not be read, moved to damaged/
        wxString problem;          // why the store cannot be used; empty when it can
    };

    // Takes the main place in `directory` and reads the pages left there, and those of further
    // copies that have ended; when another running copy holds the main place, takes a place of
    // its own and restores nothing.
    static Opened Open(const wxString& directory = kDirectory);

    ~Store(); // finishes the queued work
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    EntryId NewId() { return next_id_++; }
    // Queues writing a page's entry (a later write of the same page replaces one not yet begun).
    void Put(EntryId id, PageRecord record);
    // The open pages in tab order, and the selected one. An entry that was open and is neither
    // open nor closed now (its page was saved or its text undone) is removed.
    void SetOpen(const std::vector<EntryId>& open, EntryId selected);
    // Moves an open page to the top of the closed pages; the oldest beyond kClosedKept is removed.
    void Close(EntryId id);
    bool HasClosed() const { return !index_.closed.empty(); }
    // An open page's whole record. Nothing when it cannot be read: it is then set aside
    // (`damaged` set) and no longer open.
    std::optional<PageRecord> Read(EntryId id, bool* damaged);
    // Takes the most recently closed page back among the open ones (at the end) and reads it.
    // Nothing when there is none, or when it cannot be read (as Read).
    std::optional<Restored> Reopen(bool* damaged);

    // Waits until the queued work is done.
    void Flush();
    // The first failure of the file work since the last call, if any.
    std::optional<wxString> TakeError();

    // Where entries that could not be read are set aside.
    wxString DamagedDirectory() const;

private:
    struct Job {
        enum Kind { Write, WriteIndex, Remove } kind;
        EntryId id = 0;
        PageRecord record; // Write
        Index index;       // WriteIndex
    };

    Store(std::string root, std::string place, int lock_fd);
    void QueueIndex();
    void QueueRemove(EntryId id);
    void Queue(Job job);
    void Work();
    // Does one job; false with the reason when it failed.
    bool Do(const Job& job, wxString* why) const;
    std::string EntryPath(EntryId id) const;

    std::string root_;  // the store's directory
    std::string place_; // this program's place: the root, or a copy-XXXXXX below it
    int lock_fd_;
    Index index_;
    EntryId next_id_ = 1;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    std::optional<wxString> error_;
    std::thread worker_;
};

} // namespace recovery

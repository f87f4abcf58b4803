#include "clipboard/ClipLogger.h"

#include "app/PlatformClipboard.h"
#include "clipboard/ClipRecorder.h"

namespace {

// The entry for `bytes` when they are to be logged after the text `filter` took last.
std::optional<ClipEntry> NewEntry(const ClipTextFilter& filter, std::string bytes,
                                  const std::atomic<bool>* cancel) {
    // The common case, the same text as before, is told by one comparison.
    if (!filter.IsNew(bytes))
        return std::nullopt;
    std::optional<ClipEntry> entry = ClipEntry::FromBytes(std::move(bytes), cancel);
    if (!entry || !filter.IsNew(*entry->Text()))
        return std::nullopt;
    return entry;
}

} // namespace

ClipLogger::ClipLogger(ClipRecorder* log_list)
    : log_list_(log_list), self_(std::make_shared<ClipLogger*>(this)) {}

ClipLogger::~ClipLogger() {
    Stop();
    // A result the worker has posted is dropped with this handler's pending calls.
    cancel_ = true;
    if (worker_.joinable())
        worker_.join();
    *self_ = nullptr;
}

void ClipLogger::Run() {
    Poll();
    Start(kPollMilliseconds);
}

void ClipLogger::Notify() { Poll(); }

void ClipLogger::Poll() {
    // One question at a time: while an owner is slow to answer, or a large text is being read,
    // ticks pass without asking again.
    if (waiting_)
        return;
    // The same owner still holds the text read last: it is the same text.
    poll_changes_ = platform::ClipboardOwnerChanges();
    if (poll_changes_ && poll_changes_ == read_changes_) {
        ++polls_;
        return;
    }
    // An entry the log put back itself need not be read: a large one would cost a pause.
    std::optional<ClipEntry> own = ClipRecorder::EntryOnTheClipboard();
    if (own && platform::ClipboardOwnedHere()) {
        if (!filter_.IsNew(*own->Text()))
            own.reset();
        OnEntry(std::move(own), true);
        return;
    }
    waiting_ = true;
    std::weak_ptr<ClipLogger*> self = self_;
    // A text marked secret is not even read.
    platform::ReadClipboardText(
        ClipTextFilter::kPasswordHintTarget,
        [](std::string_view hint) { return !ClipTextFilter::IsSecretHint(hint); },
        [self](std::optional<std::string> bytes) {
            const std::shared_ptr<ClipLogger*> alive = self.lock();
            if (alive && *alive != nullptr)
                (*alive)->OnAnswer(std::move(bytes));
        });
}

void ClipLogger::OnAnswer(std::optional<std::string> bytes) {
    if (!bytes) {
        OnEntry(std::nullopt, false);
        return;
    }
    if (bytes->size() < kWorkerBytes) {
        OnEntry(NewEntry(filter_, std::move(*bytes), nullptr), true);
        return;
    }
    // Only one poll is under way, so the filter cannot change before the worker's answer.
    if (worker_.joinable())
        worker_.join();
    worker_ = std::thread([this, filter = filter_, bytes = std::move(*bytes)]() mutable {
        std::optional<ClipEntry> entry = NewEntry(filter, std::move(bytes), &cancel_);
        if (!cancel_)
            CallAfter([this, entry = std::move(entry)] { OnEntry(entry, true); });
    });
}

void ClipLogger::OnEntry(std::optional<ClipEntry> entry, bool read) {
    waiting_ = false;
    ++polls_;
    // A poll that found no text, or a secret one, asks again next time.
    if (read)
        read_changes_ = poll_changes_;
    if (!entry)
        return;
    filter_.Take(entry->Text());
    log_list_->AddEntry(*entry);
}

#include "clipboard/ClipLogger.h"

#include "app/PlatformClipboard.h"
#include "clipboard/ClipRecorder.h"

ClipLogger::ClipLogger(ClipRecorder* log_list)
    : log_list_(log_list), self_(std::make_shared<ClipLogger*>(this)) {}

ClipLogger::~ClipLogger() {
    Stop();
    *self_ = nullptr;
}

void ClipLogger::Run() {
    Poll();
    Start(kPollMilliseconds);
}

void ClipLogger::Notify() { Poll(); }

void ClipLogger::Poll() {
    // One question at a time: while an owner is slow to answer, ticks pass without asking again.
    if (waiting_)
        return;
    waiting_ = true;
    std::weak_ptr<ClipLogger*> self = self_;
    // A text marked secret is not even read.
    platform::ReadClipboardText(
        ClipTextFilter::kPasswordHintTarget,
        [](std::string_view hint) { return !ClipTextFilter::IsSecretHint(hint); },
        [self](std::optional<wxString> text) {
            const std::shared_ptr<ClipLogger*> alive = self.lock();
            if (alive && *alive != nullptr)
                (*alive)->OnAnswer(text);
        });
}

void ClipLogger::OnAnswer(const std::optional<wxString>& text) {
    waiting_ = false;
    ++polls_;
    if (text && filter_.Accept(*text))
        log_list_->Append(*text);
}

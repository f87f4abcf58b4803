#include "update/UpdateCheck.h"

#include "app/CorvaneFrame.h"
#include "update/VersionCheck.h"
#include "update/auto_update.h"

#include <atomic>
#include <mutex>
#include <thread>

// What the worker and the GUI thread share. `frame` is cleared, under the lock, when the frame
// is destroyed; the worker posts its answer only while it is set.
struct UpdateCheck::Shared {
    std::mutex mutex;
    CorvaneFrame* frame = nullptr;
    std::atomic<bool> cancel{false};
};

std::shared_ptr<UpdateCheck> UpdateCheck::Start(CorvaneFrame* frame) {
    std::shared_ptr<UpdateCheck> check(new UpdateCheck);
    auto shared = std::make_shared<Shared>();
    shared->frame = frame;
    frame->Bind(wxEVT_DESTROY, [shared, frame](wxWindowDestroyEvent& event) {
        if (event.GetWindow() == frame) {
            shared->cancel = true;
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->frame = nullptr;
        }
        event.Skip();
    });

    std::thread([shared, check] {
        const bool another = update::AnotherVersionPublished(&shared->cancel);
        // The update window shows the changelog at once, so it is fetched here too.
        wxString changelog = another ? update::FetchChangelog(&shared->cancel) : wxString();
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (shared->frame == nullptr)
            return;
        // Pending calls of a frame are dropped with it, so this never runs on a destroyed one.
        CorvaneFrame* target = shared->frame;
        target->CallAfter([check, target, another, changelog = std::move(changelog)] {
            check->Finish(target, another, changelog);
        });
    }).detach();
    return check;
}

void UpdateCheck::Finish(CorvaneFrame* frame, bool another, const wxString& changelog) {
    if (another) {
        auto_update::Open(&changelog);
        frame->AddUpdateMenu();
        announced_ = true;
    }
    done_ = true;
}

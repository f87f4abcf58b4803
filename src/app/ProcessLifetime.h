#pragma once

#include <memory>
#include <utility>
#include <vector>

// Objects that windows, the clipboard watcher and plug-in calls may use until the very end: the
// cloud connection and the loaded plug-in libraries. Kept objects are released only when the
// process ends, after every window is gone, so nobody ever holds a pointer to a released one.
class ProcessLifetime {
public:
    // Takes the object over and returns it; null stays null.
    template <typename T> static T* Keep(std::unique_ptr<T> object) {
        T* kept = object.get();
        if (kept != nullptr)
            Kept().emplace_back(std::move(object));
        return kept;
    }

private:
    static std::vector<std::shared_ptr<void>>& Kept();
};

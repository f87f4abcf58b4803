#include "app/ProcessLifetime.h"

std::vector<std::shared_ptr<void>>& ProcessLifetime::Kept() {
    // A function-local static: destroyed after main returns, in reverse order of construction.
    static std::vector<std::shared_ptr<void>> kept;
    return kept;
}

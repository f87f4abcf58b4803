#include "app/Prompts.h"

#include <stdexcept>

namespace {
std::unique_ptr<Prompts>& Installed() {
    static std::unique_ptr<Prompts> prompts;
    return prompts;
}
} // namespace

Prompts& Prompts::Current() {
    if (!Installed())
        throw std::logic_error("no prompts installed");
    return *Installed();
}

bool Prompts::IsInstalled() { return Installed() != nullptr; }

std::unique_ptr<Prompts> Prompts::Install(std::unique_ptr<Prompts> prompts) {
    Installed().swap(prompts);
    return prompts;
}

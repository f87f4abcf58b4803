#pragma once

#include <string>

// Points an environment variable at another value while the object lives (the program's settings
// overrides: the database port, the service hosts), then restores or unsets it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool was_set_ = false;
    std::string saved_;
};

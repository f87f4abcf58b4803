#include "admin/AdminTool.h"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto environment = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    return AdminTool::Run(args, environment, std::cout, std::cerr);
}

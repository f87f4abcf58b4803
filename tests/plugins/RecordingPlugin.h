#pragma once

#include <string>

// What a recording test plug-in saw in one call of its entry point. The test reads the calls
// through the library's own accessor, looked up in the copy the program loaded.
struct RecordedCall {
    std::string tag; // which library was called
    bool any_null = false;
    std::string user_id;
    std::string sid;
    std::string title;
    std::string text;
    std::string uid;
    std::string language;
    int is_public = -1;
};

// Exported by every recording plug-in; the i-th call since the library was loaded.
using RecordedCallCountFunction = int (*)();
using RecordedCallAtFunction = const RecordedCall* (*)(int);
constexpr const char* kRecordedCallCount = "RecordedCallCount";
constexpr const char* kRecordedCallAt = "RecordedCallAt";
// Exported by the plug-in that has nothing but a name: how often its name was asked for.
constexpr const char* kNameCalls = "NameCalls";

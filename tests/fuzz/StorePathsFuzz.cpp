// The local store's rules on names that come from the file system and from other users' rows:
// a tree path (its labels, one a line) turns back into a path below the store, and the names of
// directory entries keep their bytes.
#include "app/TextCodec.h"
#include "storage/LocalStore.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<wxString> names{"Local"};
    size_t start = 0;
    while (start <= bytes.size()) {
        const size_t end = std::min(bytes.find('\n', start), bytes.size());
        names.push_back(text::FromPathBytes(std::string_view(bytes).substr(start, end - start)));
        start = end + 1;
    }

    const wxString path = local_store::PathFromNames(names);
    FUZZ_CHECK(path.StartsWith(local_store::kRoot));
    // The language is the first level below the store, so it is a prefix of the relative path.
    const wxString relative = path.Mid(wxString(local_store::kRoot).length());
    const wxString language = local_store::LanguageFromNames(names);
    FUZZ_CHECK(relative.StartsWith(language));
    FUZZ_CHECK(!language.Contains("/"));
    const wxString directory = local_store::WithSeparator(path);
    FUZZ_CHECK(directory.EndsWith("/") || directory.EndsWith("\\"));
    FUZZ_CHECK(directory.StartsWith(path));
    // What a name on the tree stands for is the file it was read from.
    for (size_t i = 1; i < names.size(); ++i) {
        const std::string raw = text::ToPathBytes(names[i]);
        FUZZ_CHECK(text::FromPathBytes(raw) == names[i]);
    }
    return 0;
}

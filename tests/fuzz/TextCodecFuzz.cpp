// The decoders of outside bytes: UTF-8 (database fields, HTTP bodies, names), one byte per
// character (files that are not UTF-8), and the lossless file-name mapping.
#include "app/TextCodec.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Valid UTF-8 comes back byte for byte; anything decodes, and what decoding gives can
    // always be encoded again.
    const wxString decoded = text::FromUtf8(bytes);
    const auto encoded = text::ToUtf8(decoded);
    FUZZ_CHECK(encoded.has_value());
    FUZZ_CHECK(text::IsValidUtf8(*encoded));
    if (text::IsValidUtf8(bytes))
        FUZZ_CHECK(*encoded == bytes);
    else
        FUZZ_CHECK(decoded.Find(wxUniChar(0xFFFD)) != wxNOT_FOUND);

    // File names and files that are not UTF-8 survive their round trips unchanged.
    FUZZ_CHECK(text::ToPathBytes(text::FromPathBytes(bytes)) == bytes);
    const wxString latin = text::FromLatin1(bytes);
    FUZZ_CHECK(latin.length() == size);
    FUZZ_CHECK(text::ToLatin1(latin) == std::string(bytes));
    return 0;
}

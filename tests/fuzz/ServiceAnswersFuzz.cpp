// Bodies of the two HTTP services: the version answer compared with this program's version, the
// changelog cut at its byte limit, and the IP echo answer.
#include "account/PublicAddress.h"
#include "app/Platform.h"
#include "app/TextCodec.h"
#include "tests/fuzz/FuzzCheck.h"
#include "update/VersionCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);

    // Only the exact version text means "no update".
    FUZZ_CHECK(update::DiffersFromThisVersion(body) !=
               (body == text::ToUtf8(platform::VersionText()).value()));

    // A changelog that was not cut decodes as it is, but for its NULs, which the text field
    // would end the text at.
    FUZZ_CHECK(update::DecodeChangelog(body, false) == text::Displayable(text::FromUtf8(body)));
    // A text cut anywhere loses at most the one character the cut split, and nothing else: cut
    // a valid text (the input's decoding) where its first byte says, and compare with the text
    // up to the last character boundary before the cut.
    if (size > 0) {
        const std::string valid = text::ToUtf8(text::FromUtf8(body.substr(1))).value();
        const size_t cut = valid.empty() ? 0 : data[0] % (valid.size() + 1);
        size_t boundary = cut;
        while (boundary > 0 && boundary < valid.size() &&
               (static_cast<unsigned char>(valid[boundary]) & 0xC0) == 0x80)
            --boundary;
        FUZZ_CHECK(update::DecodeChangelog(valid.substr(0, cut), true) ==
                   text::Displayable(text::FromUtf8(valid.substr(0, boundary))));
    }

    // The echo answer is the whole body, unless it was cut (then it is no address).
    FUZZ_CHECK(!account::AddressFromReply(body, true).has_value());
    FUZZ_CHECK(account::AddressFromReply(body, false) == text::FromUtf8(body));
    return 0;
}

// Plug-in file names: which listed paths are tried as libraries, and the menu label a name gives
// a plug-in without a name of its own. Input: the path below ./plugins/.
#include "app/TextCodec.h"
#include "plugins/PluginScan.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = "./plugins/" + std::string(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(plugins::MayBeLibrary(path) == (path.find(".so") != std::string::npos));

    const wxString label = plugins::DerivedLabel(path, "./plugins/");
    // A label shows the name and takes no keys: no control character (a tab would start an
    // accelerator), and every "&" stands doubled, so none marks a mnemonic.
    size_t ampersands = 0;
    for (const wxUniChar c : label) {
        FUZZ_CHECK(c >= 0x20 && c != 0x7F);
        if (c == '&')
            ++ampersands;
        else
            FUZZ_CHECK(ampersands % 2 == 0);
    }
    FUZZ_CHECK(ampersands % 2 == 0);
    return 0;
}

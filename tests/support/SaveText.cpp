// Saves a text the way the program saves a snippet, for tests that watch the system calls of a
// save from outside (strace):  save_text PATH TEXT
#include "app/TextCodec.h"
#include "storage/LocalStore.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: save_text PATH TEXT\n");
        return 2;
    }
    wxString error;
    if (!local_store::WriteText(text::FromPathBytes(argv[1]), text::FromUtf8(argv[2]), &error)) {
        std::fprintf(stderr, "save_text: %s\n", error.utf8_string().c_str());
        return 1;
    }
    return 0;
}

// Writes one page into a recovery store and ends, so that a test can watch the system calls of
// the store's write path (under strace).
//   recovery_writer STORE_DIRECTORY
#include "storage/RecoveryStore.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: recovery_writer STORE_DIRECTORY\n");
        return 2;
    }
    recovery::Store::Opened opened = recovery::Store::Open(wxString::FromUTF8(argv[1]));
    if (!opened.store)
        return 1;
    recovery::PageRecord record;
    record.caption = "Traced";
    record.text = "written in a safe order";
    const recovery::EntryId id = opened.store->NewId();
    opened.store->Put(id, record);
    opened.store->SetOpen({id}, id);
    opened.store->Flush();
    return opened.store->TakeError() ? 1 : 0;
}

#pragma once

#include "storage/Database.h"

#include <wx/string.h>

#include <future>
#include <memory>

// The start-up's waits on the network: connecting to the cloud and the remember-me lookup (which
// asks the IP echo service for the machine's address meanwhile). Begun on a
// thread of its own as the program starts, they pass while the toolkit builds and paints the
// splash screen; the main frame takes the outcome where it would otherwise wait for it.
class EarlyStart {
public:
    struct Cloud {
        std::unique_ptr<Database> connection; // null when the cloud could not be reached
        wxString error;                       // why not, as the connection reported it
        Database::TlsRefusal refusal = Database::TlsRefusal::None;
        wxString remembered_user; // the user this machine is remembered for; empty for nobody
    };

    // Connects and looks up on the calling thread.
    static Cloud Connect();

    // Starts Connect() on a thread of its own.
    static std::unique_ptr<EarlyStart> Begin();

    // Waits for the outcome of Begin's thread and hands it over; call once.
    Cloud Take();

private:
    EarlyStart() = default;

    // Its destructor waits for the thread, should the outcome never be taken.
    std::future<Cloud> cloud_;
};

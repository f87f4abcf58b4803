#include "app/EarlyStart.h"

#include "account/Accounts.h"
#include "account/PublicAddress.h"
#include "storage/DbSettings.h"

EarlyStart::Cloud EarlyStart::Connect() {
    // The machine's address is asked for while the connection is made: both mostly wait on the
    // network, and the address is asked by a helper process that takes a while to start.
    std::atomic<bool> unwanted{false};
    std::future<std::optional<wxString>> address =
        std::async(std::launch::async, account::PublicAddress, &unwanted);
    Cloud cloud;
    cloud.connection = Database::Connect(DbSettings::FromBuild(), &cloud.error, &cloud.refusal);
    // Without a cloud there is nobody to look up.
    unwanted = cloud.connection == nullptr;
    const std::optional<wxString> known = address.get();
    if (cloud.connection != nullptr)
        cloud.remembered_user = Accounts::RememberedUser(*cloud.connection, known);
    return cloud;
}

std::unique_ptr<EarlyStart> EarlyStart::Begin() {
    std::unique_ptr<EarlyStart> early(new EarlyStart);
    early->cloud_ = std::async(std::launch::async, &EarlyStart::Connect);
    return early;
}

EarlyStart::Cloud EarlyStart::Take() { return cloud_.get(); }

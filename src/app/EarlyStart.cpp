#include "app/EarlyStart.h"

#include "account/Accounts.h"
#include "storage/DbSettings.h"

EarlyStart::Cloud EarlyStart::Connect() {
    Cloud cloud;
    cloud.connection = Database::Connect(DbSettings::FromBuild(), &cloud.error, &cloud.refusal);
    if (cloud.connection != nullptr)
        cloud.remembered_user = Accounts::RememberedUser(*cloud.connection);
    return cloud;
}

std::unique_ptr<EarlyStart> EarlyStart::Begin() {
    std::unique_ptr<EarlyStart> early(new EarlyStart);
    early->cloud_ = std::async(std::launch::async, &EarlyStart::Connect);
    return early;
}

EarlyStart::Cloud EarlyStart::Take() { return cloud_.get(); }

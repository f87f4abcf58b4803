#pragma once

#include <string>

// Where and how to reach the cloud database.
struct DbSettings {
    std::string host;
    unsigned port = 3306;
    std::string user = "corvane";
    std::string password;
    std::string database = "corvane";
    unsigned connect_timeout_seconds = 5;
    unsigned read_write_timeout_seconds = 30;

    // The build's deployment settings; CORVANE_DB_HOST, CORVANE_DB_PORT and CORVANE_DB_PASSWORD
    // override them for development and tests.
    static DbSettings FromBuild();
};

#pragma once

#include "storage/DbSettings.h"

#include <memory>
#include <string>

struct st_mysql;

// The floor of a benchmark's statements: a connection of the client library opened the way the
// program opens its own (TCP, utf8mb4), on which a statement's rows are fetched and their fields
// touched, and nothing else is done. Failures throw std::runtime_error.
class FloorConnection {
public:
    explicit FloorConnection(const DbSettings& settings);
    ~FloorConnection();
    FloorConnection(const FloorConnection&) = delete;
    FloorConnection& operator=(const FloorConnection&) = delete;

    // Sends the statement and fetches every row, all at once (`stored`) or as they stream.
    // Returns the number of rows; `runs`, when given, receives the number of runs of exactly
    // equal values in the first column, as the snippet trees group them (empty values at the
    // start make no run).
    size_t ReadAll(const std::string& statement, bool stored, size_t* runs = nullptr);

private:
    struct Closer {
        void operator()(st_mysql* mysql) const;
    };
    std::unique_ptr<st_mysql, Closer> mysql_;
};

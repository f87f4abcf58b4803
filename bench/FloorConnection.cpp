#include "FloorConnection.h"

#include <mysql.h>

#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace {
struct ResultReleaser {
    void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
};
} // namespace

void FloorConnection::Closer::operator()(st_mysql* mysql) const { mysql_close(mysql); }

FloorConnection::FloorConnection(const DbSettings& settings) : mysql_(mysql_init(nullptr)) {
    const unsigned protocol = MYSQL_PROTOCOL_TCP;
    mysql_options(mysql_.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    mysql_options(mysql_.get(), MYSQL_OPT_PROTOCOL, &protocol);
    if (mysql_real_connect(mysql_.get(), settings.host.c_str(), settings.user.c_str(),
                           settings.password.c_str(), settings.database.c_str(), settings.port,
                           nullptr, 0) == nullptr)
        throw std::runtime_error(std::string("cannot connect: ") + mysql_error(mysql_.get()));
}

FloorConnection::~FloorConnection() = default;

size_t FloorConnection::ReadAll(const std::string& statement, bool stored, size_t* runs) {
    MYSQL* mysql = mysql_.get();
    if (mysql_real_query(mysql, statement.data(), statement.size()) != 0)
        throw std::runtime_error(std::string("statement failed: ") + mysql_error(mysql));
    std::unique_ptr<MYSQL_RES, ResultReleaser> result(stored ? mysql_store_result(mysql)
                                                             : mysql_use_result(mysql));
    if (!result)
        throw std::runtime_error(std::string("no result: ") + mysql_error(mysql));
    const unsigned columns = mysql_num_fields(result.get());
    size_t rows = 0;
    size_t bytes = 0;
    std::string previous;
    while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(result.get());
        for (unsigned column = 0; column < columns; ++column)
            bytes += lengths[column] + (row[column] != nullptr);
        if (runs != nullptr) {
            const std::string_view first(row[0] != nullptr ? row[0] : "", lengths[0]);
            if ((rows == 0 && !first.empty()) || (rows > 0 && first != previous))
                ++*runs;
            previous.assign(first);
        }
        ++rows;
    }
    if (mysql_errno(mysql) != 0)
        throw std::runtime_error(std::string("fetch failed: ") + mysql_error(mysql));
    if (bytes == 0 && rows > 0)
        std::abort(); // keeps the loop from being optimised away
    return rows;
}

#pragma once

#include "storage/Database.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A test against the emptied test server through the program's own connection, which records
// every statement it sends in `sent`.
class CloudTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.Reset();
        db = Connect(TestDatabase::AppSettings());
        ASSERT_TRUE(db);
    }

    std::unique_ptr<Database> Connect(const DbSettings& settings) {
        wxString error;
        std::unique_ptr<Database> database = Database::Connect(settings, &error);
        EXPECT_TRUE(database) << error;
        if (database)
            database->SetStatementObserver([this](const std::string& s) { sent.push_back(s); });
        return database;
    }

    // The plan's fields by column name, for a statement that reads one table; empty otherwise.
    std::map<std::string, std::string> Plan(const wxString& statement) {
        static const char* const kColumns[] = {
            "id",  "select_type", "table", "type", "possible_keys",
            "key", "key_len",     "ref",   "rows", "Extra"};
        const TestDatabase::Rows rows = server.Query("EXPLAIN " + statement.utf8_string());
        std::map<std::string, std::string> plan;
        if (rows.size() == 1) {
            for (size_t i = 0; i < rows[0].size() && i < std::size(kColumns); ++i)
                plan[kColumns[i]] = rows[0][i];
        }
        return plan;
    }

    TestDatabase server;
    std::unique_ptr<Database> db;
    std::vector<std::string> sent;
};

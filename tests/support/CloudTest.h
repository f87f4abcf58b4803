#pragma once

#include "storage/Database.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

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

    TestDatabase server;
    std::unique_ptr<Database> db;
    std::vector<std::string> sent;
};

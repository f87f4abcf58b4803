#include "support/TestCluster.h"

#include "storage/Database.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

TestCluster::TestCluster() {
    const char* dir = std::getenv("CORVANE_TEST_CLUSTER_DIR");
    if (dir == nullptr || *dir == '\0')
        throw std::runtime_error("CORVANE_TEST_CLUSTER_DIR is not set: run the tests through "
                                 "scripts/test, or after start_cluster of scripts/services.sh");
    dir_ = dir;
    for (int node = 1; node <= kNodes; ++node)
        nodes_.push_back(TestDatabase::ClusterNode(dir_ + "/node" + std::to_string(node)));
}

TestDatabase& TestCluster::Node(int node) { return *nodes_.at(static_cast<size_t>(node - 1)); }

unsigned TestCluster::Port() const {
    std::ifstream portFile(dir_ + "/port");
    unsigned port = 0;
    if (!(portFile >> port))
        throw std::runtime_error("no port file in " + dir_);
    return port;
}

DbSettings TestCluster::AppSettings() const {
    DbSettings settings = TestDatabase::AppSettings();
    settings.host = "127.0.0.1";
    settings.port = Port();
    return settings;
}

int TestCluster::Writer() const {
    const std::unique_ptr<Database> db = Database::Connect(AppSettings());
    const auto row = db ? db->FirstRow("SELECT @@wsrep_node_name", Fetch::Stored) : std::nullopt;
    if (!row || row->empty() || !row->front().StartsWith("node"))
        return 0;
    return std::atoi(row->front().Mid(4).utf8_str());
}

bool TestCluster::WaitForWriter(int node, std::chrono::seconds timeout) const {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (Writer() != node) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

int TestCluster::Size(int node) {
    return std::stoi(Node(node).Query("SHOW STATUS LIKE 'wsrep_cluster_size'").at(0).at(1));
}

void TestCluster::Reset() { Node(1).Reset(); }

#pragma once

#include "storage/DbSettings.h"
#include "support/TestDatabase.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

// The Galera cluster behind HAProxy that scripts/cluster started in CORVANE_TEST_CLUSTER_DIR (the
// cluster tests' ctest fixture starts it): its three nodes, each reached as root through its
// socket, and HAProxy's address, the one the program connects to. Nodes are numbered from 1, as
// they are named (node1 ...). Failures throw std::runtime_error, as TestDatabase's do.
class TestCluster {
public:
    static constexpr int kNodes = 3;

    TestCluster();

    TestDatabase& Node(int node);
    // HAProxy's port.
    unsigned Port() const;
    // The program's own settings, pointed at HAProxy.
    DbSettings AppSettings() const;

    // The node HAProxy hands a new connection to, asked through HAProxy as the program's
    // account; 0 when no connection can be made.
    int Writer() const;
    // Waits up to `timeout` until HAProxy hands new connections to `node`.
    bool WaitForWriter(int node, std::chrono::seconds timeout) const;
    // The cluster's size as this node sees it (wsrep_cluster_size).
    int Size(int node);

    // Empties the four tables on every node (through node1, which replicates it).
    void Reset();

private:
    std::string dir_;
    std::vector<std::unique_ptr<TestDatabase>> nodes_;
};

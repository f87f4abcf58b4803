#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback TCP proxy between the program and the database server that can break one statement
// on the wire. It reads the client's side of the MySQL protocol packet by packet; when a query
// packet's statement matches the armed rule, it acts once:
//   CutBefore  closes the connection without passing the statement on (it never runs);
//   CutAfter   passes the statement on, waits for the server's reply, drops it and closes the
//              connection (the statement ran, the client never learns so);
//   DropReply  passes the statement on and swallows every reply from then on, leaving the
//              connection open (the client waits until its read timeout).
// Every other byte is passed through unchanged, in both directions, and recorded. Once the client
// asks for TLS, its bytes are passed on without looking for statements in them.
class TcpProxy {
public:
    enum class Action { CutBefore, CutAfter, DropReply };

    // Listens on a free loopback port and forwards each connection to 127.0.0.1:server_port.
    explicit TcpProxy(unsigned server_port);
    ~TcpProxy();
    TcpProxy(const TcpProxy&) = delete;
    TcpProxy& operator=(const TcpProxy&) = delete;

    unsigned Port() const { return port_; }

    // Arms the rule for the next statement that `matches` (on any connection); it then disarms.
    void Arm(std::function<bool(const std::string& statement)> matches, Action action);
    // Closes each of the next `count` connections as soon as it is accepted, before the server
    // greets (as a balancer does whose server has just died).
    void CutConnections(int count) { cut_connections_ = count; }
    // The statements that were broken so far.
    int Fired() const { return fired_; }

    // From now on, the server's greeting on each new connection is changed to offer no TLS, as
    // a server without TLS, or a man in the middle that strips it, would send it.
    void OfferNoTls() { offer_no_tls_ = true; }
    // Every byte passed on so far, on all connections: from the client to the server, and from
    // the server to the client.
    std::string FromClient();
    std::string FromServer();
    // Waits (up to five seconds) until every connection so far has been closed, so that all
    // they carried is on record.
    void WaitUntilClosed();

private:
    struct Rule {
        std::function<bool(const std::string&)> matches;
        Action action;
    };

    void AcceptLoop();
    void Relay(int client);
    // The armed rule when it matches this statement (and disarms it).
    std::unique_ptr<Rule> Take(const std::string& statement);
    void Record(std::string& into, const char* data, size_t size);

    unsigned server_port_;
    unsigned port_ = 0;
    int listener_ = -1;
    int wake_[2] = {-1, -1}; // written to on destruction, so every relay ends
    std::atomic<bool> stopping_{false};
    std::atomic<int> fired_{0};
    std::atomic<int> cut_connections_{0};
    std::atomic<bool> offer_no_tls_{false};
    std::atomic<int> open_{0};
    std::string from_client_;
    std::string from_server_;
    std::mutex mutex_;
    std::unique_ptr<Rule> rule_;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
};

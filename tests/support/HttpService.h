#pragma once

#include "support/ScopedEnv.h"

#include <string>

// The private nginx that scripts/services.sh starts (CORVANE_TEST_HTTP_ROOT, CORVANE_UPDATE_HOST).
// An UpdateAnswers object gives one test update-service answers of its own: files in a fresh
// directory below the server's root, and CORVANE_UPDATE_HOST pointing at that directory while
// the object lives. Every failure throws std::runtime_error.
class UpdateAnswers {
public:
    UpdateAnswers();
    ~UpdateAnswers();
    UpdateAnswers(const UpdateAnswers&) = delete;
    UpdateAnswers& operator=(const UpdateAnswers&) = delete;

    // The body of /app-ext/version.php?os=<os>; without one the service answers 404.
    void SetVersion(const std::string& body, const std::string& os = "linux");
    void SetChangelog(const std::string& body);
    // The body of /ip.php for an IP echo service pointed at Host().
    void SetEcho(const std::string& body);
    // "host:port/prefix", a value for CORVANE_UPDATE_HOST or CORVANE_IP_ECHO_HOST.
    const std::string& Host() const { return host_; }
    // "http://host:port/prefix": what the program's update addresses start with.
    std::string BaseUrl() const { return "http://" + host_; }

private:
    void Write(const std::string& relative, const std::string& body);

    std::string saved_host_;
    std::string dir_;
    std::string host_;
};

// A server on a loopback port that takes connections and never answers: the kernel completes
// every connect, and nobody ever reads or writes.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    // "127.0.0.1:port".
    std::string Host() const;

private:
    int fd_ = -1;
    int port_ = 0;
};

// "127.0.0.1:1": nothing listens there, so a connect is refused at once.
inline std::string RefusingHost() { return "127.0.0.1:1"; }

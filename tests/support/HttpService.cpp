#include "support/HttpService.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {
std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        throw std::runtime_error(std::string(name) + " is not set: start the services first");
    return value;
}
} // namespace

UpdateAnswers::UpdateAnswers() : saved_host_(Env("CORVANE_UPDATE_HOST")) {
    std::string templ = Env("CORVANE_TEST_HTTP_ROOT") + "/answers-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr)
        throw std::runtime_error("cannot make a directory under " + templ);
    dir_ = templ;
    fs::create_directory(dir_ + "/app-ext");
    // The server's original host, whatever prefix a surrounding object may have added.
    host_ = saved_host_.substr(0, saved_host_.find('/')) + "/" + fs::path(dir_).filename().string();
    setenv("CORVANE_UPDATE_HOST", host_.c_str(), 1);
}

UpdateAnswers::~UpdateAnswers() {
    setenv("CORVANE_UPDATE_HOST", saved_host_.c_str(), 1);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

void UpdateAnswers::Write(const std::string& relative, const std::string& body) {
    std::ofstream out(dir_ + "/" + relative, std::ios::binary | std::ios::trunc);
    out << body;
    if (!out.flush())
        throw std::runtime_error("cannot write " + dir_ + "/" + relative);
}

void UpdateAnswers::SetVersion(const std::string& body, const std::string& os) {
    Write("app-ext/version-" + os + ".txt", body);
}

void UpdateAnswers::SetChangelog(const std::string& body) { Write("app-ext/changelog.txt", body); }

void UpdateAnswers::SetEcho(const std::string& body) { Write("ip.php", body); }

SilentServer::SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd_, 64) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd_ >= 0)
            ::close(fd_);
        throw std::runtime_error("cannot open a listening socket");
    }
    port_ = ntohs(address.sin_port);
}

SilentServer::~SilentServer() { ::close(fd_); }

std::string SilentServer::Host() const { return "127.0.0.1:" + std::to_string(port_); }

#include "support/TcpProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace {

constexpr unsigned char kComQuery = 0x03;
// The capability flag of the protocol's handshake by which a server offers TLS and a client asks
// for it.
constexpr unsigned kClientSsl = 0x800;

// The length of the protocol packet at the start of `bytes`, header included; 0 while incomplete.
size_t CompletePacket(const std::string& bytes) {
    if (bytes.size() < 4)
        return 0;
    const auto* header = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t length = 4 + (header[0] | (header[1] << 8) | (header[2] << 16));
    return bytes.size() >= length ? length : 0;
}

// Clears the TLS offer in the server's greeting packet: protocol version, the server's version
// text, the connection id, 8 bytes of the scramble, a filler byte, then the low capability flags.
void ClearTlsOffer(std::string& greeting) {
    const size_t version_end = greeting.find('\0', 5);
    const size_t flags = version_end + 1 + 4 + 8 + 1;
    if (version_end != std::string::npos && flags + 2 <= greeting.size())
        greeting[flags + 1] = static_cast<char>(greeting[flags + 1] & ~(kClientSsl >> 8));
}

// The toolkit handles SIGCHLD (for the programs it starts), so the end of any child process, such
// as the script that restarts the server, interrupts whichever of these calls a thread is in: they
// are made again rather than taken for a closed connection.
int Poll(pollfd* fds, nfds_t count) {
    int ready;
    while ((ready = ::poll(fds, count, -1)) < 0 && errno == EINTR) {
    }
    return ready;
}

ssize_t Receive(int fd, char* buffer, size_t size) {
    ssize_t got;
    while ((got = ::recv(fd, buffer, size, 0)) < 0 && errno == EINTR) {
    }
    return got;
}

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t put = ::send(fd, data, size, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

int ConnectToServer(unsigned port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

} // namespace

TcpProxy::TcpProxy(unsigned server_port) : server_port_(server_port) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe(wake_) != 0)
        throw std::runtime_error("the proxy cannot listen on loopback");
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

TcpProxy::~TcpProxy() {
    stopping_ = true;
    (void)!::write(wake_[1], "x", 1);
    acceptor_.join();
    for (std::thread& thread : threads_)
        thread.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void TcpProxy::Arm(std::function<bool(const std::string&)> matches, Action action) {
    std::lock_guard<std::mutex> lock(mutex_);
    rule_ = std::make_unique<Rule>(Rule{std::move(matches), action});
}

void TcpProxy::Record(std::string& into, const char* data, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    into.append(data, size);
}

std::string TcpProxy::FromClient() {
    std::lock_guard<std::mutex> lock(mutex_);
    return from_client_;
}

std::string TcpProxy::FromServer() {
    std::lock_guard<std::mutex> lock(mutex_);
    return from_server_;
}

void TcpProxy::WaitUntilClosed() {
    for (int i = 0; i < 500 && open_ > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

std::unique_ptr<TcpProxy::Rule> TcpProxy::Take(const std::string& statement) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!rule_ || !rule_->matches(statement))
        return nullptr;
    ++fired_;
    return std::move(rule_);
}

void TcpProxy::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (Poll(fds, 2) < 0 || stopping_)
            return;
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0 && cut_connections_ > 0) {
                --cut_connections_;
                ::close(client);
            } else if (client >= 0) {
                ++open_;
                threads_.emplace_back([this, client] {
                    Relay(client);
                    --open_;
                });
            }
        }
    }
}

void TcpProxy::Relay(int client) {
    const int server = ConnectToServer(server_port_);
    std::string pending; // client bytes not yet forwarded: at most one incomplete packet
    // The server's first bytes, held back until its greeting is complete when it is to be changed.
    std::string greeting;
    bool greeted = !offer_no_tls_;
    bool encrypted = false; // the client asked for TLS: its bytes are no longer packets to read
    bool drop_replies = false;
    bool cut_at_reply = false;
    char buffer[65536];
    while (server >= 0 && !stopping_) {
        pollfd fds[3] = {{client, POLLIN, 0}, {server, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (Poll(fds, 3) < 0 || (fds[2].revents & POLLIN))
            break;
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t got = Receive(server, buffer, sizeof buffer);
            if (got <= 0 || cut_at_reply)
                break;
            std::string reply(buffer, static_cast<size_t>(got));
            if (!greeted) {
                greeting += reply;
                const size_t length = CompletePacket(greeting);
                if (length == 0)
                    continue;
                std::string first = greeting.substr(0, length);
                ClearTlsOffer(first);
                reply = first + greeting.substr(length);
                greeted = true;
            }
            // Recorded before it is passed on, so that what the client has seen is on record.
            if (!drop_replies) {
                Record(from_server_, reply.data(), reply.size());
                if (!SendAll(client, reply.data(), reply.size()))
                    break;
            }
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t got = Receive(client, buffer, sizeof buffer);
            if (got <= 0)
                break;
            if (encrypted) {
                Record(from_client_, buffer, static_cast<size_t>(got));
                if (!SendAll(server, buffer, static_cast<size_t>(got)))
                    break;
                continue;
            }
            pending.append(buffer, static_cast<size_t>(got));
            // Packets: a 3-byte little-endian length, a sequence number, the payload. A query
            // is a first packet (sequence 0) whose payload starts with the query command.
            bool cut = false;
            while (pending.size() >= 4) {
                const auto* header = reinterpret_cast<const unsigned char*>(pending.data());
                const size_t length = header[0] | (header[1] << 8) | (header[2] << 16);
                if (pending.size() < 4 + length)
                    break;
                if (header[3] == 0 && length > 0 && header[4] == kComQuery) {
                    if (auto rule = Take(pending.substr(5, length - 1))) {
                        if (rule->action == Action::CutBefore) {
                            cut = true;
                            break;
                        }
                        cut_at_reply = rule->action == Action::CutAfter;
                        drop_replies = rule->action == Action::DropReply;
                    }
                }
                Record(from_client_, pending.data(), 4 + length);
                if (!SendAll(server, pending.data(), 4 + length)) {
                    cut = true;
                    break;
                }
                // The client's TLS request: the packet of sequence 1 that holds only the
                // capability flags, the packet size, the character set and filler (32 bytes).
                if (header[3] == 1 && length == 32 && (header[4] | (header[5] << 8)) & kClientSsl)
                    encrypted = true;
                pending.erase(0, 4 + length);
                if (encrypted) {
                    // Whatever followed in the same read is the start of the TLS handshake.
                    Record(from_client_, pending.data(), pending.size());
                    if (!pending.empty() && !SendAll(server, pending.data(), pending.size())) {
                        cut = true;
                        break;
                    }
                    pending.clear();
                }
            }
            if (cut)
                break;
        }
    }
    if (server >= 0)
        ::close(server);
    ::close(client);
}

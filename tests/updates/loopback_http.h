// A small HTTP/1.1 server on 127.0.0.1 for tests and benchmarks, on a thread
// of its own: each path answers with a status and a body as set, or with a
// body shorter than announced, or never (until the server stops).
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarvela::testing {

class LoopbackHttp {
public:
    struct Response {
        int status = 200;
        std::string body;
        bool truncated = false;  // announces 1000 bytes more than it sends
        bool hang = false;       // reads the request and never answers
    };

    LoopbackHttp() {
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof a;
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(listen_, 16) == 0 &&
            ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) == 0 && ::pipe2(stop_, O_CLOEXEC) == 0) {
            port_ = ntohs(a.sin_port);
            thread_ = std::thread([this] { serve(); });
        }
    }
    ~LoopbackHttp() {
        if (thread_.joinable()) {
            [[maybe_unused]] ssize_t n = ::write(stop_[1], "x", 1);
            thread_.join();
        }
        for (int fd : {listen_, stop_[0], stop_[1]}) ::close(fd);
    }

    bool ok() const { return thread_.joinable(); }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    void set(const std::string& path, Response r) {
        std::lock_guard<std::mutex> lock(m_);
        routes_[path] = std::move(r);
    }
    void set(const std::string& path, int status, std::string body) { set(path, Response{status, std::move(body)}); }
    int hits(const std::string& path) {
        std::lock_guard<std::mutex> lock(m_);
        return hits_[path];
    }
    // Waits until `path` has had `n` requests; false when `seconds` pass first.
    bool waitForHits(const std::string& path, int n, double seconds) {
        std::unique_lock<std::mutex> lock(m_);
        return hit_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return hits_[path] >= n; });
    }

private:
    void serve() {
        std::vector<int> held;  // connections never answered
        for (;;) {
            pollfd p[2] = {{listen_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (::poll(p, 2, -1) < 0 || p[1].revents) break;
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0 && answer(fd)) ::close(fd);
            else if (fd >= 0) held.push_back(fd);
        }
        for (int fd : held) ::close(fd);
    }
    // False when the connection is held open without an answer.
    bool answer(int fd) {
        std::string req;
        char buf[4096];
        while (req.find("\r\n\r\n") == std::string::npos) {
            pollfd p{fd, POLLIN, 0};
            const ssize_t n = ::poll(&p, 1, 5000) > 0 ? ::read(fd, buf, sizeof buf) : 0;
            if (n <= 0) return true;
            req.append(buf, static_cast<size_t>(n));
        }
        const size_t from = req.find(' ') + 1;
        const std::string path = req.substr(from, req.find(' ', from) - from);
        Response r{404, "not here"};
        {
            std::lock_guard<std::mutex> lock(m_);
            ++hits_[path];
            if (auto it = routes_.find(path); it != routes_.end()) r = it->second;
        }
        hit_.notify_all();
        if (r.hang) return false;
        const std::string out = "HTTP/1.1 " + std::to_string(r.status) + " X\r\nContent-Length: " +
                                std::to_string(r.body.size() + (r.truncated ? 1000 : 0)) +
                                "\r\nConnection: close\r\n\r\n" + r.body;
        for (size_t at = 0; at < out.size();) {
            const ssize_t n = ::send(fd, out.data() + at, out.size() - at, MSG_NOSIGNAL);
            if (n <= 0) break;  // the client gave up
            at += static_cast<size_t>(n);
        }
        return true;
    }

    int listen_ = -1;
    int stop_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::thread thread_;
    std::mutex m_;
    std::condition_variable hit_;
    std::map<std::string, Response> routes_;
    std::map<std::string, int> hits_;
};

}  // namespace tarvela::testing

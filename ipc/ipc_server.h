// The scripting socket: a Unix stream socket in the user's runtime folder on
// which `tarvela msg` and any other program of the same user send requests
// (see ipc_protocol.h) and receive replies and events.
//
// Everything runs on the main thread through the run loop's descriptor
// watches and never blocks: reads and writes are non-blocking, accepts are
// bounded per turn, every client has bounded input and output, and a client
// that stops reading is dropped once its output passes the bound. Only
// complete, validated requests reach the commands.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/lifetime.h"
#include "core/runloop.h"
#include "ipc/ipc_commands.h"
#include "ipc/ipc_events.h"

namespace tarvela {

struct IpcServerOptions {
    std::filesystem::path path;  // the socket; its folder is made 0700 when missing
    uid_t allowedUid = static_cast<uid_t>(-1);  // -1: the process's own user
    size_t maxClients = 64;
    size_t maxOutput = 4 << 20;  // bytes waiting for a client before it is dropped
    int acceptsPerTurn = 16;
    bool exportPath = true;  // puts TARVELA_SOCKET in the environment of the children
};

class IpcServer {
public:
    IpcServer(RunLoop& loop, IpcCommands& commands, IpcServerOptions options);
    ~IpcServer();
    IpcServer(const IpcServer&) = delete;
    IpcServer& operator=(const IpcServer&) = delete;

    // Checks the folder, binds and listens; false (with a log line) when the
    // folder is not safe or the socket cannot be made.
    bool start();
    const std::filesystem::path& path() const { return opt_.path; }

    size_t clientCount() const { return clients_.size(); }
    // Clients that subscribed to at least one topic.
    size_t subscriberCount() const;
    // Events published so far, to whoever subscribed to them. Each client's
    // events carry their own number from 1 as "seq".
    uint64_t eventCount() const { return seq_; }

private:
    struct Client;
    void acceptSome();
    void readFrom(Client& c);
    // Handles the complete lines buffered, in order, until one has to wait (sync).
    void process(Client& c);
    void handle(Client& c, std::string_view line);
    void send(Client& c, std::string_view data);
    void flushOut(Client& c);
    void setReading(Client& c, bool on);
    void drop(Client& c, const std::string& why);
    void reap();
    void publish(const std::string& topic, Json event);
    void postSyncCheck();
    void checkSyncs();
    void refuse(int fd, const std::string& why);

    RunLoop& loop_;
    IpcCommands& commands_;
    IpcServerOptions opt_;
    int listenFd_ = -1;
    RunLoop::WatchId listenWatch_ = 0;
    std::map<uint64_t, std::unique_ptr<Client>> clients_;
    uint64_t nextClient_ = 1;
    uint64_t seq_ = 0;
    bool syncCheckPosted_ = false;
    bool reapPosted_ = false;
    std::unique_ptr<IpcEvents> events_;
    Connection changed_;
    Lifetime life_;
};

}  // namespace tarvela

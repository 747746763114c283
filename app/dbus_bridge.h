// Tarvela on the session bus (Qt D-Bus; the only files of the shell that
// speak it): desktop notifications for the background check, the question
// whether a notification server answers, and the "show the update window"
// signal that any process of the user may send and a running Tarvela obeys:
//   signal  path /app/tarvela  interface app.tarvela  member showUpdate
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "updates/notify_check.h"

class QObject;
class QCoreApplication;

namespace tarvela {

namespace show_update_signal {
inline constexpr const char* path = "/app/tarvela";
inline constexpr const char* interface = "app.tarvela";
inline constexpr const char* member = "showUpdate";
}  // namespace show_update_signal

// org.freedesktop.Notifications. Makes a QCoreApplication when there is none
// (the background check has no other), and only when first needed.
class DbusNotifications final : public UpdateNotifications {
public:
    DbusNotifications();
    ~DbusNotifications() override;
    bool allowed() override;
    std::optional<std::string> post(const UpdateNotification& n) override;
    Answer waitForAnswer(double seconds) override;

private:
    void ensureApp();
    std::unique_ptr<QCoreApplication> app_;
    std::unique_ptr<QObject> listener_;
    uint32_t id_ = 0;
};

// Asks, without blocking, whether a notification server answers on the
// session bus; `done` runs on the Qt event loop's thread with the answer.
void askNotificationsAllowed(std::function<void(bool)> done);

// Sends the signal and waits until the bus has it; false without a bus.
bool sendShowUpdate();

// Calls `onShow` whenever any process sends the signal, for as long as it lives.
class ShowUpdateListener {
public:
    explicit ShowUpdateListener(std::function<void()> onShow);
    ~ShowUpdateListener();
    ShowUpdateListener(const ShowUpdateListener&) = delete;
    ShowUpdateListener& operator=(const ShowUpdateListener&) = delete;
    bool listening() const { return listening_; }

private:
    std::unique_ptr<QObject> receiver_;
    bool listening_ = false;
};

// The background check as a process: this user's settings, feed, log and
// session bus. Returns the process's exit status.
int runNotifyCheckProcess();

}  // namespace tarvela

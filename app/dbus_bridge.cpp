#include "app/dbus_bridge.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <filesystem>

#include "core/processes.h"
#include "ipc/single_instance.h"
#include "settings/app_info.h"
#include "settings/defaults_file.h"
#include "updates/update_config.h"

namespace tarvela {
namespace {

const QString kService = "org.freedesktop.Notifications";
const QString kPath = "/org/freedesktop/Notifications";
const QString kInterface = "org.freedesktop.Notifications";
// A server that D-Bus has to start first may take a moment to answer.
constexpr int kCallTimeoutMs = 5000;

QDBusMessage notificationsCall(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

// Receives the notification server's signals for the notification last posted.
class NotificationAnswers : public QObject {
    Q_OBJECT
public:
    uint id = 0;
    std::optional<UpdateNotifications::Answer> answer;
    QEventLoop* waiting = nullptr;

public Q_SLOTS:
    void actionInvoked(uint which, const QString& key) {
        if (which != id || answer) return;
        answer = key == "INSTALL" || key == "default" ? UpdateNotifications::Answer::install
                                                      : UpdateNotifications::Answer::later;
        if (waiting) waiting->quit();
    }
    void closed(uint which, uint) {
        if (which != id || answer) return;
        answer = UpdateNotifications::Answer::dismissed;
        if (waiting) waiting->quit();
    }
};

class ShowUpdateReceiver : public QObject {
    Q_OBJECT
public:
    std::function<void()> onShow;

public Q_SLOTS:
    void showUpdate() {
        if (onShow) onShow();
    }
};

DbusNotifications::DbusNotifications() = default;
DbusNotifications::~DbusNotifications() {
    listener_.reset();
    app_.reset();
}

void DbusNotifications::ensureApp() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "tarvela";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QCoreApplication>(argc, argv);
}

bool DbusNotifications::allowed() {
    ensureApp();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    const QDBusMessage reply = bus.call(notificationsCall("GetServerInformation"), QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

std::optional<std::string> DbusNotifications::post(const UpdateNotification& n) {
    ensureApp();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return std::string("no session bus");
    // Listening before posting: an answer cannot come before the listener.
    auto answers = std::make_unique<NotificationAnswers>();
    bus.connect(kService, kPath, kInterface, "ActionInvoked", answers.get(), SLOT(actionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, "NotificationClosed", answers.get(), SLOT(closed(uint, uint)));

    QStringList actions;
    for (const auto& [key, label] : n.actions) actions << QString::fromStdString(key) << QString::fromStdString(label);
    QVariantMap hints;
    // One notification per identifier: a server that stacks by tag replaces
    // an earlier one for the same version.
    hints["x-dunst-stack-tag"] = QString::fromStdString(n.identifier);
    hints["sound-name"] = QString("message-new-instant");
    QDBusMessage call = notificationsCall("Notify");
    call << QString("Tarvela") << uint(0) << QString() << QString::fromStdString(n.title)
         << QString::fromStdString(n.body) << actions << hints << int(-1);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return reply.errorMessage().isEmpty() ? std::string("the notification server did not answer")
                                              : reply.errorMessage().toStdString();
    id_ = reply.arguments().first().toUInt();
    answers->id = id_;
    listener_ = std::move(answers);
    return std::nullopt;
}

UpdateNotifications::Answer DbusNotifications::waitForAnswer(double seconds) {
    auto* answers = static_cast<NotificationAnswers*>(listener_.get());
    if (!answers) return Answer::unanswered;
    if (!answers->answer) {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(static_cast<int>(seconds * 1000));
        answers->waiting = &loop;
        loop.exec();
        answers->waiting = nullptr;
    }
    const Answer answer = answers->answer.value_or(Answer::unanswered);
    if (answer != Answer::dismissed) {
        // Once this process has its answer, or stops listening, nobody acts
        // on the notification's buttons: it goes, even from servers that keep
        // a notification after an action.
        QDBusMessage close = notificationsCall("CloseNotification");
        close << uint(id_);
        QDBusConnection::sessionBus().call(close, QDBus::Block, kCallTimeoutMs);
    }
    return answer;
}

void askNotificationsAllowed(std::function<void(bool)> done) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        done(false);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(notificationsCall("GetServerInformation")));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [done = std::move(done)](QDBusPendingCallWatcher* w) {
        done(!w->isError());
        w->deleteLater();
    });
}

bool sendShowUpdate() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    using namespace show_update_signal;
    if (!bus.send(QDBusMessage::createSignal(path, interface, member))) return false;
    // Messages leave in order: once the bus has answered this, it has the signal.
    const QDBusMessage ping = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                             "org.freedesktop.DBus.Peer", "Ping");
    return bus.call(ping, QDBus::Block, kCallTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

ShowUpdateListener::ShowUpdateListener(std::function<void()> onShow) {
    auto r = std::make_unique<ShowUpdateReceiver>();
    r->onShow = std::move(onShow);
    using namespace show_update_signal;
    listening_ = QDBusConnection::sessionBus().connect(QString(), path, interface, member, r.get(), SLOT(showUpdate()));
    receiver_ = std::move(r);
}

ShowUpdateListener::~ShowUpdateListener() {
    if (listening_) {
        using namespace show_update_signal;
        QDBusConnection::sessionBus().disconnect(QString(), path, interface, member, receiver_.get(),
                                                 SLOT(showUpdate()));
    }
}

int runNotifyCheckProcess() {
    FileDefaults& defaults = FileDefaults::standard();
    DbusNotifications notifications;
    NotifierLog log(UpdateConfig::notifierLogPath());
    const auto running = [] { return NotifyCheck::tarvelaRunning(SingleInstance::defaultDir()); };
    NotifyCheckDeps d{defaults,
                      AppInfo::version(),
                      UpdateConfig::feedFromEnvironment(),
                      running,
                      [](const std::string& url) {
                          FetchOptions o;
                          o.timeout = notify_check::feedTimeout;
                          return fetch(url, o);
                      },
                      notifications,
                      [running]() -> std::string {
                          if (running())
                              return sendShowUpdate() ? "install: asked the running Tarvela for its update window"
                                                      : "install: the running Tarvela could not be reached";
                          std::error_code ec;
                          const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
                          if (ec) return "install: Tarvela could not be started";
                          const auto detach = [](const std::vector<std::string>& argv) {
                              return startDetached(argv, {"TARVELA_NOTIFY_CHECK"});
                          };
                          return NotifyCheck::startShowingUpdate(exe, runAndWait, detach);
                      },
                      [&log](const std::string& m) { log.say(m); }};
    return NotifyCheck::run(d);
}

}  // namespace tarvela

#include "dbus_bridge.moc"

// The tray item: the pill image of StatusController as a system-tray icon
// (StatusNotifierItem where a watcher runs on the session bus, the XEmbed
// tray otherwise; Qt picks), its tool-tip, and its context menu.
#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <memory>
#include <optional>

#include "feedback/absence_notice.h"
#include "feedback/status_item.h"
#include "feedback/text_metrics.h"
#include "core/signal.h"

class QMenu;
class QSystemTrayIcon;

namespace tarvela {

// The pill drawn sharp at a device-pixel ratio; the image carries that ratio.
QImage renderPill(const PillImage& pill, double dpr);

class TrayItem final : public QObject {
    Q_OBJECT
public:
    TrayItem(StatusController& status, TextMetrics& metrics, QMenu* contextMenu);
    ~TrayItem() override;

    // Follows the controller: the icon added, redrawn or removed.
    void sync();
    // A system tray started or quit (the platform tells); the log says so
    // when it matters.
    void trayChanged(bool runs);
    bool present() const { return icon_ != nullptr; }
    // Where the icon sits on screen, when the tray host says; empty otherwise.
    QRect geometry() const;
    QString toolTip() const;
    // How many times the image has been drawn, for tests.
    int drawn() const { return drawn_; }
    // The last click on the icon, for placing the popover when the host gives
    // no geometry; none before the first.
    std::optional<QPoint> lastClick() const { return lastClick_; }

private:
    StatusController& status_;
    TextMetrics& metrics_;
    QMenu* menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    AbsenceNotice noTray_;
    int drawn_ = 0;
    std::optional<QPoint> lastClick_;
    Connection link_;
};

}  // namespace tarvela

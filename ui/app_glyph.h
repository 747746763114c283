// An application's glyph as every window and panel draws it: the window's own
// icon (_NET_WM_ICON, as the platform read it), else the icon its desktop
// entry names from the icon theme, else its first letter on a rounded square
// in a colour of its own. Drawn once per application and size, then reused:
// the HUD redraws its tiles on every focus move.
#pragma once

#include <QPixmap>
#include <QRectF>
#include <QWidget>
#include <string>
#include <unordered_map>

#include "core/platform.h"

class QPainter;

namespace tarvela {

class AppGlyphs {
public:
    static AppGlyphs& shared();
    // `appId` is the desktop-file id where one is known (else empty); `name`
    // gives the letter. `side` is in logical pixels at `dpr`.
    QPixmap glyph(const ImageRef& icon, const std::string& appId, const std::string& name, int side, double dpr = 1);
    // The icon the desktop entry `appId` names, from the icon theme; null when none.
    static QPixmap themeIcon(const std::string& appId, const std::string& name, int px);
    // The letter glyph, in a colour derived from `key`.
    static QPixmap letter(const std::string& key, const std::string& name, int px);
    size_t size() const { return cache_.size(); }
    void clear() { cache_.clear(); }

private:
    std::unordered_map<std::string, QPixmap> cache_;
};

void paintAppGlyph(QPainter& p, const QRectF& r, const ImageRef& icon, const std::string& appId,
                   const std::string& name);

// The glyph as a widget of a fixed side, for rows and lists.
class AppGlyph final : public QWidget {
public:
    AppGlyph(ImageRef icon, std::string appId, std::string name, int side, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    ImageRef icon_;
    std::string appId_, name_;
};

}  // namespace tarvela

#include "ui/app_glyph.h"

#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/desktop_entry.h"
#include "core/xdg_dirs.h"
#include "ui/painting.h"
#include "ui/theme.h"

namespace tarvela {
namespace {

// The Icon key of the desktop entry `id` in the XDG applications folders.
std::string entryIcon(const std::string& id) {
    if (id.empty() || id.find('/') != std::string::npos) return {};
    for (const std::filesystem::path& d : xdgDataDirs()) {
        std::ifstream in(d / "applications" / (id + ".desktop"));
        if (!in) continue;
        std::stringstream text;
        text << in.rdbuf();
        for (const auto& [k, v] : desktopEntryKeys(text.str()))
            if (k == "Icon") return v;
        return {};
    }
    return {};
}

std::string firstLetter(const std::string& name) {
    if (name.empty()) return "?";
    size_t n = 1;
    while (n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) ++n;
    return QString::fromStdString(name.substr(0, n)).toUpper().toStdString();
}

}  // namespace

AppGlyphs& AppGlyphs::shared() {
    static AppGlyphs g;
    return g;
}

QPixmap AppGlyphs::themeIcon(const std::string& appId, const std::string& name, int px) {
    std::string icon = entryIcon(appId);
    QIcon found;
    if (!icon.empty() && icon.front() == '/') {
        if (QFile::exists(QString::fromStdString(icon))) found = QIcon(QString::fromStdString(icon));
    } else {
        // An application without an entry is often found by its own name (xterm).
        for (const std::string& n : {icon, appId, QString::fromStdString(name).toLower().toStdString()})
            if (!n.empty() && QIcon::hasThemeIcon(QString::fromStdString(n))) {
                found = QIcon::fromTheme(QString::fromStdString(n));
                break;
            }
    }
    if (found.isNull()) return {};
    // A theme without that size gives the nearest smaller one: every glyph is `px` square.
    QPixmap pm = found.pixmap(px, px);
    if (!pm.isNull() && pm.size() != QSize(px, px))
        pm = pm.scaled(px, px, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return pm;
}

QPixmap AppGlyphs::letter(const std::string& key, const std::string& name, int px) {
    QPixmap out(px, px);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    // A hue of its own per application, steady between runs.
    uint32_t h = 2166136261u;
    for (unsigned char c : key) h = (h ^ c) * 16777619u;
    const QColor fill = QColor::fromHsv(static_cast<int>(h % 360), 140, Theme::current().dark() ? 170 : 200);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0, 0, px, px), px * 0.22, px * 0.22);
    QFont f = Theme::current().font(TypeRole::body);
    f.setPixelSize(std::max(6, static_cast<int>(px * 0.55)));
    f.setWeight(QFont::DemiBold);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, px, px), Qt::AlignCenter, QString::fromStdString(firstLetter(name)));
    return out;
}

QPixmap AppGlyphs::glyph(const ImageRef& icon, const std::string& appId, const std::string& name, int side, double dpr) {
    const int px = std::max(1, static_cast<int>(std::lround(side * dpr)));
    // The platform keeps one icon per application, so its address names it.
    std::string key = appId.empty() ? name : appId;
    key += '#' + std::to_string(reinterpret_cast<uintptr_t>(icon.get())) + '#' + std::to_string(px) +
           (Theme::current().dark() ? "d" : "l");
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    QPixmap pm;
    if (QImage own = qtImage(icon); !own.isNull())
        pm = QPixmap::fromImage(own.scaled(px, px, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    if (pm.isNull()) pm = themeIcon(appId, name, px);
    if (pm.isNull()) pm = letter(appId.empty() ? name : appId, name, px);
    pm.setDevicePixelRatio(dpr);
    return cache_[key] = pm;
}

void paintAppGlyph(QPainter& p, const QRectF& r, const ImageRef& icon, const std::string& appId, const std::string& name) {
    const double dpr = p.device() ? p.device()->devicePixelRatioF() : 1;
    const double side = std::min(r.width(), r.height());
    const QPixmap pm = AppGlyphs::shared().glyph(icon, appId, name, static_cast<int>(std::lround(side)), dpr);
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side), pm, QRectF(pm.rect()));
    p.restore();
}

AppGlyph::AppGlyph(ImageRef icon, std::string appId, std::string name, int side, QWidget* parent)
    : QWidget(parent), icon_(std::move(icon)), appId_(std::move(appId)), name_(std::move(name)) {
    setFixedSize(side, side);
    setAccessibleName(QString::fromStdString(name_));
}

void AppGlyph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintAppGlyph(p, rect(), icon_, appId_, name_);
}

}  // namespace tarvela

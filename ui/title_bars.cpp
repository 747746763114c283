#include "ui/title_bars.h"

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <cstring>

#include "feedback/palette.h"
#include "ui/painting.h"

namespace tarvela {

Image QtTitleBarPainter::paint(const TitleBarLook& look) {
    const bool dark = QApplication::palette().color(QPalette::Window).lightness() < 128;
    auto shade = [dark](const Shades& s) { return qtColor(dark ? s.dark : s.light); };
    QImage img(std::max(look.width, 1), std::max(look.height, 1), QImage::Format_ARGB32_Premultiplied);
    img.fill(shade(look.focused ? palette::titleBarFocused : palette::titleBar));
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        auto button = [&](const Rect& r, const Shades& colour) {
            p.setBrush(shade(look.focused ? colour : palette::toggleOffTrack));
            p.drawEllipse(qtRect(r));
        };
        button(titlebar::closeButton(look.width), palette::destructive);
        if (auto m = titlebar::minimiseButton(look.width, look.minimisable)) button(*m, palette::minimiseButton);
        // The title centred on the bar, clear of the buttons on either side.
        const double inset = titlebar::closeButton(look.width).maxX() + 2 * titlebar::buttonSize + 8;
        const QRectF text(inset, 0, std::max(0.0, look.width - 2 * inset), look.height);
        p.setFont(qtFont(Font{13, look.focused ? Weight::semibold : Weight::regular}));
        p.setPen(shade(look.focused ? palette::text : palette::secondaryText));
        const QString title = p.fontMetrics().elidedText(QString::fromStdString(look.title), Qt::ElideRight,
                                                         static_cast<int>(text.width()));
        p.drawText(text, Qt::AlignCenter, title);
    }
    Image out;
    out.width = img.width();
    out.height = img.height();
    out.argb.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    // Opaque throughout: premultiplied is plain ARGB.
    for (int y = 0; y < out.height; ++y)
        std::memcpy(out.argb.data() + static_cast<size_t>(y) * static_cast<size_t>(out.width), img.constScanLine(y),
                    static_cast<size_t>(out.width) * 4);
    return out;
}

void askForceQuit(const std::string& title, std::function<void(bool)> answer) {
    auto* box = new QMessageBox(QMessageBox::Warning, "Tarvela",
                                QString("“%1” is not responding.").arg(QString::fromStdString(title)));
    box->setInformativeText("Force quit it? Anything unsaved in it will be lost.");
    QPushButton* quit = box->addButton("Force Quit", QMessageBox::DestructiveRole);
    box->addButton("Wait", QMessageBox::RejectRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, quit, answer = std::move(answer)](int) { answer(box->clickedButton() == quit); });
    box->open();
}

}  // namespace tarvela

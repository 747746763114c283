// The HUD and toast windows placed where their panels say, and their clicks
// and drags handed back to the logic.
#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QLabel>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <set>

#include "feedback/hud_panel.h"
#include "feedback/overview.h"
#include "feedback/status_item.h"
#include "feedback/toast.h"
#include "tests/ui/ui_fixture.h"
#include "ui/hud_widget.h"
#include "ui/overview_widget.h"
#include "ui/toast_widget.h"
#include "ui/tray.h"
#include "ui/update_window.h"

namespace tarvela::testing {
namespace {

TEST_F(UiTest, HudSitsAtItsFrameAppearsWithOrWithoutACompositorAndAClickRaisesTheTile) {
    startThree();
    strip(0)->raise(0, 0);
    settle();
    HUDState state;
    HUDPanel hud(HUDDeps{*wm, state, time.loop(), metrics, [] { return std::nullopt; }});
    auto screens = [this] { return sim.screens(); };
    HUDWidget faded(hud, screens, [] { return true; });
    HUDWidget masked(hud, screens, [] { return false; });
    EXPECT_FALSE(faded.isVisible());

    hud.show();  // the fade in starts from nothing, and must be seen doing so
    EXPECT_TRUE(faded.isVisible());
    EXPECT_TRUE(masked.isVisible());
    time.advance(HUDPanel::fadeIn);
    const QRect g = screenToQt(sim.screens(), hud.frame()).toAlignedRect();
    EXPECT_EQ(faded.geometry(), g);
    EXPECT_EQ(masked.geometry(), g);
    // Bottom centre of the 1920 x 1080 display, the gap under it.
    EXPECT_NEAR(g.center().x(), 960, 1);
    EXPECT_EQ(g.bottom() + 1, 1080 - static_cast<int>(HUDPanel::bottomGap));

    ASSERT_EQ(hud.view().tiles.size(), 3u);
    // Each painted button is named for assistive technology, where it is drawn.
    const HUDGlyph& glyph = hud.view().tiles[2].windows[0];
    int named = 0;
    for (const QWidget* w : faded.findChildren<QWidget*>())
        named += w->geometry().contains(centre(glyph.frame)) && w->accessibleName().toStdString() == glyph.label;
    EXPECT_EQ(named, 1);
    QTest::mouseClick(&faded, Qt::LeftButton, {}, centre(hud.view().tiles[2].frame));
    settle();
    EXPECT_EQ(strip(0)->focusC, 2);
    QTest::mouseClick(&masked, Qt::LeftButton, {}, centre(hud.view().tiles[1].frame));
    settle();
    EXPECT_EQ(strip(0)->focusC, 1);

    // Left alone it fades out, and the window goes once the fade is over.
    hud.show();
    time.advance(HUDPanel::idle + HUDPanel::fadeOut);
    EXPECT_FALSE(faded.isVisible());
    hud.show();

    wm->stop(false);
    time.drain();
    ASSERT_FALSE(hud.orderedIn());
    EXPECT_FALSE(faded.isVisible());
    EXPECT_FALSE(masked.isVisible());
}

// Presses at `from`, drags `dx` to the right in screen terms (the card may
// follow) and lets go; returns how far the card had followed.
int dragRight(QWidget& card, QPoint from, int dx) {
    const QPoint start = card.mapToGlobal(from);
    const int x0 = card.x();
    QTest::mousePress(&card, Qt::LeftButton, {}, from);
    QTest::mouseMove(&card, card.mapFromGlobal(start + QPoint(dx, 0)));
    const int followed = card.x() - x0;
    QTest::mouseRelease(&card, Qt::LeftButton, {}, card.mapFromGlobal(start + QPoint(dx, 0)));
    return followed;
}

TEST_F(UiTest, ToastCardFollowsItsPanelAndAnswersButtonsAndSwipes) {
    display("Built-in Display");
    auto screens = [this] { return sim.screens(); };
    Toast toast(ToastDeps{time.loop(), metrics, screens});
    ToastWindows cards(toast, screens, [] { return true; });
    ToastCard& card = cards.current();
    int installs = 0;
    auto show = [&](bool primary) {
        toast.show(ToastModel{"Tarvela 1.1 is available", "Smoother scrolling.",
                              primary ? std::optional<std::string>("Install") : std::nullopt, [&] { ++installs; },
                              "Later"},
                   std::nullopt);
    };
    auto frame = [&] { return screenToQt(sim.screens(), toast.panel()->frame).toAlignedRect(); };

    show(true);
    time.advance(0.1);  // sliding in
    EXPECT_TRUE(card.isVisible());
    EXPECT_EQ(card.geometry(), frame());
    settle();
    EXPECT_EQ(card.geometry(), frame());
    // At rest at the top right, under the 25-point menu bar.
    EXPECT_EQ(card.geometry().topRight(), QPoint(1920 - 12 - 1, 25 + 10));
    const ToastLayout layout = toast.panel()->layout;
    ASSERT_TRUE(layout.primary);

    QTest::mouseClick(&card, Qt::LeftButton, {}, centre(layout.secondary));
    EXPECT_FALSE(toast.panel());
    EXPECT_EQ(installs, 0);
    settle();
    EXPECT_FALSE(card.isVisible());

    show(true);
    settle();
    QTest::mouseClick(&card, Qt::LeftButton, {}, centre(*layout.primary));
    EXPECT_EQ(installs, 1);
    EXPECT_FALSE(toast.panel());

    // Drags start on the secondary button: a drag is never a press of it.
    show(false);
    settle();
    const int rest = card.x();
    EXPECT_EQ(dragRight(card, centre(toast.panel()->layout.secondary), 30), 30);
    ASSERT_TRUE(toast.panel());
    EXPECT_EQ(card.x(), rest);
    dragRight(card, centre(toast.panel()->layout.secondary), 50);
    EXPECT_FALSE(toast.panel());
    EXPECT_TRUE(toast.leaving());
}

// What a text comes out as where Qt guesses whether it is markup (tool-tips,
// labels), without the tray's invisible word joiners.
std::string seen(const QString& text, Qt::TextFormat format = Qt::AutoText) {
    QTextDocument doc;
    if (format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text))) doc.setHtml(text);
    else doc.setPlainText(text);
    return doc.toPlainText().remove(QChar(0x2060)).toStdString();
}

TEST_F(UiTest, ClientTextIsShownAsWrittenAndCutOnWholeCharacters) {
    std::vector<std::string> names = {"<b>Bold</b>", "<img src=\"/etc/hostname\">", "&lt;i&gt;x", "Tom & Jerry <3", ""};
    for (int i = 0; i < 12; ++i) names.back() += " \xc3\x89l\xc3\xa9phant\xf0\x9f\x90\x98";  // Éléphant🐘
    display("Built-in Display");
    for (size_t i = 0; i < names.size(); ++i) window(app(names[i]), 100 + 300 * static_cast<double>(i));
    startAndSettle();
    HUDState state;
    HUDPanel hud(HUDDeps{*wm, state, time.loop(), metrics, [] { return std::nullopt; }});
    HUDWidget hudWidget(hud, [this] { return sim.screens(); }, [] { return true; });
    StatusController status(*wm, *prefs, time.loop());
    status.install();
    TrayItem tray(status, metrics, nullptr);
    Signal<> updateChanged;
    UpdateView update;
    UpdateWindow updateWindow(UpdateWindowDeps{[&] { return update; }, updateChanged, [](auto) {}, [] {}});

    hud.show();
    std::vector<HUDGlyph> glyphs;  // the view is rebuilt at every change
    for (const HUDTile& t : hud.view().tiles) glyphs.push_back(t.windows.at(0));
    ASSERT_EQ(glyphs.size(), names.size());
    for (const HUDGlyph& g : glyphs) {
        QHelpEvent help(QEvent::ToolTip, centre(g.frame), hudWidget.mapToGlobal(centre(g.frame)));
        QCoreApplication::sendEvent(&hudWidget, &help);
        EXPECT_EQ(seen(QToolTip::text()), g.app);
        wm->note.set("Moved " + g.app + " to DELL");
        settleAll();
        EXPECT_EQ(seen(tray.toolTip()), wm->note());
        update.title = g.app;
        update.notes = {g.app};
        updateChanged.emit();
        std::set<std::string> labels;
        for (const QLabel* l : updateWindow.findChildren<QLabel*>()) labels.insert(seen(l->text(), l->textFormat()));
        EXPECT_TRUE(labels.count(g.app) && labels.count("•  " + g.app)) << g.app;
    }

    // Too long for its card, a name ends in "…" after a whole character.
    const OverviewModel ov = OverviewModel::make(*wm, sim, {}, metrics, {1920, 1080});
    std::string cut = ov.sections.at(0).columns.back().cards.at(0).sketch->name.text;
    ASSERT_TRUE(cut.ends_with("…"));
    cut.resize(cut.size() - std::string("…").size());
    EXPECT_TRUE(names.back().starts_with(cut) && QString::fromStdString(cut).toStdString() == cut);
}

TEST_F(UiTest, ToastTextEndsInAnEllipsisAfterThreeLines) {
    display("Built-in Display");
    ToastModel m{"Workspace restored", "short", std::nullopt, nullptr, "OK"};
    const ToastLayout whole = ToastLayout::make(m, metrics);
    EXPECT_EQ(whole.shownText, "short");
    for (int i = 0; i < 30; ++i) m.text += ", Application" + std::to_string(i);
    const ToastLayout cut = ToastLayout::make(m, metrics);
    EXPECT_EQ(std::count(cut.shownText.begin(), cut.shownText.end(), '\n'), toast::textLines - 1);
    EXPECT_TRUE(cut.shownText.ends_with("…"));
    EXPECT_NEAR(cut.text.height, 3 * whole.text.height, 1);
}

// The watched windows, the last raised last: as they stand on the screen.
class Raises final : public QObject {
public:
    std::vector<const QObject*> order;
    long place(const QWidget& w) const { return std::find(order.begin(), order.end(), &w) - order.begin(); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::ZOrderChange) std::erase(order, o), order.push_back(o);
        return false;
    }
};

TEST_F(UiTest, HudStaysUnderAnOpenOverviewAndItsChevronPointsUpUntilTheOptionsOpen) {
    startThree();
    auto screens = [this] { return sim.screens(); };
    HUDState state;
    HUDPanel hud(HUDDeps{*wm, state, time.loop(), metrics, [] { return std::nullopt; }});
    HUDWidget hudWidget(hud, screens, [] { return true; });
    Overview overview(OverviewDeps{*wm, sim, time.loop(), metrics, [](std::function<void()> fn) { fn(); }});
    OverviewWidget overviewWidget(overview, screens, [] { return true; });
    Toast toast(ToastDeps{time.loop(), metrics, screens});
    ToastWindows cards(toast, screens, [] { return true; });
    Raises raises;
    for (QWidget* w : std::initializer_list<QWidget*>{&hudWidget, &overviewWidget, &cards.current()})
        w->installEventFilter(&raises);

    // 1 when the chevron is lit at its top and dark at its bottom, -1 the other way round.
    auto tip = [&] {
        const QImage img = hudWidget.grab().toImage();
        const QPoint c = qtRect(hud.view().chevron).center().toPoint();
        const int d = qGray(img.pixel(c - QPoint(0, 2))) - qGray(img.pixel(c + QPoint(0, 2)));
        return d > 40 ? 1 : d < -40 ? -1 : 0;
    };
    hud.show();
    EXPECT_EQ(tip(), 1);
    hud.toggleOptions();
    EXPECT_EQ(tip(), -1);

    // Each raises itself after the one it must stay under: the overview as the
    // strip it shows changes, the HUD as it shows again.
    overview.open();
    toast.notice("Sent Notes to DELL", "");
    settleAll();
    strip(0)->raise((strip(0)->focusC + 1) % 3, 0);
    settleAll();
    hud.show();
    EXPECT_LT(raises.place(hudWidget), raises.place(overviewWidget));
    EXPECT_LT(raises.place(overviewWidget), raises.place(cards.current()));
}

}  // namespace
}  // namespace tarvela::testing

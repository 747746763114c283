// The parts of the X11 layer that need no X server: size hints, struts and
// screens, desktop entries, launch announcements.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "core/window_access.h"
#include "platform/x11/desktop_entries.h"
#include "platform/x11/frames.h"
#include "platform/x11/monitors.h"
#include "platform/x11/pointer_input.h"
#include "platform/x11/size_hints.h"
#include "platform/x11/startup_info.h"

namespace tarvela::x11 {
namespace {

SizeHints xtermHints() {
    // As xterm sets them: min 10x17, increments 6x13, base 4x4 (flags PMinSize|PResizeInc|PBaseSize).
    std::vector<uint32_t> w(18, 0);
    w[0] = (1u << 4) | (1u << 6) | (1u << 8);
    w[5] = 10, w[6] = 17, w[9] = 6, w[10] = 13, w[15] = 4, w[16] = 4;
    return parseSizeHints(w);
}

TEST(Frames, AFrameIsTheClientsPartInsideItsDisplayAndNeverLeavesIt) {
    const Rect left(0, 0, 960, 1080);
    // Inside, or no display: the frame is the client.
    EXPECT_EQ(frameLayout(Rect(100, 12, 400, 1056), left), (FrameLayout{Rect(100, 12, 400, 1056), 0, 0, false}));
    EXPECT_EQ(frameLayout(Rect(800, 12, 400, 1056), std::nullopt), (FrameLayout{Rect(800, 12, 400, 1056), 0, 0, false}));
    // Across either edge: clipped, the client offset inside so its root position holds.
    EXPECT_EQ(frameLayout(Rect(800, 12, 400, 1056), left), (FrameLayout{Rect(800, 12, 160, 1056), 0, 0, false}));
    EXPECT_EQ(frameLayout(Rect(-300, 12, 400, 1056), left), (FrameLayout{Rect(0, 12, 100, 1056), -300, 0, false}));
    // Wholly outside (over the next display or none): a hidden 1x1 spot, and the
    // client there, just inside its own display, where pagers look for it.
    EXPECT_EQ(frameLayout(Rect(960, 12, 400, 1056), left), (FrameLayout{Rect(560, 12, 1, 1), 0, 0, true}));
    EXPECT_EQ(frameLayout(Rect(-1400, 12, 1200, 1056), left), (FrameLayout{Rect(0, 12, 1, 1), 0, 0, true}));
}

TEST(Frames, OnlyWindowsBeyondEveryMonitorAreBroughtBackWhenWeLetGo) {
    const Rect display(0, 0, 1920, 1080);
    EXPECT_EQ(reachable(Rect(2365, 12, 910, 1056), display, false), Rect(1010, 12, 910, 1056));
    EXPECT_EQ(reachable(Rect(-2285, 12, 910, 1056), display, false), Rect(0, 12, 910, 1056));
    EXPECT_EQ(reachable(Rect(2365, 12, 910, 1056), display, true), Rect(2365, 12, 910, 1056));
    EXPECT_EQ(reachable(Rect(3000, 12, 2500, 1056), display, false).x, 0);  // wider than the display
}

TEST(Frames, FloatingWindowsOpenInsideTheirDisplayAndToolsBesideOneAnother) {
    const Rect right(960, 0, 960, 1080), dialog(0, 0, 600, 400), tool(0, 0, 300, 700);
    EXPECT_EQ(centredOn(Rect(1200, 100, 600, 800), dialog, right), Rect(1200, 300, 600, 400));  // fits
    EXPECT_EQ(centredOn(Rect(860, 100, 400, 800), dialog, right), Rect(960, 300, 600, 400));  // spills left
    EXPECT_EQ(centredOn(Rect(1720, 900, 200, 400), dialog, right), Rect(1320, 680, 600, 400));  // right, bottom
    EXPECT_EQ(centredOn(right, Rect(0, 0, 1096, 1200), right).origin(), right.origin());  // larger: left, top
    // Beside a tool in the way: right of it, else left of it, else where it wants.
    EXPECT_EQ(besideOthers(Rect(1200, 0, 300, 700), {Rect(960, 0, 300, 700)}, right), Rect(1260, 0, 300, 700));
    EXPECT_EQ(besideOthers(Rect(1620, 0, 300, 700), {Rect(1620, 0, 300, 700)}, right), Rect(1320, 0, 300, 700));
    EXPECT_EQ(besideOthers(Rect(right.origin(), tool.size()), {right}, right), Rect(right.origin(), tool.size()));
}

TEST(Releases, OneReleaseSeenTwiceCountsOnceTwoInOneMillisecondCountTwice) {
    ReleaseOnce r;
    // A grab's release and its raw twin, then a second release in the same millisecond.
    EXPECT_TRUE(r.fresh(1000, true));
    EXPECT_FALSE(r.fresh(1000, false));
    EXPECT_TRUE(r.fresh(1000, false));
    EXPECT_TRUE(r.fresh(2000, true));  // two raw releases in one millisecond
    EXPECT_TRUE(r.fresh(2000, true));
}

TEST(SizeHints, TerminalKeepsWholeCellsAsMeasuredOnXterm) {
    SizeHints h = xtermHints();
    auto width = [&](int w) { return applySizeHints(h, w, 300).width; };
    EXPECT_EQ(width(490), 490);
    EXPECT_EQ(width(491), 490);
    EXPECT_EQ(width(495), 490);
    EXPECT_EQ(width(500), 496);
    EXPECT_EQ(width(960), 958);
    EXPECT_EQ(applySizeHints(h, 490, 300).height, 290);
    // Below the minimum: the minimum, kept on the cell grid.
    EXPECT_EQ(applySizeHints(h, 1, 1).width, 10);
    EXPECT_EQ(applySizeHints(h, 1, 1).height, 17);
}

TEST(SizeHints, MinimumMaximumAndMissingHints) {
    std::vector<uint32_t> w(18, 0);
    w[0] = (1u << 4) | (1u << 5);
    w[5] = 300, w[6] = 200, w[7] = 800, w[8] = 600;
    SizeHints h = parseSizeHints(w);
    EXPECT_EQ(applySizeHints(h, 100, 100).width, 300);
    EXPECT_EQ(applySizeHints(h, 100, 100).height, 200);
    EXPECT_EQ(applySizeHints(h, 1000, 1000).width, 800);
    EXPECT_EQ(applySizeHints(h, 1000, 1000).height, 600);
    // No hints at all (or a short property): anything goes, but never zero.
    SizeHints none = parseSizeHints({1, 2});
    EXPECT_EQ(applySizeHints(none, 491, 7).width, 491);
    EXPECT_EQ(applySizeHints(none, 0, -5).height, 1);
    // Base size without minimum: the base is the minimum too (ICCCM).
    std::vector<uint32_t> b(18, 0);
    b[0] = (1u << 6) | (1u << 8);
    b[9] = 10, b[10] = 10, b[15] = 50, b[16] = 50;
    EXPECT_EQ(applySizeHints(parseSizeHints(b), 20, 75).width, 50);
    EXPECT_EQ(applySizeHints(parseSizeHints(b), 20, 75).height, 70);
}

TEST(Struts, PartialStrutsShrinkOnlyTheMonitorsTheyTouch) {
    // Two monitors side by side on a 3840x1080 root; a 30-px top panel over the left one only.
    std::vector<uint32_t> top = {0, 0, 30, 0, 0, 0, 0, 0, 0, 1919, 0, 0};
    auto s = parseStrut(top, 3840, 1080);
    ASSERT_TRUE(s);
    EXPECT_EQ(visibleArea(Rect(0, 0, 1920, 1080), {*s}, 3840, 1080), Rect(0, 30, 1920, 1050));
    EXPECT_EQ(visibleArea(Rect(1920, 0, 1920, 1080), {*s}, 3840, 1080), Rect(1920, 0, 1920, 1080));
    // A plain _NET_WM_STRUT covers its whole edge: a 48-px bottom dock and a 60-px right one.
    auto bottom = parseStrut({0, 0, 0, 48}, 3840, 1080);
    auto right = parseStrut({0, 60, 0, 0}, 3840, 1080);
    ASSERT_TRUE(bottom && right);
    EXPECT_EQ(visibleArea(Rect(1920, 0, 1920, 1080), {*bottom, *right}, 3840, 1080), Rect(1920, 0, 1860, 1032));
    // The left monitor is untouched by the right strut, which lies beyond it.
    EXPECT_EQ(visibleArea(Rect(0, 0, 1920, 1080), {*right}, 3840, 1080), Rect(0, 0, 1920, 1080));
    EXPECT_FALSE(parseStrut({0, 0, 0, 0}, 100, 100));
    EXPECT_FALSE(parseStrut({1, 2}, 100, 100));
}

TEST(Struts, ReservationsNoPanelMakesAreIgnoredAndTheRestStillCount) {
    const Rect m(0, 0, 1920, 1080);
    const auto bar = parseStrut({0, 0, 30, 0}, 1920, 1080);
    // Larger than the monitor, a top strut of 5,000, every bit set: each alone would leave nothing.
    for (const std::vector<uint32_t>& hostile : std::vector<std::vector<uint32_t>>{
             {100000, 0, 0, 0}, {0, 0, 5000, 0}, {~0u, ~0u, ~0u, ~0u}, {0, 0, 0, 600}}) {
        const auto s = parseStrut(hostile, 1920, 1080);
        ASSERT_TRUE(s);
        EXPECT_FALSE(strutFits(*s, m, 1920, 1080));
        EXPECT_EQ(visibleArea(m, {*s, *bar}, 1920, 1080), Rect(0, 30, 1920, 1050));
    }
    // A wide side panel still fits while it leaves half the width.
    const auto side = parseStrut({900, 0, 0, 0}, 1920, 1080);
    EXPECT_TRUE(strutFits(*side, m, 1920, 1080));
    EXPECT_EQ(visibleArea(m, {*side}, 1920, 1080), Rect(900, 0, 1020, 1080));
}

TEST(StartupInfo, PiecesJoinPerSenderAndQuotedValuesKeepTheirSpaces) {
    const std::string one = "new: ID=\"a b\\\"c\" SCREEN=0 NAME=Files DESCRIPTION=Opening", two = "remove: ID=x";
    auto piece = [](const std::string& text, size_t i) {
        std::array<char, 20> p{};
        (text + '\0').copy(p.data(), 20, i * 20);
        return p;
    };
    StartupAssembler as;
    EXPECT_FALSE(as.feed(9, false, piece(one, 1)));  // its start was missed
    EXPECT_FALSE(as.feed(1, true, piece(one, 0)));
    EXPECT_EQ(as.feed(2, true, piece(two, 0)), two);  // another sender in between
    EXPECT_FALSE(as.feed(1, false, piece(one, 1)));
    EXPECT_EQ(as.feed(1, false, piece(one, 2)), one);

    auto m = parseStartupMessage(one);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, "new");
    EXPECT_EQ(m->keys["ID"], "a b\"c");
    EXPECT_EQ(m->keys["SCREEN"], "0");
    EXPECT_EQ(m->keys["NAME"], "Files");
    EXPECT_FALSE(parseStartupMessage("no kind here"));
}

TEST(Screens, PrimaryFirstAndFlippedSoThatAxRectGivesRootRectsBack) {
    std::vector<Monitor> mons = {{1, "HDMI-1", Rect(1920, 0, 2560, 1440), false, {0x42}, "0badcafe"},
                                 {2, "eDP-1", Rect(0, 360, 1920, 1080), true, {}, ""}};
    auto top = parseStrut({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 4480, 1440);
    EXPECT_FALSE(top);  // all zero
    auto panel = parseStrut({0, 0, 400, 0, 0, 0, 0, 0, 1920, 4479, 0, 0}, 4480, 1440);
    ASSERT_TRUE(panel);
    auto screens = toScreens(mons, {*panel}, 4480, 1440, 1.5);
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].localizedName, "Built-in Display");
    EXPECT_EQ(screens[1].localizedName, "HDMI-1");
    // Known by connector and, where the server knows it, by the monitor itself.
    EXPECT_EQ(screens[0].key, "eDP-1");
    EXPECT_EQ(screens[1].key, "HDMI-1 0badcafe");
    // Root coordinates are the accessibility coordinates, so a primary display
    // below the root's top edge sits below y = 0 in screen coordinates too.
    EXPECT_EQ(screens[0].frame, Rect(0, -360, 1920, 1080));
    EXPECT_EQ(screens[1].backingScaleFactor, 1.5);
    // Every frame flips back to its monitor's root rect about the first screen's height.
    EXPECT_EQ(axRect(screens, screens[0].frame), Rect(0, 360, 1920, 1080));
    EXPECT_EQ(axRect(screens, screens[1].frame), Rect(1920, 0, 2560, 1440));
    EXPECT_EQ(axRect(screens, screens[1].visibleFrame), Rect(1920, 400, 2560, 1040));
    EXPECT_EQ(displayName("LVDS1"), "Built-in Display");
    EXPECT_EQ(displayName("DSI-2"), "Built-in Display");
    EXPECT_EQ(displayName("screen"), "screen");
    EXPECT_TRUE(toScreens({}, {}, 10, 10, 1).empty());
}

TEST(Screens, AMonitorIsKnownByItsEdidsBaseBlock) {
    std::vector<uint8_t> edid(256, 0), other(128, 0);
    edid[12] = 1;  // the serial number
    EXPECT_EQ(edidIdentity(edid).size(), 8u);
    EXPECT_EQ(edidIdentity(edid), edidIdentity(std::vector<uint8_t>(edid.begin(), edid.begin() + 128)));
    EXPECT_NE(edidIdentity(edid), edidIdentity(other));
    EXPECT_EQ(edidIdentity(std::vector<uint8_t>(127, 1)), "");
}

TEST(Screens, ScaleComesFromXftDpi) {
    EXPECT_EQ(scaleFromResources("Xft.antialias:\t1\nXft.dpi:\t192\n"), 2.0);
    EXPECT_EQ(scaleFromResources("Xft.dpi: 144"), 1.5);
    EXPECT_EQ(scaleFromResources(""), 1.0);
    EXPECT_EQ(scaleFromResources("Xft.dpi: lots"), 1.0);
    EXPECT_EQ(scaleFromResources("Xft.dpi: 0"), 1.0);
}

TEST(DesktopEntries, ExecLinesLoseFieldCodesAndKeepQuotedArguments) {
    EXPECT_EQ(execArguments("xterm"), (std::vector<std::string>{"xterm"}));
    EXPECT_EQ(execArguments("gedit %U"), (std::vector<std::string>{"gedit"}));
    EXPECT_EQ(execArguments("app --name=%c -f %f --x"), (std::vector<std::string>{"app", "--name=", "-f", "--x"}));
    EXPECT_EQ(execArguments("\"/opt/My App/run\" --pct 50%% \"a \\\"b\\\"\""),
              (std::vector<std::string>{"/opt/My App/run", "--pct", "50%", "a \"b\""}));
    EXPECT_EQ(execArguments("sh -c \"echo hi\" %i"), (std::vector<std::string>{"sh", "-c", "echo hi"}));
    EXPECT_TRUE(execArguments("broken \"quote").empty());
}

TEST(DesktopEntries, IndexFindsEntriesByIdAndByWMClass) {
    namespace fs = std::filesystem;
    char tmpl[] = "/tmp/tarvela-desktop-XXXXXX";
    fs::path root = mkdtemp(tmpl);
    fs::create_directories(root / "first/vendor");
    fs::create_directories(root / "second");
    std::ofstream(root / "first/org.example.Term.desktop")
        << "[Desktop Entry]\nType=Application\nName=Term\nExec=term %U\nStartupWMClass=XTermish\n"
           "[Desktop Action new]\nName=Other\n";
    std::ofstream(root / "first/vendor/tool.desktop") << "[Desktop Entry]\nType=Application\nName=Tool\nExec=tool\n";
    std::ofstream(root / "first/gone.desktop") << "[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n";
    std::ofstream(root / "first/link.desktop") << "[Desktop Entry]\nType=Link\nName=Web\n";
    std::ofstream(root / "second/org.example.Term.desktop") << "[Desktop Entry]\nType=Application\nName=Shadowed\n";
    std::ofstream(root / "second/xlogo.desktop") << "[Desktop Entry]\nType=Application\nName=Logo\nExec=xlogo\n";
    DesktopIndex idx;
    idx.load({(root / "first").string(), (root / "missing").string(), (root / "second").string()});
    ASSERT_TRUE(idx.byId("org.example.Term"));
    EXPECT_EQ(idx.byId("org.example.Term")->name, "Term");  // the first directory wins
    EXPECT_EQ(idx.byId("org.example.Term")->exec, "term %U");
    ASSERT_TRUE(idx.byId("vendor-tool"));  // subdirectories join the id with '-'
    EXPECT_FALSE(idx.byId("gone"));
    EXPECT_FALSE(idx.byId("link"));
    ASSERT_TRUE(idx.byWMClass("xtermish", "XTermish"));
    EXPECT_EQ(idx.byWMClass("xtermish", "XTermish")->id, "org.example.Term");
    ASSERT_TRUE(idx.byWMClass("xlogo", "XLogo"));  // id equal to the class, case ignored
    EXPECT_EQ(idx.byWMClass("xlogo", "XLogo")->id, "xlogo");
    EXPECT_FALSE(idx.byWMClass("nothing", "Nothing"));
    fs::remove_all(root);
}

}  // namespace
}  // namespace tarvela::x11

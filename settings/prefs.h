// The application's user settings. Each setting is read once, at construction,
// from the defaults store under a key equal to its name (a missing value or one
// of the wrong type gives the default), and every assignment writes it back at
// once, even when unchanged. Observers connect to a setting's `changed` signal
// (or to Prefs::changed for any change); both fire only on a real change.
//
//   prefs.enabled()              read
//   prefs.enabled.set(false)     assign: write through, side effects, notify
//   auto c = prefs.enabled.changed.connect([](const bool& on) { ... });
//   auto c = prefs.showDock.observe(...)   the same, called with the current value first
//
// Main thread only.
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "core/enums.h"
#include "settings/appearance.h"
#include "settings/defaults.h"
#include "settings/login_item.h"
#include "core/signal.h"

namespace tarvela {

// How each setting type sits in the store: Booleans, integers and doubles as
// themselves, Layout and Align as their raw strings. A value that does not fit
// the type reads as none.
namespace prefs_codec {
inline DefaultsValue encode(bool v) { return v; }
inline DefaultsValue encode(int v) { return static_cast<int64_t>(v); }
inline DefaultsValue encode(double v) { return v; }
inline DefaultsValue encode(const std::string& v) { return v; }
inline DefaultsValue encode(Layout v) { return std::string(rawValue(v)); }
inline DefaultsValue encode(Align v) { return std::string(rawValue(v)); }

template <class T>
std::optional<T> decode(Defaults& d, const std::string& key);
template <>
inline std::optional<bool> decode<bool>(Defaults& d, const std::string& key) { return d.getBool(key); }
template <>
inline std::optional<int> decode<int>(Defaults& d, const std::string& key) {
    auto v = d.getInt(key);
    if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
    return static_cast<int>(*v);
}
// Any number converts to a double; a non-finite one is no usable width.
template <>
inline std::optional<double> decode<double>(Defaults& d, const std::string& key) {
    std::optional<double> v = d.getDouble(key);
    if (!v)
        if (auto i = d.getInt(key)) v = static_cast<double>(*i);
    if (v && !std::isfinite(*v)) return std::nullopt;
    return v;
}
template <>
inline std::optional<std::string> decode<std::string>(Defaults& d, const std::string& key) { return d.getString(key); }
template <>
inline std::optional<Layout> decode<Layout>(Defaults& d, const std::string& key) {
    auto s = d.getString(key);
    return s ? layoutFromRaw(*s) : std::nullopt;
}
template <>
inline std::optional<Align> decode<Align>(Defaults& d, const std::string& key) {
    auto s = d.getString(key);
    return s ? alignFromRaw(*s) : std::nullopt;
}
}  // namespace prefs_codec

// One stored setting. Assigning stores the value in memory, writes it to the
// store, runs the owner's side effect for it, then notifies (so observers
// never see a state the side effect was about to correct).
template <class T>
class Setting {
public:
    Setting(Defaults& d, Signal<>& anyChange, std::string key, T initial)
        : d_(d), anyChange_(anyChange), key_(std::move(key)), value_(initial) {}
    Setting(const Setting&) = delete;
    Setting& operator=(const Setting&) = delete;

    const T& operator()() const { return value_; }
    const T& get() const { return value_; }
    const std::string& key() const { return key_; }

    void set(const T& v) {
        bool real = !(value_ == v);
        value_ = v;
        d_.set(key_, prefs_codec::encode(value_));
        if (afterWrite_) afterWrite_();
        if (real) {
            changed.emit(value_);
            anyChange_.emit();
        }
    }

    Signal<T> changed;

    // Calls `fn` with the current value now and with every later change (for
    // observers that must act on the start-up value too, e.g. the Dock icon).
    [[nodiscard]] Connection observe(typename Signal<T>::Slot fn) {
        fn(value_);
        return changed.connect(std::move(fn));
    }

private:
    friend class Prefs;
    Defaults& d_;
    Signal<>& anyChange_;
    std::string key_;
    T value_;
    std::function<void()> afterWrite_;
};

class Prefs;

// `openAtLogin`: not stored; it asks the login-item service each time.
class OpenAtLoginSetting {
public:
    explicit OpenAtLoginSetting(Prefs& owner) : owner_(owner) {}
    OpenAtLoginSetting(const OpenAtLoginSetting&) = delete;
    OpenAtLoginSetting& operator=(const OpenAtLoginSetting&) = delete;

    // True only when the service reports the entry enabled; false without a service.
    bool operator()() const;
    bool get() const { return (*this)(); }
    // Registers or unregisters; a failure is logged ("open at login: ...") and
    // never reaches the caller, and the next read tells the real state.
    void set(bool on);

private:
    Prefs& owner_;
};

class Prefs {
public:
    // Reads every setting from `d`; writes nothing and has no side effects.
    // Either service may be absent (tests; the appearance before the user
    // interface exists) and be installed later.
    explicit Prefs(Defaults& d, LoginItemService* loginItems = nullptr, AppearanceHook* appearanceHook = nullptr);
    Prefs(const Prefs&) = delete;
    Prefs& operator=(const Prefs&) = delete;

    void setLoginItemService(LoginItemService* s) { loginItems_ = s; }
    void setAppearanceHook(AppearanceHook* h) { appearanceHook_ = h; }
    LoginItemService* loginItemService() const { return loginItems_; }

    // Applies `appearance` through the hook (does nothing without one). Called
    // by the shell at launch and by every assignment of `appearance`.
    void applyAppearance();

    // Any setting changed (for views that redraw on every change); also fired
    // before an `openAtLogin` assignment, whose value is not stored here.
    Signal<> changed;

    Defaults& d;  // the store, taken once at construction

    // Declaration order is read order.
    Setting<bool> onboarded;
    Setting<bool> enabled;
    Setting<Layout> layout;
    Setting<double> defaultWidth;  // fraction of the usable display width
    Setting<Align> align;
    Setting<bool> showMenuBar;
    Setting<bool> showDock;
    Setting<int> dimLevel;  // 0 off, 1..3 increasingly dark
    Setting<bool> blur;
    Setting<int> appearance;  // 0 light, 1 dark, anything else follows the system
    Setting<bool> notifyRestore;
    Setting<bool> notifyDrift;
    Setting<bool> previews;
    Setting<bool> swipe3;
    Setting<bool> optionScroll;
    Setting<bool> pinch4;
    Setting<bool> natural;
    Setting<int> scrollSpeed;
    Setting<bool> autoCheck;
    Setting<bool> notifyWhenClosed;
    Setting<bool> autoInstall;
    // Whether applications may take the focus: 0 smart (only after the
    // user's latest input elsewhere), 1 always, 2 never.
    Setting<int> focusPolicy;
    // How many desktops there are (1 to 10; see desktopCount) and their
    // names, one a line; a missing or empty line is the desktop's number.
    Setting<int> desktops;
    Setting<std::string> desktopNames;
    int desktopCount() const;
    std::vector<std::string> desktopNameList() const;
    // Stores the names of the first desktops, leaving the others'.
    void setDesktopNames(const std::vector<std::string>& names);
    // The pointer entering a column wholly on screen focuses its window
    // there, without a slide.
    Setting<bool> focusFollowsMouse;
    // At start, the last session comes back as a workspace restore brings
    // one back, unless the windows were put back in place already.
    Setting<bool> restoreLastSession;

    OpenAtLoginSetting openAtLogin;

private:
    friend class OpenAtLoginSetting;
    LoginItemService* loginItems_;
    AppearanceHook* appearanceHook_;
};

}  // namespace tarvela

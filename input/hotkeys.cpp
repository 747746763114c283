#include "input/hotkeys.h"

#include <algorithm>

#include "core/log.h"

namespace tarvela {

namespace {

struct ActionInfo {
    std::string_view raw;
    const char* label;
    KeyBinding binding;
};

const ActionInfo& info(Action a) {
    using namespace keycode;
    static const std::array<ActionInfo, allActions.size()> table{{
        {"focusNext", "Focus next column", {rightArrow, modmask::controlOption, "→"}},
        {"focusPrev", "Focus previous column", {leftArrow, modmask::controlOption, "←"}},
        {"jump", "Jump to column 1–4", {digits[1], modmask::controlOption, "1–4"}},
        {"sendDisplay", "Send window to next display", {n, modmask::controlOption, "N"}},
        {"cycleWidth", "Cycle column width", {r, modmask::controlOption, "R"}},
        {"wider", "Make column wider", {equals, modmask::controlOption, "="}},
        {"narrower", "Make column narrower", {minus, modmask::controlOption, "−"}},
        {"stackLeft", "Stack into left column", {s, modmask::controlOption, "S"}},
        {"floatToggle", "Float or tile window", {space, modmask::controlOption, "Space"}},
        {"overview", "Show strip overview", {m, modmask::controlOption, "M"}},
        {"tileFour", "Tile four windows", {digits[4], modmask::controlCommand, "4"}},
        {"focusUrgent", "Focus the window that wants attention", {keycode::a, modmask::controlOption, "A"}},
        {"focusUp", "Focus window above", {k, modmask::controlOption, "K"}},
        {"focusDown", "Focus window below", {j, modmask::controlOption, "J"}},
        {"focusFirst", "Focus first column", {home, modmask::controlOption, "Home"}},
        {"focusLast", "Focus last column", {end, modmask::controlOption, "End"}},
        {"centerColumn", "Center column", {c, modmask::controlOption, "C"}},
        {"moveLeft", "Move column left", {leftArrow, modmask::controlOptionShift, "←"}},
        {"moveRight", "Move column right", {rightArrow, modmask::controlOptionShift, "→"}},
        {"moveFirst", "Move column to the start", {home, modmask::controlOptionShift, "Home"}},
        {"moveLast", "Move column to the end", {end, modmask::controlOptionShift, "End"}},
        {"stackRight", "Stack into right column", {d, modmask::controlOption, "D"}},
        {"unstack", "Take window out of its column", {u, modmask::controlOption, "U"}},
        {"fullWidth", "Toggle full width", {f, modmask::controlOption, "F"}},
        {"fullScreen", "Toggle full screen", {f, modmask::controlOptionShift, "F"}},
        {"closeWindow", "Close window", {q, modmask::controlOption, "Q"}},
        {"goDesktop", "Go to desktop 1–9", {digits[1], modmask::command, "1–9"}},
        {"prevDesktop", "Previous desktop", {upArrow, modmask::controlOption, "↑"}},
        {"nextDesktop", "Next desktop", {downArrow, modmask::controlOption, "↓"}},
        {"sendToDesktop", "Send window to desktop 1–9", {digits[1], modmask::command | modmask::shift, "1–9"}},
        // Super+Alt alone is a common choice for jumping; with Shift it is free.
        {"sendColumnToDesktop", "Send column to desktop 1–9",
         {digits[1], modmask::command | modmask::option | modmask::shift, "1–9"}},
        {"sendToPrevDesktop", "Send window to previous desktop", {upArrow, modmask::controlOption | modmask::shift, "↑"}},
        {"sendToNextDesktop", "Send window to next desktop", {downArrow, modmask::controlOption | modmask::shift, "↓"}},
        {"sendColumnToPrevDesktop", "Send column to previous desktop",
         {upArrow, modmask::command | modmask::option | modmask::shift, "↑"}},
        {"sendColumnToNextDesktop", "Send column to next desktop",
         {downArrow, modmask::command | modmask::option | modmask::shift, "↓"}},
    }};
    return table[static_cast<size_t>(a)];
}

constexpr uint32_t jumpBase = 100;
constexpr uint32_t workspaceBase = 200;

// Actions bound to a row of digits under one set of modifiers: jumping to
// columns 1 to 4, desktops 1 to 9. Each digit is a hot key of its own,
// numbered base + digit.
struct DigitRow {
    uint32_t last;
    uint32_t base;
};
std::optional<DigitRow> digitRow(Action a) {
    switch (a) {
        case Action::jump: return DigitRow{4, jumpBase};
        case Action::goDesktop: return DigitRow{9, 300};
        case Action::sendToDesktop: return DigitRow{9, 310};
        case Action::sendColumnToDesktop: return DigitRow{9, 320};
        default: return std::nullopt;
    }
}

// Whether `keyCode` is one of the digits a row takes.
bool inRow(const DigitRow& row, uint32_t keyCode) {
    auto end = keycode::digits.begin() + 1 + row.last;
    return std::find(keycode::digits.begin() + 1, end, keyCode) != end;
}

}  // namespace

std::string_view rawValue(Action a) { return info(a).raw; }

std::optional<Action> actionFromRaw(std::string_view raw) {
    for (Action a : allActions)
        if (rawValue(a) == raw) return a;
    return std::nullopt;
}

std::string label(Action a) { return info(a).label; }
KeyBinding defaultBinding(Action a) { return info(a).binding; }
int position(Action a) { return static_cast<int>(a); }

const std::vector<ActionGroup>& actionGroups() {
    static const std::vector<ActionGroup> groups{
        {"Move around", {Action::focusNext, Action::focusPrev, Action::jump, Action::sendDisplay}},
        {"Shape columns",
         {Action::cycleWidth, Action::wider, Action::narrower, Action::stackLeft, Action::floatToggle}},
        {"Layouts and overview", {Action::overview, Action::tileFour}},
        {"Attention", {Action::focusUrgent}},
        {"Move through columns",
         {Action::focusUp, Action::focusDown, Action::focusFirst, Action::focusLast, Action::centerColumn}},
        {"Move columns", {Action::moveLeft, Action::moveRight, Action::moveFirst, Action::moveLast}},
        {"Stack and size", {Action::stackRight, Action::unstack, Action::fullWidth}},
        {"Windows", {Action::fullScreen, Action::closeWindow}},
        {"Desktops",
         {Action::goDesktop, Action::prevDesktop, Action::nextDesktop, Action::sendToDesktop, Action::sendColumnToDesktop,
          Action::sendToPrevDesktop, Action::sendToNextDesktop, Action::sendColumnToPrevDesktop,
          Action::sendColumnToNextDesktop}},
    };
    return groups;
}

Hotkeys::Hotkeys(Defaults& d, HotkeyService& service, WorkspaceStore* workspaces)
    : stored_(d, key), service_(service), workspaces_(workspaces) {
    if (auto stored = stored_.load<Bindings>([](const Json& j) { return bindingsFromJSON(j, key); }))
        bindings_ = std::move(*stored);
    if (workspaces_) workspacesChanged_ = workspaces_->changed.connect([this] { registerAll(); });
}

Hotkeys::~Hotkeys() { suspend(); }

void Hotkeys::setBindings(Bindings b) {
    bool real = b != bindings_;
    bindings_ = std::move(b);
    save();
    registerAll();
    if (real) changed.emit();
}

KeyBinding Hotkeys::effective(Action a) const {
    auto it = bindings_.find(std::string(rawValue(a)));
    return it != bindings_.end() ? it->second : defaultBinding(a);
}

bool Hotkeys::yields(Action a) const {
    if (digitRow(a) || bindings_.count(std::string(rawValue(a)))) return false;
    const KeyBinding d = defaultBinding(a);
    for (Action b : allActions) {
        if (b == a || digitRow(b)) continue;
        auto it = bindings_.find(std::string(rawValue(b)));
        if (it != bindings_.end() && it->second.keyCode == d.keyCode && it->second.mods == d.mods) return true;
    }
    return false;
}

void Hotkeys::set(Action a, const KeyBinding& binding) {
    KeyBinding stored = binding;
    if (digitRow(a)) stored = {keycode::digits[1], binding.mods, defaultBinding(a).key};
    auto next = bindings_;
    next[std::string(rawValue(a))] = stored;
    setBindings(std::move(next));
}

void Hotkeys::save() { stored_.store(bindingsToJSON(bindings_)); }

void Hotkeys::installIfNeeded() {
    if (installed_) return;
    installed_ = true;
    service_.install(life_.guard([this](uint32_t number) { fire(number); }));
}

void Hotkeys::reg(uint32_t keyCode, uint32_t mods, uint32_t number) {
    auto r = service_.registerHotkey(keyCode, mods, number);
    if (r.status == 0 && r.handle) {
        refs_.push_back(*r.handle);
        return;
    }
    log("hotkey " + std::to_string(number) + " could not be registered (" + std::to_string(r.status) +
        "); another app may own it");
}

void Hotkeys::suspend() {
    for (auto h : refs_) service_.unregisterHotkey(h);
    refs_.clear();
}

void Hotkeys::registerAll() {
    installIfNeeded();
    suspend();
    for (Action a : allActions) {
        KeyBinding b = effective(a);
        if (auto row = digitRow(a)) {
            for (uint32_t digit = 1; digit <= row->last; ++digit) reg(keycode::digits[digit], b.mods, row->base + digit);
        } else if (!yields(a)) {
            reg(b.keyCode, b.mods, static_cast<uint32_t>(position(a) + 1));
        }
    }
    if (!workspaces_) return;
    // Slots outside 0 to 9 have no digit key; the store never keeps one, but a
    // workspace handed in some other way must not index past the digits.
    for (auto& ws : workspaces_->items())
        if (ws.slot && validSlot(*ws.slot))
            reg(keycode::digits[static_cast<size_t>(*ws.slot)], modmask::controlOption,
                workspaceBase + static_cast<uint32_t>(*ws.slot));
}

std::optional<std::string> Hotkeys::conflict(const KeyBinding& binding, Action excluding) const {
    for (Action b : allActions) {
        if (b == excluding || yields(b)) continue;
        KeyBinding eb = effective(b);
        auto row = digitRow(b);
        auto mine = digitRow(excluding);
        if (eb.mods != binding.mods) continue;
        // A row's new modifiers take over its digits under them.
        if (row && mine) {
            return label(b);  // both take digit 1 on
        } else if (row ? inRow(*row, binding.keyCode) : mine ? inRow(*mine, eb.keyCode) : eb.keyCode == binding.keyCode) {
            return label(b);
        }
    }
    if (binding.mods == modmask::controlOption && workspaces_) {
        for (auto& ws : workspaces_->items())
            if (ws.slot && validSlot(*ws.slot) && keycode::digits[static_cast<size_t>(*ws.slot)] == binding.keyCode)
                return ws.name;
    }
    return std::nullopt;
}

std::set<int> Hotkeys::slotsTakenByActions() const {
    std::set<int> out;
    for (Action a : allActions) {
        const KeyBinding b = effective(a);
        if (b.mods != modmask::controlOption) continue;
        for (int digit = 0; digit <= 9; ++digit) {
            const uint32_t code = keycode::digits[static_cast<size_t>(digit)];
            auto row = digitRow(a);
            if (row ? inRow(*row, code) : b.keyCode == code) out.insert(digit);
        }
    }
    return out;
}

void Hotkeys::fire(uint32_t number) {
    for (Action a : allActions)
        if (auto row = digitRow(a); row && number > row->base && number <= row->base + row->last) {
            if (onAction) onAction(a, static_cast<int>(number - row->base));
            return;
        }
    if (number >= workspaceBase && number < workspaceBase + 10) {
        if (onWorkspace) onWorkspace(static_cast<int>(number - workspaceBase));
    } else if (number >= jumpBase && number < workspaceBase) {
        if (onAction) onAction(Action::jump, static_cast<int>(number - jumpBase));
    } else if (number >= 1 && number <= allActions.size()) {
        if (onAction) onAction(allActions[number - 1], 0);
    }
}

}  // namespace tarvela

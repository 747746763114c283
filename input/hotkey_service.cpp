#include "input/hotkey_service.h"

namespace tarvela {

void SimHotkeyService::install(std::function<void(uint32_t)> fire) {
    fire_ = std::move(fire);
    ++installs_;
}

HotkeyRegistration SimHotkeyService::registerHotkey(uint32_t keyCode, uint32_t carbonMods, uint32_t number) {
    if (occupied_.count({keyCode, carbonMods}) || numberFor(keyCode, carbonMods)) return {hotkeyExistsStatus, {}};
    HotkeyHandle h = next_++;
    active_[h] = {keyCode, carbonMods, number};
    return {0, h};
}

void SimHotkeyService::unregisterHotkey(HotkeyHandle handle) {
    active_.erase(handle);
    ++unregisters_;
}

std::vector<SimHotkeyService::Entry> SimHotkeyService::registered() const {
    std::vector<Entry> out;
    for (auto& [h, e] : active_) out.push_back(e);
    return out;
}

std::optional<uint32_t> SimHotkeyService::numberFor(uint32_t keyCode, uint32_t mods) const {
    for (auto& [h, e] : active_)
        if (e.keyCode == keyCode && e.mods == mods) return e.number;
    return std::nullopt;
}

void SimHotkeyService::fire(uint32_t number) {
    if (fire_) fire_(number);
}

bool SimHotkeyService::press(uint32_t keyCode, uint32_t mods) {
    auto n = numberFor(keyCode, mods);
    if (!n) return false;
    fire(*n);
    return true;
}

}  // namespace tarvela

// The platform's global hot-key service, as the shortcut logic needs it:
// register a key code with a Carbon modifier mask under a number, unregister
// by handle, and deliver the number of a pressed hot key on the main thread.
// The X11 service grabs keys on the root window; SimHotkeyService is the
// recording stand-in for tests (below).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace tarvela {

// Every registration is tagged with this four-character signature ('TARV',
// big-endian), for services that keep one.
inline constexpr uint32_t hotkeySignature = ('T' << 24) | ('A' << 16) | ('R' << 8) | 'V';

// The status a service reports when a combination is already taken.
inline constexpr int32_t hotkeyExistsStatus = -9878;

using HotkeyHandle = uint64_t;

struct HotkeyRegistration {
    int32_t status = 0;                 // 0 on success
    std::optional<HotkeyHandle> handle;  // present on success
};

class HotkeyService {
public:
    virtual ~HotkeyService() = default;
    // Installs the delivery of pressed hot keys; called once.
    virtual void install(std::function<void(uint32_t number)> fire) = 0;
    virtual HotkeyRegistration registerHotkey(uint32_t keyCode, uint32_t carbonMods, uint32_t number) = 0;
    virtual void unregisterHotkey(HotkeyHandle handle) = 0;
};

// A hot-key service for tests and the simulated desktop: it records what is
// registered, refuses combinations that "another application" holds (and, as
// the real services do, a combination registered twice), and fires by number
// or by pressing a combination.
class SimHotkeyService final : public HotkeyService {
public:
    struct Entry {
        uint32_t keyCode;
        uint32_t mods;
        uint32_t number;
        bool operator==(const Entry&) const = default;
    };

    void install(std::function<void(uint32_t)> fire) override;
    HotkeyRegistration registerHotkey(uint32_t keyCode, uint32_t carbonMods, uint32_t number) override;
    void unregisterHotkey(HotkeyHandle handle) override;

    // Another application takes (or frees) a combination.
    void occupy(uint32_t keyCode, uint32_t mods) { occupied_.insert({keyCode, mods}); }
    void release(uint32_t keyCode, uint32_t mods) { occupied_.erase({keyCode, mods}); }

    // Registered entries, in registration order.
    std::vector<Entry> registered() const;
    std::optional<uint32_t> numberFor(uint32_t keyCode, uint32_t mods) const;
    int installCount() const { return installs_; }
    int unregisterCount() const { return unregisters_; }

    // Delivers a number as the platform would (whether registered or not).
    void fire(uint32_t number);
    // Presses a combination: fires its number when it is registered. False when it is not.
    bool press(uint32_t keyCode, uint32_t mods);

private:
    std::function<void(uint32_t)> fire_;
    std::map<HotkeyHandle, Entry> active_;
    std::set<std::pair<uint32_t, uint32_t>> occupied_;
    HotkeyHandle next_ = 1;
    int installs_ = 0;
    int unregisters_ = 0;
};

}  // namespace tarvela

// The application-wide light/dark appearance. Prefs maps its `appearance`
// setting (0 light, 1 dark, anything else follows the system) onto a hook the
// shell installs once its user interface exists; before that nothing happens.
#pragma once

namespace tarvela {

enum class Appearance { light, dark, system };

inline Appearance appearanceFor(int value) {
    if (value == 0) return Appearance::light;
    if (value == 1) return Appearance::dark;
    return Appearance::system;
}

class AppearanceHook {
public:
    virtual ~AppearanceHook() = default;
    // `system` clears any override so the desktop's own choice applies.
    virtual void setAppearance(Appearance a) = 0;
};

}  // namespace tarvela

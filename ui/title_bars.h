// What the title bars of floating windows get from Qt: their painting in the
// application's appearance and font, and the question whether to force quit
// a window that does not answer its close.
#pragma once

#include <functional>
#include <string>

#include "core/title_bar.h"

namespace tarvela {

// Paints with the application's palette: dark when its window colour is dark.
class QtTitleBarPainter final : public TitleBarPainter {
public:
    Image paint(const TitleBarLook& look) override;
};

// Asks, without blocking, whether to force quit the application of the window
// titled `title`; `answer` hears the choice once (false when dismissed).
void askForceQuit(const std::string& title, std::function<void(bool)> answer);

}  // namespace tarvela

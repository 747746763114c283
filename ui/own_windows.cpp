#include "ui/own_windows.h"

#include <QKeySequence>
#include <QShortcut>
#include <QVBoxLayout>

namespace tarvela {

OwnWindows::~OwnWindows() {
    for (auto& [key, w] : windows_)
        if (w) delete w.data();
}

QWidget* OwnWindows::find(const std::string& key) const {
    auto it = windows_.find(key);
    return it == windows_.end() ? nullptr : it->second.data();
}

QWidget* OwnWindows::show(const OwnWindowKind& kind, const std::function<QWidget*()>& make) {
    if (QWidget* open = find(kind.key)) {
        open->showNormal();
        open->raise();
        open->activateWindow();
        return open;
    }
    if (!make) return nullptr;
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QString::fromUtf8(kind.title));
    window->setFixedSize(kind.width, kind.height);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(make());
    // Minimised as any window is: the window manager hears the iconic state.
    auto* minimise = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), window);
    QObject::connect(minimise, &QShortcut::activated, window, &QWidget::showMinimized);
    windows_[kind.key] = window;
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void OwnWindows::close(const std::string& key) {
    if (QWidget* w = find(key)) w->close();
}

void OwnWindows::destroy(const std::string& key) {
    if (QWidget* w = find(key)) delete w;
    windows_.erase(key);
}

}  // namespace tarvela

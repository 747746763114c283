// A manager on the simulated desktop under real widgets: real fonts measure
// the texts, the manual clock drives the logic, and Qt delivers its own events.
#pragma once

#include <QCoreApplication>
#include <QPoint>

#include "tests/manager/manager_fixture.h"
#include "ui/painting.h"

namespace tarvela::testing {

class UiTest : public ManagerTest {
protected:
    QtTextMetrics metrics;
    int32_t pid = 0;

    // Three windows side by side on one display, the manager at rest.
    void startThree() {
        display("Built-in Display");
        pid = app("Notes");
        for (double x : {100.0, 800.0, 1500.0}) window(pid, x);
        startAndSettle();
    }
    // The logic's timers, then whatever they posted for Qt.
    void settleAll() {
        settle();
        QCoreApplication::processEvents();
    }
    static QPoint centre(const Rect& r) { return qtRect(r).center().toPoint(); }
};

}  // namespace tarvela::testing

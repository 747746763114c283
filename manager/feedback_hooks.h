// What the manager asks of the on-screen feedback: the dim overlay's refresh
// and the overview's open/close. The feedback library implements it; the
// manager only needs this much and must not depend on it.
#pragma once

namespace tarvela {

class FeedbackHooks {
public:
    virtual ~FeedbackHooks() = default;
    // Re-reads which windows are inactive and repaints the dim overlay.
    virtual void updateDim() = 0;
    virtual bool overviewOpen() = 0;
    virtual void showOverview() = 0;
    virtual void closeOverview() = 0;
};

// For a manager without any feedback (benchmarks, a headless run).
class NoFeedback final : public FeedbackHooks {
public:
    void updateDim() override {}
    bool overviewOpen() override { return false; }
    void showOverview() override {}
    void closeOverview() override {}
};

}  // namespace tarvela

// CAutoScroll: the grid's one auto-scroll timer (timer 1). Whoever scrolls
// while the pointer is held beyond or near an edge (the rubber band, a drag
// over the grid) starts it as its client. Each tick goes to the client that
// started it last, and a client stops only its own scrolling, so the band
// and the drop never stop each other's.
//
// One per grid, owned by CGridImpl; the timer is a child of the grid named
// "Kestrum.AutoScroll". GUI thread only.
#pragma once

#include "gui/platform/Export.h"

class QObject;
class QTimer;

namespace Kestrum::GUI {

class IAutoScrollClient {
public:
    virtual void OnAutoScroll() = 0;

protected:
    ~IAutoScrollClient() = default;
};

class KESTRUM_GUI_EXPORT CAutoScroll {
public:
    // One row a tick at the slowest: slow enough to let go on the row wanted.
    static constexpr int kIntervalMs = 100;

    explicit CAutoScroll(QObject* grid);
    ~CAutoScroll();
    CAutoScroll(const CAutoScroll&) = delete;
    CAutoScroll& operator=(const CAutoScroll&) = delete;

    // Ticks go to `client` from now on; a running timer keeps its pace.
    void Start(IAutoScrollClient& client);
    // Stops the timer if `client` is the one it ticks for.
    void Stop(const IAutoScrollClient& client);
    bool IsRunningFor(const IAutoScrollClient& client) const;

private:
    void Tick();

    QTimer* m_timer; // a child of the grid
    IAutoScrollClient* m_client = nullptr;
};

} // namespace Kestrum::GUI

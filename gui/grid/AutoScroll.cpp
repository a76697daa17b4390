#include "gui/grid/AutoScroll.h"

#include <QTimer>

namespace Kestrum::GUI {

CAutoScroll::CAutoScroll(QObject* grid) : m_timer(new QTimer(grid))
{
    m_timer->setObjectName(QStringLiteral("Kestrum.AutoScroll"));
    m_timer->setInterval(kIntervalMs);
    QObject::connect(m_timer, &QTimer::timeout, [this] { Tick(); });
}

CAutoScroll::~CAutoScroll() { delete m_timer; }

void CAutoScroll::Start(IAutoScrollClient& client)
{
    m_client = &client;
    if (!m_timer->isActive())
        m_timer->start();
}

void CAutoScroll::Stop(const IAutoScrollClient& client)
{
    if (m_client != &client)
        return;
    m_client = nullptr;
    m_timer->stop();
}

bool CAutoScroll::IsRunningFor(const IAutoScrollClient& client) const { return m_client == &client && m_timer->isActive(); }

void CAutoScroll::Tick()
{
    if (m_client)
        m_client->OnAutoScroll(); // may stop the timer
    else
        m_timer->stop();
}

} // namespace Kestrum::GUI

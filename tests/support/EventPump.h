// Running the event loop in tests: for a while, or until a condition holds
// (bounded, so a broken condition fails the test instead of hanging it).
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <functional>

namespace Kestrum::Test {

// Handles pending events, then keeps handling them for `milliseconds`;
// every timer due by then has run.
inline void Pump(int milliseconds = 0)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    } while (std::chrono::steady_clock::now() < end);
    // One more pass after the deadline: a timer that fell due while the
    // process was not scheduled still runs (a loaded machine, not a fault).
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Handles events until `done` answers true or `seconds` have passed; the
// answer of `done` at the end.
inline bool PumpUntil(const std::function<bool()>& done, int seconds = 20)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace Kestrum::Test

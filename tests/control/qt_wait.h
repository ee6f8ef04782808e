// Waiting in the control program's tests: the Qt event loop runs while a
// condition is polled, so the link and the forms go on working meanwhile.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

// Polls `condition` while processing events, up to `timeoutMs`.
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Small helpers shared by the HTTP client's tests.
#pragma once

#include <QCoreApplication>
#include <QTimer>
#include <ctime>
#include <exception>
#include <functional>
#include <string>

// The message of what fn throws; empty when it returns.
inline std::string ThrownBy(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

// Runs fn from the event loop after ms, as a click or a timer would.
inline void After(int ms, std::function<void()> fn)
{
    QTimer::singleShot(ms, qApp, std::move(fn));
}

// CPU seconds the calling (GUI) thread has used.
inline double ThreadCpu()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}


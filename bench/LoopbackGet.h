// A timed GET from a loopback server, as the client benchmarks take it.
#pragma once

#include <QElapsedTimer>
#include <exception>
#include <string>

#include "net/NMHTTP.h"

// Seconds a GET of target from 127.0.0.1:port takes; the body goes to file
// (or stays in memory). What the client throws goes to error, or on when
// error is null.
inline double TimedGet(int port, const std::string& target, const std::string& file, int timeoutMs, bool toFile,
                       std::string* error)
{
    TNMHTTP http;
    http.TimeOut = timeoutMs;
    http.InputFileMode = toFile;
    http.Host = "127.0.0.1";
    http.Port = port;
    http.Body = file;
    QElapsedTimer clock;
    clock.start();
    try {
        http.Get(target);
    } catch (const std::exception& e) {
        if (!error)
            throw;
        *error = e.what();
    }
    return double(clock.nsecsElapsed()) / 1e9;
}

// The set-up both fetching windows make before each Get of a work file.
#pragma once

#include <string>

#include "app/HttpAddress.h"

class TNMHTTP;

struct ProxySetting {
    bool on = false;  // the stored switch is exactly 1
    std::string host; // as stored; read only when on
    std::string port; // as typed
};

// Reads the proxy settings at the time of use.
ProxySetting ReadProxySetting();

// Body to the file named bodyFile, the target's host and port, the proxy as
// stored now. A proxy switched off clears the component's proxy, so the
// setting the user sees is the one in force. Throws EConvertError for a proxy
// port that is not a number (before anything is sent).
void PrepareGet(TNMHTTP& http, const HttpAddress& target, const std::string& bodyFile);

#include "app/RequestSetup.h"

#include "app/Exception.h"
#include "app/Registry.h"
#include "net/NMHTTP.h"

ProxySetting ReadProxySetting()
{
    ProxySetting setting;
    setting.on = ReadRegistrySwitch(regvalue::Proxy, 0);
    if (setting.on) {
        ReadRegistryText(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::ProxyHost, setting.host);
        ReadRegistryText(HKEY_LOCAL_MACHINE, kMireloKey, regvalue::ProxyPort, setting.port);
    }
    return setting;
}

void PrepareGet(TNMHTTP& http, const HttpAddress& target, const std::string& bodyFile)
{
    http.InputFileMode = true;
    http.OutputFileMode = false;
    http.Host = target.host;
    http.Port = target.port;
    const ProxySetting proxy = ReadProxySetting();
    if (proxy.on) {
        http.Proxy = proxy.host;
        http.ProxyPort = StrToInt(proxy.port);
    } else {
        http.Proxy.clear();
        http.ProxyPort = 0;
    }
    http.Body = bodyFile;
}

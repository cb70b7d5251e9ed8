// The device's reading of a network configuration document: whatever the bytes, a refusal carries a reason, and
// accepted settings are ones the device knows and survive its state file unchanged (they are kept across power
// cycles).
#include "documentcheck.h"

#include "devicestate.h"
#include "documents.h"

#include <cstdint>
#include <string>

using fuzzcheck::check;
using namespace satemu;

namespace {

bool same(const NetworkConfig& a, const NetworkConfig& b)
{
    return a.interfaceType == b.interfaceType && a.ssid == b.ssid && a.security == b.security && a.wifiKey == b.wifiKey
        && a.lanType == b.lanType && a.ip == b.ip && a.mask == b.mask && a.gateway == b.gateway && a.dns1 == b.dns1
        && a.dns2 == b.dns2 && a.user == b.user && a.password == b.password && a.proxy == b.proxy
        && a.proxyIp == b.proxyIp && a.proxyPort == b.proxyPort && a.proxyUser == b.proxyUser
        && a.proxyPassword == b.proxyPassword;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    NetworkConfig config;
    if (!NetworkConfig::parse(reinterpret_cast<const char*>(data), size, config, error)) {
        fuzzcheck::checkReason(error);
        return 0;
    }
    check(config.interfaceType == "ETHE" || config.interfaceType == "WIFI");
    check(config.lanType == "DHCP" || config.lanType == "PPPoE" || config.lanType == "IPFIX");
    check(config.proxy >= 0 && config.proxy <= 2);

    DeviceState state;
    state.network = config;
    DeviceState restored;
    check(DeviceState::parse(state.serialise(), restored, error));
    check(same(restored.network, config));
    return 0;
}

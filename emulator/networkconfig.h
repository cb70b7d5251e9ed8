#pragma once

#include <cstddef>
#include <string>

namespace satemu {

// The device's network settings, as a network configuration document (root config) sets them.
// Addresses are kept in the device's own form, each octet in three digits (192.168.000.010).
class NetworkConfig {
public:
    static constexpr size_t kMaximumSize = 64 * 1024;

    // False with a short reason when the document is malformed or holds data outside the standard. The reason may
    // carry libxml2's own wording; the device makes it one ASCII line.
    static bool parse(const char* data, size_t size, NetworkConfig& out, std::string& error);

    std::string interfaceType = "ETHE"; // ETHE or WIFI
    std::string ssid;
    std::string security; // NONE, WEP, WPA-PERSONAL, WPA-ENTERPRISE
    std::string wifiKey;
    std::string lanType = "DHCP"; // DHCP, PPPoE or IPFIX
    std::string ip;
    std::string mask;
    std::string gateway;
    std::string dns1;
    std::string dns2;
    std::string user;
    std::string password;
    int proxy = 0; // 0 none, 1 configured, 2 transparent
    std::string proxyIp;
    std::string proxyPort;
    std::string proxyUser;
    std::string proxyPassword;
};

} // namespace satemu

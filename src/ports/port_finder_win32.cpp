// The serial ports of a Windows machine: the COM names the drivers list
// under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, each described by
// the driver's device name ("\Device\VCP0", "\Device\Serial0").

#include "ports/port_finder.h"

#include <algorithm>
#include <cwchar>
#include <windows.h>

namespace ordalia {
namespace {

std::string narrow(const wchar_t* text, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length && text[i] != 0; ++i)
        out.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
    return out;
}

int comNumber(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0)
        return 0;
    return std::atoi(name.c_str() + 3);
}

} // namespace

std::vector<FoundPort> findSystemPorts() {
    std::vector<FoundPort> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        wchar_t data[256];
        DWORD nameLength = 256;
        DWORD dataBytes = sizeof data;
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        FoundPort port;
        port.device = narrow(data, dataBytes / sizeof(wchar_t));
        port.stableName = port.device;
        std::string driver = narrow(name, nameLength);
        if (const auto slash = driver.find_last_of('\\'); slash != std::string::npos)
            driver.erase(0, slash + 1);
        port.description = driver;
        if (comNumber(port.device) > 0)
            ports.push_back(port);
    }
    RegCloseKey(key);
    std::sort(ports.begin(), ports.end(), [](const FoundPort& a, const FoundPort& b) {
        return comNumber(a.device) < comNumber(b.device);
    });
    return ports;
}

std::vector<FoundPort> findPortsUnder(const std::filesystem::path&, const std::filesystem::path&) {
    return {};
}

} // namespace ordalia

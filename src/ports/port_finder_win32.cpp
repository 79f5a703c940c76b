// The ports of a Windows machine, as Device Manager shows them: the devices
// of the Ports class through SetupAPI, each with its friendly name ("USB
// Serial Port (COM3)") and the port its device key names; the COM ports the
// drivers list under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM that SetupAPI did not
// give; and the printers of the USB printer interface (usbprint), opened by
// their interface paths. windowsPorts() makes the list of what is read here.

#include "ports/port_finder.h"
#include "ports/windows_port_names.h"

// The GUIDs below are defined here, once for the program.
#include <initguid.h>
#include <windows.h>
// After windows.h, which they need.
#include <devguid.h>
#include <devpkey.h>
#include <setupapi.h>
#include <usbprint.h>

namespace ordalia {
namespace {

std::string utf8(const wchar_t* text, std::size_t length) {
    while (length > 0 && text[length - 1] == 0)
        --length;
    if (length == 0)
        return {};
    const int size = static_cast<int>(length);
    const int wanted = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(std::max(wanted, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, size, out.data(), wanted, nullptr, nullptr);
    return out;
}

std::string registryText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t buffer[512];
    DWORD type = 0;
    DWORD size = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer, &size) ||
        type != REG_SZ)
        return {};
    return utf8(buffer, size / sizeof(wchar_t));
}

std::string busReported(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t buffer[512];
    DEVPROPTYPE type = 0;
    DWORD size = 0;
    if (!SetupDiGetDevicePropertyW(set, &device, &DEVPKEY_Device_BusReportedDeviceDesc, &type,
                                   reinterpret_cast<BYTE*>(buffer), sizeof buffer, &size, 0) ||
        type != DEVPROP_TYPE_STRING)
        return {};
    return utf8(buffer, size / sizeof(wchar_t));
}

std::string instanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t buffer[512];
    DWORD size = 0;
    if (!SetupDiGetDeviceInstanceIdW(set, &device, buffer, 512, &size))
        return {};
    return utf8(buffer, size);
}

std::string portName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t buffer[64];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    std::string name;
    if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ)
        name = utf8(buffer, size / sizeof(wchar_t));
    RegCloseKey(key);
    return name;
}

SetupApiDevice describe(HDEVINFO set, SP_DEVINFO_DATA& device) {
    SetupApiDevice d;
    d.instanceId = instanceId(set, device);
    d.friendlyName = registryText(set, device, SPDRP_FRIENDLYNAME);
    d.description = registryText(set, device, SPDRP_DEVICEDESC);
    d.manufacturer = registryText(set, device, SPDRP_MFG);
    d.busReported = busReported(set, device);
    return d;
}

std::vector<SetupApiDevice> comPorts() {
    std::vector<SetupApiDevice> found;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return found;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        SetupApiDevice d = describe(set, device);
        d.portName = portName(set, device);
        found.push_back(std::move(d));
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

std::vector<SetupApiDevice> usbPrinters() {
    std::vector<SetupApiDevice> found;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USBPRINT, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return found;
    SP_DEVICE_INTERFACE_DATA printer{};
    printer.cbSize = sizeof printer;
    for (DWORD i = 0;
         SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USBPRINT, i, &printer); ++i) {
        // The detail is a header followed by the path; room for a long one.
        alignas(SP_DEVICE_INTERFACE_DETAIL_DATA_W) BYTE storage[2048];
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage);
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!SetupDiGetDeviceInterfaceDetailW(set, &printer, detail, sizeof storage, nullptr,
                                              &device))
            continue;
        SetupApiDevice d = describe(set, device);
        d.interfacePath = utf8(detail->DevicePath, wcslen(detail->DevicePath));
        found.push_back(std::move(d));
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

std::vector<SerialCommEntry> serialComm() {
    std::vector<SerialCommEntry> found;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return found;
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
        if (result == ERROR_SUCCESS && type == REG_SZ)
            found.push_back({utf8(name, nameLength), utf8(data, dataBytes / sizeof(wchar_t))});
    }
    RegCloseKey(key);
    return found;
}

} // namespace

std::vector<FoundPort> findSystemPorts() {
    return windowsPorts(comPorts(), usbPrinters(), serialComm());
}

std::vector<FoundPort> findPortsUnder(const std::filesystem::path&, const std::filesystem::path&) {
    return {};
}

bool accessDenied(const std::string&) {
    return false;
}

} // namespace ordalia

#pragma once

#include <array>
#include <cstdint>

#include "NotifierPlatform.h"

namespace notifier {

constexpr std::uint32_t dbtDeviceArrival = 0x8000;         // DBT_DEVICEARRIVAL
constexpr std::uint32_t dbtDeviceRemoveComplete = 0x8004;  // DBT_DEVICEREMOVECOMPLETE

// A DEV_BROADCAST_DEVICEINTERFACE_W for the camera, laid out byte by byte.
constexpr std::size_t deviceInterfaceRecordSize = 66;
using DeviceInterfaceRecord = std::array<std::uint8_t, deviceInterfaceRecordSize>;

struct ClassGuid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

constexpr ClassGuid amKsCategoryCapture = {
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr ClassGuid amKsCategoryVideo = {
    0x6994AD05, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// Everything but the class GUID: size, device type, the camera's name and zeros.
void buildDeviceInterfaceRecord(DeviceInterfaceRecord& record);
void setRecordClass(DeviceInterfaceRecord& record, const ClassGuid& classGuid);

// Announces the device-node change, then the camera's arrival or removal under both capture classes,
// recording each broadcast's result. Always 1.
int broadcastDeviceChange(NotifierPlatform& platform, NotifierLog& log, std::uint32_t eventType);

}  // namespace notifier

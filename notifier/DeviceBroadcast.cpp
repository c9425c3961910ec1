#include "DeviceBroadcast.h"

#include <algorithm>

namespace notifier {
namespace {

constexpr std::uint32_t bsfForceIfHung = 0x20;
constexpr std::uint32_t bsmApplications = 0x8;
constexpr std::uint32_t wmDeviceChange = 0x0219;
constexpr std::uintptr_t dbtDevNodesChanged = 0x0007;
constexpr std::uint32_t dbtDevTypDeviceInterface = 5;

constexpr std::size_t classOffset = 12;
constexpr std::size_t nameOffset = 28;
constexpr std::size_t nameRoomUnits = (deviceInterfaceRecordSize - nameOffset) / 2;
constexpr char16_t cameraName[] = u"QOR Tavro Camera";

void putLittleEndian(DeviceInterfaceRecord& record, std::size_t offset, std::uint32_t value,
                     std::size_t width) {
    for (std::size_t byte = 0; byte < width; ++byte) {
        record[offset + byte] = static_cast<std::uint8_t>(value >> (8 * byte));
    }
}

// Clears the last error, broadcasts, and reads the error before anything else can change it.
void broadcastAndRecord(NotifierPlatform& platform, NotifierLog& log, std::uint32_t& recipients,
                        std::uintptr_t wParam, std::intptr_t lParam, std::int32_t line, const char* message) {
    platform.setLastError(0);
    const std::int32_t status =
        platform.broadcastSystemMessage(bsfForceIfHung, &recipients, wmDeviceChange, wParam, lParam);
    const std::uint32_t errorCode = platform.getLastError();
    log.logStatus(line, message, status, static_cast<std::int32_t>(errorCode));
}

}  // namespace

void buildDeviceInterfaceRecord(DeviceInterfaceRecord& record) {
    record.fill(0);
    putLittleEndian(record, 0, static_cast<std::uint32_t>(deviceInterfaceRecordSize), 4);
    putLittleEndian(record, 4, dbtDevTypDeviceInterface, 4);
    const std::size_t units = std::min(sizeof(cameraName) / sizeof(cameraName[0]), nameRoomUnits);
    for (std::size_t unit = 0; unit < units; ++unit) {
        putLittleEndian(record, nameOffset + 2 * unit, cameraName[unit], 2);
    }
}

void setRecordClass(DeviceInterfaceRecord& record, const ClassGuid& classGuid) {
    putLittleEndian(record, classOffset, classGuid.data1, 4);
    putLittleEndian(record, classOffset + 4, classGuid.data2, 2);
    putLittleEndian(record, classOffset + 6, classGuid.data3, 2);
    std::copy(std::begin(classGuid.data4), std::end(classGuid.data4), record.begin() + classOffset + 8);
}

int broadcastDeviceChange(NotifierPlatform& platform, NotifierLog& log, std::uint32_t eventType) {
    // One recipients word for all three: whatever the platform writes back carries on to the next broadcast.
    std::uint32_t recipients = bsmApplications;
    broadcastAndRecord(platform, log, recipients, dbtDevNodesChanged, 0, 21, "DBT_DEVNODES_CHANGED Status:");

    // On the stack, so obtaining it cannot fail; aligned as the platform's own structure would be.
    alignas(8) DeviceInterfaceRecord record;
    buildDeviceInterfaceRecord(record);
    const auto recordAddress = reinterpret_cast<std::intptr_t>(record.data());
    setRecordClass(record, amKsCategoryCapture);
    broadcastAndRecord(platform, log, recipients, eventType, recordAddress, 39,
                       "AM_KSCATEGORY_CAPTURE Status:");
    setRecordClass(record, amKsCategoryVideo);
    broadcastAndRecord(platform, log, recipients, eventType, recordAddress, 52,
                       "AM_KSCATEGORY_VIDEO Status:");
    return 1;
}

}  // namespace notifier

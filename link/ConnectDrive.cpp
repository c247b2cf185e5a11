#include "link/ConnectDrive.h"

#include <algorithm>
#include <array>

#include "link/DriveCommands.h"

namespace qx {

namespace {

constexpr std::array<uint32_t, 8> kSupportedVersions = {403, 703, 813, 913, 1003, 2003, 3003, 4003};

}  // namespace

bool IsSupportedSoftwareVersion(uint32_t version) {
    return std::find(kSupportedVersions.begin(), kSupportedVersions.end(), version) !=
           kSupportedVersions.end();
}

int ConnectDrive(DriveLink& link, DriveIdentity& identity, MessageSink& owner) {
    Clock& clock = link.clock();
    const uint32_t start = clock.tickMs();
    uint32_t status = 1;

    while (clock.elapsedMs(start) < kConnectLimitMs && status != kStatusOk) {
        Session session(link);
        status = session.open(SyncMode::WithSync);
        if (status != kStatusOk) {
            continue;
        }
        const std::array<uint32_t, 2> versionCells = {drive_address::kBootRomVersion,
                                                      drive_address::kSoftwareVersion};
        status = GatherWords(link, 1, versionCells, kBudgetLongMs);
        if (status != kStatusOk) {
            continue;
        }
        // Each gathered cell fills two exchange words, its value in the second.
        status = ReadWords(link, 2, drive_address::kExchangeArea, 4, kBudgetLongMs);
        if (status != kStatusOk) {
            continue;
        }
        identity.bootRomVersion = link.replyWord(1);
        identity.softwareVersion = link.replyWord(3);
        link.state().driveConnected = 1;
        if (IsSupportedSoftwareVersion(identity.softwareVersion)) {
            identity.versionAccepted = 1;
            identity.msPerTick = kMsPerTick;
            identity.baseSampleRateHz = kBaseSampleRateHz;
        } else {
            identity.versionAccepted = 0;
        }
        status = ReadWords(link, 3, drive_address::kFpgaVersion, 1, kBudgetLongMs);
        if (status != kStatusOk) {
            continue;
        }
        identity.fpgaVersion = link.replyWord(0);
    }

    if (status == kStatusOk && identity.versionAccepted != 0) {
        owner.show("Connectting with servo succeeds!", "Notes");
        return 1;
    }
    link.state().driveConnected = 0;
    owner.show("Quendrix mismatchs the servo!", kTitleWarning);
    return 0;
}

int ChooseComPort(DriveLink& link, DriveIdentity& identity, MessageSink& owner, int portNumber) {
    if (link.OpenDrivePort(owner, portNumber) != 1) {
        return 0;
    }
    return ConnectDrive(link, identity, owner);
}

}  // namespace qx

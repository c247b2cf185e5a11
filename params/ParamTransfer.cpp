#include "params/ParamTransfer.h"

#include <algorithm>
#include <span>

#include "link/DriveCommands.h"
#include "params/ParamCatalog.h"

namespace qx {

namespace {

uint16_t ImageWordAddress(std::size_t byteOffset) {
    return static_cast<uint16_t>(kParamImageFirstWord + byteOffset / 2);
}

uint32_t Unlock(DriveLink& link, Session& session) {
    const std::array<uint16_t, 1> code = {kUnlockCode};
    return WriteWords(link, session.next(), drive_address::kProtectionCode, code, kBudgetEepromMs);
}

uint32_t Store(DriveLink& link, Session& session) {
    uint32_t status = Unlock(link, session);
    for (const uint16_t op : {kStoreOpFirst, kStoreOpSecond, kStoreOpCommit}) {
        if (status != kStatusOk) {
            break;
        }
        status = StoreOp(link, session.next(), op, kBudgetEepromMs);
    }
    return status;
}

}  // namespace

uint32_t UploadParams(DriveLink& link, ParamImage& image) {
    Session session(link);
    uint32_t status = session.open(SyncMode::WithSync);
    for (std::size_t n = 0; status == kStatusOk && n < image.size();) {
        const std::size_t chunk = std::min(image.size() - n, kParamTransferChunkBytes);
        status = ReadWords(link, session.next(), ImageWordAddress(n),
                           static_cast<uint8_t>(chunk / 2), kBudgetShortMs);
        if (status == kStatusOk) {
            const auto data = link.rxFrame().begin() + kReplyDataOffset;
            std::copy(data, data + static_cast<std::ptrdiff_t>(chunk), image.begin() + n);
        }
        n += chunk;
    }
    return status;
}

uint32_t DownloadParams(DriveLink& link, ParamImage& image) {
    Session session(link);
    uint32_t status = session.open(SyncMode::WithSync);
    if (status != kStatusOk) {
        return status;
    }
    status = ReadWords(link, session.next(), kParamImageFirstWord, kParamImageHeadBytes / 2,
                       kBudgetLongMs);
    if (status != kStatusOk) {
        return status;
    }
    const auto head = link.rxFrame().begin() + kReplyDataOffset;
    std::copy(head, head + kParamImageHeadBytes, image.begin());

    for (std::size_t n = 0; status == kStatusOk && n < image.size();) {
        const std::size_t chunk = std::min(image.size() - n, kParamTransferChunkBytes);
        status = WriteBlock(link, session.next(), ImageWordAddress(n),
                            std::span<const uint8_t>(image).subspan(n, chunk), kBudgetLongMs);
        n += chunk;
    }
    if (status != kStatusOk) {
        return status;
    }
    return Store(link, session);
}

uint32_t SaveParamsToEeprom(DriveLink& link) {
    Session session(link);
    const uint32_t status = session.open(SyncMode::WithSync);
    if (status != kStatusOk) {
        return status;
    }
    return Store(link, session);
}

uint32_t LoadDefaultParams(DriveLink& link) {
    Session session(link);
    uint32_t status = session.open(SyncMode::WithSync);
    if (status == kStatusOk) {
        status = Unlock(link, session);
    }
    if (status == kStatusOk) {
        status = StoreOp(link, session.next(), kStoreOpRestoreDefaults, kBudgetEepromMs);
    }
    return status;
}

}  // namespace qx

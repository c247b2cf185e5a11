#include "tests/support/ScriptedPort.h"

#include <algorithm>

namespace qx::test {

std::size_t ScriptedPort::write(const uint8_t* data, std::size_t bytes) {
    if (!open_) {
        return 0;
    }
    const std::size_t n = std::min(bytes, writeLimit_);
    writes_.emplace_back(data, data + n);
    if (n > 0 && data[0] == 0x01) {
        return n;  // the sync burst
    }
    requests_.emplace_back(data, data + n);
    if (replies_.empty() && !always_) {
        return n;
    }
    const Reply reply = replies_.empty() ? *always_ : replies_.front();
    replies_.erase(replies_.begin(), replies_.begin() + (replies_.empty() ? 0 : 1));
    uint64_t at = clock_.nowUs();
    for (const Piece& piece : reply) {
        at += piece.delayUs;
        for (uint8_t b : piece.bytes) {
            inbox_.push(b, at);
        }
    }
    return n;
}

}  // namespace qx::test

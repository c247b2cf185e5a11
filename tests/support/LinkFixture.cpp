#include "tests/support/LinkFixture.h"

#include <algorithm>
#include <numeric>

namespace qx::test {

std::vector<uint8_t> Frame(uint8_t command, uint8_t selector, std::vector<uint8_t> body) {
    // Built in place: inserting into a four-byte vector trips a false array-bounds warning
    // of GCC 12 at -O2.
    std::vector<uint8_t> f(4 + body.size());
    f[0] = 0xAA;
    f[1] = command;
    f[2] = selector;
    f[3] = static_cast<uint8_t>((body.size() + 6) / 2);
    std::copy(body.begin(), body.end(), f.begin() + 4);
    const uint32_t sum = std::accumulate(f.begin(), f.end(), 0u);
    f.insert(f.end(), {static_cast<uint8_t>((sum >> 8) & 0xFF), static_cast<uint8_t>(sum & 0xFF)});
    return f;
}

std::vector<uint8_t> AckReply(uint8_t command, uint8_t selector, std::vector<uint16_t> words) {
    std::vector<uint8_t> body = {0xAA, 0x55};
    for (uint16_t w : words) {
        body.insert(body.end(), {static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w & 0xFF)});
    }
    return Frame(command, selector, body);
}

}  // namespace qx::test

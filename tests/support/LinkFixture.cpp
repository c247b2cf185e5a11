#include "tests/support/LinkFixture.h"

namespace qx::test {

std::vector<uint8_t> Frame(uint8_t command, uint8_t selector, std::vector<uint8_t> body) {
    std::vector<uint8_t> f = {0xAA, command, selector, static_cast<uint8_t>((body.size() + 6) / 2)};
    f.insert(f.end(), body.begin(), body.end());
    uint32_t sum = 0;
    for (uint8_t b : f) {
        sum += b;
    }
    f.push_back(static_cast<uint8_t>((sum >> 8) & 0xFF));
    f.push_back(static_cast<uint8_t>(sum & 0xFF));
    return f;
}

std::vector<uint8_t> AckReply(uint8_t command, uint8_t selector, std::vector<uint16_t> words) {
    std::vector<uint8_t> body = {0xAA, 0x55};
    for (uint16_t w : words) {
        body.push_back(static_cast<uint8_t>(w >> 8));
        body.push_back(static_cast<uint8_t>(w & 0xFF));
    }
    return Frame(command, selector, body);
}

}  // namespace qx::test

#include "params/ParamValues.h"

#include <algorithm>

namespace qx {

namespace {

std::size_t ImageOffset(int pn) {
    return 2 * static_cast<std::size_t>(ParamWordAddress(pn) - kParamImageFirstWord);
}

ParamValues Column(const std::array<int32_t, kUserParamTableSize>& column) {
    ParamValues values{};
    std::copy_n(column.begin(), kParamCount, values.begin());
    return values;
}

}  // namespace

ParamValues ParamValuesOfTable(const UserParamTable& table) {
    return Column(table.value);
}

ParamValues MinimaOfTable(const UserParamTable& table) {
    return Column(table.minimum);
}

ParamValues MaximaOfTable(const UserParamTable& table) {
    return Column(table.maximum);
}

uint16_t ParamWordInImage(const ParamImage& image, int pn) {
    const std::size_t at = ImageOffset(pn);
    return static_cast<uint16_t>(image[at] << 8 | image[at + 1]);
}

void SetParamWordInImage(ParamImage& image, int pn, uint16_t word) {
    const std::size_t at = ImageOffset(pn);
    image[at] = static_cast<uint8_t>(word >> 8);
    image[at + 1] = static_cast<uint8_t>(word & 0xFF);
}

ParamValues ParamValuesOfImage(const ParamImage& image) {
    ParamValues values{};
    for (int pn = 0; pn < kParamCount; ++pn) {
        values[pn] = static_cast<int16_t>(ParamWordInImage(image, pn));
    }
    return values;
}

bool ParamWordsDiffer(int32_t a, int32_t b) {
    return (a & 0xFFFF) != (b & 0xFFFF);
}

std::vector<int> DifferingParams(const ParamValues& a, const ParamValues& b) {
    std::vector<int> differing;
    for (int pn = 0; pn < kParamCount; ++pn) {
        if (ParamWordsDiffer(a[pn], b[pn])) {
            differing.push_back(pn);
        }
    }
    return differing;
}

}  // namespace qx

#pragma once

// The values of Pn 0 to 183 taken out of the cache or out of a parameter image, so that
// the drive and files can be shown and compared alike.

#include <array>
#include <cstdint>
#include <vector>

#include "params/ParamCatalog.h"
#include "params/ParamTransfer.h"

namespace qx {

// Sign-extended 16-bit words, as the cache holds them; index = Pn.
using ParamValues = std::array<int32_t, kParamCount>;

ParamValues ParamValuesOfTable(const UserParamTable& table);
ParamValues ParamValuesOfImage(const ParamImage& image);
ParamValues MinimaOfTable(const UserParamTable& table);
ParamValues MaximaOfTable(const UserParamTable& table);

// The word of Pn `pn` in a parameter image, high byte first.
uint16_t ParamWordInImage(const ParamImage& image, int pn);
void SetParamWordInImage(ParamImage& image, int pn, uint16_t word);

// Whether two values are different drive words (only the low 16 bits count).
bool ParamWordsDiffer(int32_t a, int32_t b);

// The Pn whose words differ, ascending.
std::vector<int> DifferingParams(const ParamValues& a, const ParamValues& b);

}  // namespace qx

#include "params/ParamTableWrites.h"

#include <algorithm>

#include "params/ParamEditor.h"
#include "params/ParamText.h"
#include "params/WriteUserParam.h"

namespace qx {

namespace {

// The Pn a drive refuses every other write for while it holds a protection code.
constexpr int kProtectionCodePn = 2;

uint32_t WriteIfChanged(const ParamWriteTarget& target, int pn, int32_t value) {
    if (!ParamWordsDiffer(target.table.value[pn], value)) {
        return kStatusOk;
    }
    return SetUserParam(target.link, target.table, &target.log, pn, value, target.owner);
}

}  // namespace

uint32_t WriteTypedParam(const ParamWriteTarget& target, int pn, std::string_view text) {
    const int width = ParamBitWidth(pn);
    if (text.empty() || (width == 0 && text == "-")) {
        return kStatusOk;
    }
    const auto parsed = ParseParamText(text, width);
    if (!parsed) {
        target.owner.show(kInvalidInputText, kTitleWarning);
        return ParamEditor::kSetRefused;
    }
    return WriteIfChanged(target, pn, ClampToParamRange(target.table, pn, *parsed));
}

uint32_t WriteFileValues(const ParamWriteTarget& target, const ParamValues& file,
                         const std::vector<int>& pns) {
    std::vector<int> order = pns;
    std::sort(order.begin(), order.end(), [](int a, int b) {
        return (a == kProtectionCodePn) != (b == kProtectionCodePn) ? b == kProtectionCodePn
                                                                    : a < b;
    });
    for (const int pn : order) {
        if (!IsValidParamNumber(pn)) {
            continue;
        }
        const uint32_t status =
            WriteIfChanged(target, pn, ClampToParamRange(target.table, pn, file[pn]));
        if (status != kStatusOk) {
            return status;
        }
    }
    return kStatusOk;
}

uint32_t RevertChanges(const ParamWriteTarget& target, const std::vector<std::size_t>& entries) {
    std::vector<std::size_t> newestFirst = entries;
    std::sort(newestFirst.rbegin(), newestFirst.rend());
    // Copied: every write the revert makes is logged too.
    const std::vector<ParamChange> log = target.log.entries();
    for (const std::size_t index : newestFirst) {
        if (index >= log.size()) {
            continue;
        }
        const uint32_t status = WriteIfChanged(target, log[index].pn, log[index].oldValue);
        if (status != kStatusOk) {
            return status;
        }
    }
    return kStatusOk;
}

}  // namespace qx

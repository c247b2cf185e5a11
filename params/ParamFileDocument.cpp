#include "params/ParamFileDocument.h"

#include "params/ParamEditor.h"
#include "params/ParamFile.h"
#include "params/ParamText.h"

namespace qx {

std::optional<std::string> ParamFileDocument::open(const std::string& path) {
    ParamImage image{};
    if (auto error = ReadParamFile(path, image)) {
        return error;
    }
    image_ = image;
    path_ = path;
    modified_ = false;
    return std::nullopt;
}

std::optional<std::string> ParamFileDocument::saveAs(const std::string& path) {
    if (auto error = WriteParamFile(path, image_)) {
        return error;
    }
    path_ = path;
    modified_ = false;
    return std::nullopt;
}

std::optional<std::string> ParamFileDocument::setValueText(int pn, std::string_view text) {
    const int width = ParamBitWidth(pn);
    if (!IsValidParamNumber(pn) || text.empty() || (width == 0 && text == "-")) {
        return std::nullopt;
    }
    const auto parsed = ParseParamText(text, width);
    if (!parsed) {
        return kInvalidInputText;
    }
    if (*parsed < kLowestWordValue || *parsed > kHighestWordValue) {
        return kNotAWordText;
    }
    const auto word = static_cast<uint16_t>(*parsed & 0xFFFF);
    if (word != ParamWordInImage(image_, pn)) {
        SetParamWordInImage(image_, pn, word);
        modified_ = true;
    }
    return std::nullopt;
}

}  // namespace qx

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "params/ParamTransfer.h"
#include "params/ParamValues.h"

namespace qx {

// A parameter file opened without a drive: its image, edited a parameter at a time, and
// saved whole with the same safe write as an upload. There are no drive ranges offline:
// a value is checked only to be a 16-bit word, and a bit field to fit its width.
class ParamFileDocument {
  public:
    // Reads `path`; on failure the text to show, and the document stays as it was.
    std::optional<std::string> open(const std::string& path);
    // Writes the image to `path` (replacing a file whole or not at all); on success the
    // document is that file and unmodified.
    std::optional<std::string> saveAs(const std::string& path);

    // A value typed for Pn `pn` in the editor's text forms. An empty text or a lone "-"
    // changes nothing. Returns the text to show when the value is refused.
    std::optional<std::string> setValueText(int pn, std::string_view text);

    const ParamImage& image() const { return image_; }
    const std::string& path() const { return path_; }
    bool isOpen() const { return !path_.empty(); }
    bool modified() const { return modified_; }
    ParamValues values() const { return ParamValuesOfImage(image_); }
    // Pn 0: the software version of the drive the file came from, which decides the
    // titles of Pn 58 and above as it does for a drive.
    uint32_t softwareVersion() const { return ParamWordInImage(image_, 0); }

  private:
    ParamImage image_{};
    std::string path_;
    bool modified_ = false;
};

// The range of texts a parameter word takes offline: signed or unsigned 16 bits.
inline constexpr int32_t kLowestWordValue = -32768;
inline constexpr int32_t kHighestWordValue = 65535;

inline constexpr const char* kNotAWordText =
    "A parameter holds a 16-bit word: type a value from -32768 to 65535.";

}  // namespace qx

#include "link/ComChoices.h"

namespace qx {

std::vector<ComChoiceItem> ComChoiceItems(const std::vector<SerialDevice>& present) {
    std::vector<ComChoiceItem> items{{kAutomaticChoiceText, ""}};
    for (const SerialDevice& d : present) {
        items.push_back({d.label() + " - " + d.path, d.path});
    }
    items.push_back({kSimulatedChoiceText, PortMap::kSimulatedDevice});
    return items;
}

std::optional<std::string> ComChoiceFromText(const std::string& text,
                                             const std::vector<ComChoiceItem>& items) {
    for (const ComChoiceItem& item : items) {
        if (item.text == text) {
            return item.choice;
        }
    }
    const auto first = text.find_first_not_of(" \t");
    const std::string typed = first == std::string::npos
                                  ? std::string()
                                  : text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (!IsValidComChoice(typed)) {
        return std::nullopt;
    }
    return typed;
}

std::vector<std::string> DevicesReport(const std::vector<SerialDevice>& present,
                                       const ComMapping& mapping) {
    std::vector<std::string> lines;
    if (present.empty()) {
        lines.push_back("No serial device found.");
    }
    for (const SerialDevice& d : present) {
        lines.push_back(d.path + "  " + d.kernelName + "  " + d.label());
    }
    for (int n = 1; n <= PortMap::kPortCount; ++n) {
        const ComTarget t = mapping.preview(n, present);
        std::string line = "COM" + std::to_string(n) + ": " + t.describe();
        switch (t.source) {
            case ComSource::CommandLine:
                line += ", from the command line";
                break;
            case ComSource::Stored:
                line += ", as set in Port Settings";
                break;
            case ComSource::Automatic:
                line += t.device.empty() ? "" : ", automatic";
                break;
        }
        if (!t.device.empty() && !t.present) {
            line += ", not present";
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace qx

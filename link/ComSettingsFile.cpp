#include "link/ComSettingsFile.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <system_error>

#include "link/ComMapping.h"

namespace qx {

namespace fs = std::filesystem;

namespace {

// A value as Qt's settings write it: optionally quoted, with \\ and \" escaped. Any
// other escape is nothing a device path holds: refused.
std::optional<std::string> Unescape(const std::string& raw) {
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\') {
            // raw[raw.size()] is the string's terminating '\0': refused like any other.
            if (raw[i + 1] != '\\' && raw[i + 1] != '"') {
                return std::nullopt;
            }
            out += raw[++i];
        } else if (c == ';' && !quoted) {
            break;  // a comment
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

}  // namespace

std::string ComSettingsKey(int portNumber) {
    return "COM" + std::to_string(portNumber);
}

fs::path ComSettingsPath() {
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = fs::path(home) / ".config";
    } else {
        return {};
    }
    return base / kSettingsOrganisation / (std::string(kSettingsApplication) + ".conf");
}

std::array<std::string, PortMap::kPortCount> ReadStoredComChoices(const fs::path& file) {
    std::array<std::string, PortMap::kPortCount> choices;
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || fs::file_size(file, ec) > kMaxSettingsFileBytes || ec) {
        return choices;
    }
    std::ifstream in(file);
    std::string line;
    const std::string header = std::string("[") + kComSettingsGroup + "]";
    bool inGroup = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == '[') {
            inGroup = line == header;
            continue;
        }
        const auto eq = line.find('=');
        if (!inGroup || eq == std::string::npos) {
            continue;
        }
        std::string key = line.substr(0, eq);
        while (!key.empty() && key.back() == ' ') {
            key.pop_back();
        }
        std::size_t start = eq + 1;
        while (start < line.size() && line[start] == ' ') {
            ++start;
        }
        for (int n = 1; n <= PortMap::kPortCount; ++n) {
            if (key != ComSettingsKey(n)) {
                continue;
            }
            const auto value = Unescape(line.substr(start));
            choices[n - 1] = value && IsValidComChoice(*value) ? *value : std::string();
        }
    }
    return choices;
}

}  // namespace qx

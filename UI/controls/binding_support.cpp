#include "binding_support.h"

#include "control_table.h"

namespace plexmoor {

int TwipsToPixels(int twips, double dpi) {
    return static_cast<int>(twips * dpi / kTwipsPerInch + 0.5);
}

int ClientWidthTwips(const Control& window) {
    return window.width() - (kWindowWidth - kClientWidth);
}

int ClientHeightTwips(const Control& window) {
    return window.height() - (kWindowHeight - kClientHeight);
}

std::vector<std::pair<std::string, std::string>> FileFilterEntries(const std::string& filter) {
    std::vector<std::string> parts;
    for (std::size_t at = 0;;) {
        std::size_t bar = filter.find('|', at);
        parts.push_back(filter.substr(at, bar - at));
        if (bar == std::string::npos) break;
        at = bar + 1;
    }
    std::vector<std::pair<std::string, std::string>> entries;
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        std::string description = parts[i];
        std::string pattern = i + 1 < parts.size() ? parts[i + 1] : std::string();
        if (!pattern.empty() && description.find('(') == std::string::npos)
            description += " (" + pattern + ")";
        entries.emplace_back(std::move(description), std::move(pattern));
    }
    return entries;
}

} // namespace plexmoor

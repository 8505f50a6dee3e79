#include "archive/EntryName.h"

#include <string>

bool IsDeviceName(std::string_view name, TDeviceStem stem) {
    std::string_view base = name.substr(0, name.find('.'));
    if (stem == TDeviceStem::SpacesTrimmed) {
        while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    }
    std::string upper;
    for (char c : base) upper += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
    return upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
           upper[3] >= '1' && upper[3] <= '9';
}

// The settings-file reader and writer on any text: a written value reads back.
#include <cstdlib>

#include "model/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TIniFile ini;
    ini.Parse(std::string(reinterpret_cast<const char*>(data), size));
    ini.ReadString("MAIN", "LastQuest", "0");
    ini.WriteString("MAIN", "LastQuest", "17");
    TIniFile again;
    again.Parse(ini.Text());
    if (again.ReadString("MAIN", "LastQuest", "x") != "17") abort();
    return 0;
}

// appendpayload: makes a test executable from the player, an archive and settings.
//   appendpayload PLAYER.exe ARCHIVE SETTINGS.json OUT.exe
// SETTINGS.json holds the payload fields by name (UTF-8 texts); missing ones are 0/empty.

#include <fstream>
#include <iostream>

#include "tools/PayloadJson.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: appendpayload PLAYER.exe ARCHIVE SETTINGS.json OUT.exe\n";
        return 2;
    }
    TPayloadInfo info;
    try {
        std::ifstream in(argv[3]);
        if (!in) {
            std::cerr << "appendpayload: cannot read " << argv[3] << "\n";
            return 1;
        }
        PayloadFromJson(nlohmann::json::parse(in), info);
    } catch (const std::exception& e) {
        std::cerr << "appendpayload: " << argv[3] << ": " << e.what() << "\n";
        return 1;
    }
    std::string error = WritePayloadExe(argv[1], argv[2], info, argv[4]);
    if (!error.empty()) {
        std::cerr << "appendpayload: " << error << "\n";
        return 1;
    }
    return 0;
}

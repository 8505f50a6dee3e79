#pragma once
// Entry names as file names. The archive's extraction refuses a device name, testmaker's unpack
// renames it; both ask here.

#include <string_view>

// Windows drops the spaces at the end of the part before the first dot, so "CON .txt" opens the
// console too. The extraction refuses such names (SpacesTrimmed); testmaker's unpack has always
// compared the part as written (AsWritten).
enum class TDeviceStem { SpacesTrimmed, AsWritten };

// Whether Windows takes the name for a device rather than a file: CON, PRN, AUX, NUL, COM1-COM9
// or LPT1-LPT9 in any case, whatever follows the first dot. The device names are ASCII, so the
// name may be Windows-1251 or UTF-8.
bool IsDeviceName(std::string_view name, TDeviceStem stem);

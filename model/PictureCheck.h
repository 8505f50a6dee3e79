#pragma once
// BMP and metafile pictures are decoded by the platform, which believes the sizes, indexes,
// counts and offsets inside them: a damaged file can make it read or write far outside the
// picture (Wine does, and crashes). These checks walk the whole file before the platform
// sees it and refuse files that point outside themselves or outside their object tables.

#include <string>

// A BMP file: the header, the colour table and every row (or every run of a run-length
// coded one) inside the file, and a size the player is willing to allocate.
bool CheckBitmapFile(const std::string& bytes, std::string& error);
// An enhanced metafile (EMF), from its header record on.
bool CheckEnhancedMetafile(const std::string& bytes, std::string& error);
// A Windows metafile (WMF) starting at `offset` (22 after a placeable header, else 0).
bool CheckWindowsMetafile(const std::string& bytes, size_t offset, std::string& error);
// A Windows metafile made from an enhanced one, which carries the original in comment
// records; the platform plays that one, so it is checked as well.
bool CheckConvertedMetafile(const std::string& bytes, std::string& error);
// A DIB without the file header (the clipboard's CF_DIB).
bool CheckPackedDib(const std::string& bytes, std::string& error);

#pragma once
// Whether the player would show an attachment, judged by the player's own readers: the picture
// checks and the JPEG decoder for pictures, the embedded-object storage check for .ole and .fme
// files, and, for sounds and videos (which go to the system's players untouched), the header
// their kind starts with. A file that fails would be an empty frame or a silent button.

#include <string>

#include "platform/FileSystem.h"

// `extension` as AttachExtension gives it: "JPG", "WAV", ... False with the reason.
bool CheckAttachmentBytes(const std::string& extension, const std::string& bytes, std::string& reason);
// The same on a file: pictures and objects are read whole, sounds and videos only as far as
// their header.
bool CheckAttachmentFile(const TPath& file, const std::string& extension, std::string& reason);

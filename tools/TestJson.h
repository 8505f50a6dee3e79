#pragma once
// JSON views of the test's records for the command-line tools; texts become UTF-8.

#include <nlohmann/json.hpp>

#include "archive/ZipArchive.h"
#include "model/TestData.h"

nlohmann::json AttachOptionsToJson(const TAttachOptions& options);
nlohmann::json QuestionToJson(const TTestQuestion& question);
nlohmann::json EntryToJson(const TZipEntry& entry);
nlohmann::json ErrorToJson(const EZipError& error);

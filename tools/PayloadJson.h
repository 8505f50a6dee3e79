#pragma once
// Test settings in JSON (UTF-8), keyed by the names of the payload's fields.

#include <nlohmann/json.hpp>

#include "app/Payload.h"

// Fills the fields present in `json`; others keep their values. Throws
// std::invalid_argument naming the key on a value of the wrong type.
void PayloadFromJson(const nlohmann::json& json, TPayloadInfo& info);
nlohmann::json PayloadToJson(const TPayloadInfo& info);

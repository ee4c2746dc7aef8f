#pragma once

#include "wire/wire_contract.h"

#include <cstddef>
#include <string>

#ifndef MIRELSKAN_SERVICE_HOST
#define MIRELSKAN_SERVICE_HOST "localhost"
#endif

// Base URL of the web translation service: scheme and host name only.
#define TRANSLATION_SERVICE_URL "http://" MIRELSKAN_SERVICE_HOST

inline constexpr const char* TRANSLATION_USER_AGENT = "Mozilla/4.0 (compatible; )";
inline constexpr std::size_t RESPONSE_READ_BLOCK = 2048;
inline constexpr const char* TRANSLATION_FAILED_TEXT = "translation problem";

// Asks the service for one chunk's translation. Every failure, running out of memory included,
// yields TRANSLATION_FAILED_TEXT; nothing is raised.
std::string FetchTranslation(const char* text, const char* languagePair);

// The request path for a chunk; bytes that would change the query or cannot stand in a
// request line are percent-encoded, spaces are left to the HTTP layer.
std::string BuildTranslationPath(const char* text, const char* languagePair);

// The text between the first start marker and the first end marker after it (or the end of
// the page); false when the page holds no start marker.
bool ExtractTranslation(const std::string& page, std::string& translation);

// English names of languages by their two-letter ISO 639-1 code, as discs label their streams:
// the platform's answer where the system would ask its locale database.
#pragma once

#include <string>

namespace plat {

// Null for codes it does not know. Case of the code does not matter.
const char* EnglishLanguageName(const std::string& code);

}  // namespace plat

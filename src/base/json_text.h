// JSON string literals from ANSI text, for every JSON document Kivrun and kivcheck write.
#pragma once
#include <string>

// `text` quoted and escaped. Script and machine text is ANSI, not UTF-8: bytes outside ASCII
// are written as their code (\u00e9).
std::string JsonString(const std::string& text);

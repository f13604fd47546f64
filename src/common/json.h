#pragma once
// JSON text for the programs' machine-readable reports.
#include <string>

// `text` as one JSON string literal, quotes included: '"' and '\' escaped,
// control bytes as \u00XX, UTF-8 kept as it is and any byte that does not
// start a valid UTF-8 sequence taken as Latin-1 (\u00XX). Nothing is cut: the
// result always parses back to the whole text.
std::string jsonString(const std::string& text);

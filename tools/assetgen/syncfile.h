#pragma once
// Writes the sync file from the score's event tables.
#include <string>

#include "score.h"

// The sync file's text: tab-separated, CR LF line ends. On an event that
// does not fall on its channel's grid, returns an empty text and says why in `err`.
std::string syncFileText(const Score& score, std::string& err);

// Writes it; an empty string on success, else the reason.
std::string writeSyncFile(const Score& score, const std::string& path);

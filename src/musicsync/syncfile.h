#pragma once
#include <string>
#include "musicsync/musicsync.h"
void loadSync(const std::string& path, char separator, MusicSync& ms = musicSync);

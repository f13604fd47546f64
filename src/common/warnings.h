#pragma once
// Problems found in a data file, and the one format every tool reports them
// in: "PROGRAM: PATH:LINE: message".
#include <cstdio>
#include <string>
#include <vector>

struct Warning {
    int line = 0;  // line of the file, counted from 1; 0 for the file as a whole
    std::string message;
};

// Appends a warning when the caller collects them (a null list ignores it).
void addWarning(std::vector<Warning>* warnings, int line, std::string message);

// "PATH:LINE" for a line, or "PATH" for the whole file.
std::string warningPlace(const std::string& path, int line);
// Writes "PROGRAM: PATH:LINE: message" and a line break to `out`.
void printWarning(std::FILE* out, const char* program, const std::string& path, const Warning& warning);

// Text in double quotes, as messages quote what a file says.
std::string quoted(const std::string& text);
// A number as messages and reports show it: up to nine significant digits,
// "nan", "inf" and "-inf" spelt out.
std::string formatNumber(double value);

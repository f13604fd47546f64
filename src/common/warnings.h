#pragma once
// Problems found in a data file, and the one format every tool reports them
// in: "PROGRAM: PATH:LINE: message".
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

struct Warning {
    int line = 0;  // line of the file, counted from 1; 0 for the file as a whole
    std::string message;
    std::string kind;       // which check found it ("line-break", "bpm", ...)
    std::size_t more = 0;   // on the last one kept of its kind: how many more of the kind were not kept
};

// The warnings found in one file: the first keptPerKind of each kind, in the
// order they were found, and a count of all. A broken file can hold millions
// of one kind; keeping the first few shows what is wrong at a cost that does
// not grow with the file. Iterates and indexes like a vector of the kept ones.
class WarningList {
public:
    static constexpr std::size_t keptPerKind = 20;

    void add(const char* kind, int line, const char* message);
    void add(const char* kind, int line, std::string message);
    // False once the kind has all the warnings it keeps: the caller may skip
    // building a message that would only be counted.
    bool keeps(const char* kind) const;

    std::size_t total() const { return total_; }  // found, kept or not
    std::size_t size() const { return kept_.size(); }
    bool empty() const { return kept_.empty(); }
    const Warning& operator[](std::size_t i) const { return kept_[i]; }
    std::vector<Warning>::const_iterator begin() const { return kept_.begin(); }
    std::vector<Warning>::const_iterator end() const { return kept_.end(); }
    void clear();

private:
    struct KindCount {
        std::string kind;
        std::size_t found = 0;
        std::size_t lastKept = 0;  // index into kept_
    };
    KindCount& countFor(const char* kind);
    // Counts the warning; true when it is to be kept.
    bool count(const char* kind);

    std::vector<Warning> kept_;
    std::vector<KindCount> kinds_;
    std::size_t total_ = 0;
};

// Adds a warning when the caller collects them (a null list ignores it).
void addWarning(WarningList* warnings, const char* kind, int line, const char* message);
void addWarning(WarningList* warnings, const char* kind, int line, std::string message);
// True when a warning of `kind` would be kept (false for a null list).
bool keepsWarning(const WarningList* warnings, const char* kind);

// "PATH:LINE" for a line, or "PATH" for the whole file.
std::string warningPlace(const std::string& path, int line);
// Writes "PROGRAM: PATH:LINE: message" and a line break to `out`.
void printWarning(std::FILE* out, const char* program, const std::string& path, const Warning& warning);
// The line that follows the last kept warning of a kind with more:
// "... and N more warnings like this".
std::string moreWarningsText(std::size_t more);
// Every kept warning, each kind's last one followed by "PROGRAM: PATH: ... and
// N more warnings like this" when there were more.
void printWarnings(std::FILE* out, const char* program, const std::string& path, const WarningList& warnings);

// Text in double quotes, as messages quote what a file says. A message is
// one line of text whatever the file holds: control bytes and bytes that are
// not UTF-8 are written as \xNN, and past 60 characters the text is cut,
// with the number of bytes left out ("..." (and 11200 more bytes)).
std::string quoted(const std::string& text);
inline constexpr std::size_t quotedCharacters = 60;

// Length of the UTF-8 sequence at s[i], or 0 when none starts there.
std::size_t utf8Length(const std::string& s, std::size_t i);
// A number as messages and reports show it: up to nine significant digits,
// "nan", "inf" and "-inf" spelt out.
std::string formatNumber(double value);

// The sync file reader: bytes to lines to fields, then header, patterns and
// channels. The timeline that follows lives in timeline.cpp.
#include "sync/reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace {

struct Line {
    int fileLine = 0;  // where the line starts, as an editor counts lines
    bool strayBreak = false;
    std::vector<std::string> fields;
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The line scan, remembering for each line where it starts in the file and
// whether it holds a CR or LF of its own (a blank line or a lone LF).
std::vector<Line> tokenise(const std::string& text, char separator) {
    std::vector<std::string> lines(1);
    std::vector<int> starts(1, 1);
    int fileLine = 1;
    std::size_t pos = 0;
    const std::size_t size = text.size();
    while (pos < size) {
        char c = text[pos];
        lines.back().push_back(c);
        if (c == '\n') ++fileLine;
        ++pos;
        if (pos < size && text[pos] == '\r') {
            if (pos + 1 < size && text[pos + 1] == '\n') ++fileLine;
            lines.emplace_back();
            starts.push_back(fileLine);
            pos += 2;
        }
    }
    std::vector<Line> result(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        result[i].fileLine = starts[i];
        result[i].strayBreak = lines[i].find_first_of("\r\n") != std::string::npos;
        result[i].fields = splitSyncFields(lines[i], separator);
    }
    return result;
}

bool hasField(const Line& line, std::size_t index) { return line.fields.size() > index; }

int findKeyword(const std::vector<Line>& lines, const char* keyword) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].fields.empty() && lines[i].fields[0] == keyword) return static_cast<int>(i);
    }
    return -1;
}

// One past the last line of the section that starts after `keywordLine`.
int sectionEnd(const std::vector<Line>& lines, int keywordLine, const char* otherKeyword) {
    int i = keywordLine + 1;
    while (i < static_cast<int>(lines.size())) {
        const std::vector<std::string>& f = lines[i].fields;
        if (f.empty() || f[0].empty() || f[0] == otherKeyword) break;
        ++i;
    }
    return i;
}

std::unique_ptr<SyncValue> makeValue(ValueType type, const std::string& cell) {
    auto value = std::make_unique<SyncValue>();
    switch (type) {
        case ValueType::Boolean: value->data = readSyncInt(cell) == 1; break;
        case ValueType::Integer: value->data = readSyncInt(cell); break;
        case ValueType::Float: value->data = readSyncFloat(cell); break;
        case ValueType::String:
        case ValueType::Other: value->data = cell; break;
    }
    return value;
}

void readHeader(const std::vector<Line>& lines, SyncFile& file, std::vector<SyncWarning>* warnings) {
    auto field2 = [&](std::size_t index, const char* missing) -> const std::string* {
        if (index < lines.size() && hasField(lines[index], 1)) return &lines[index].fields[1];
        int line = index < lines.size() ? lines[index].fileLine : static_cast<int>(index) + 1;
        addWarning(warnings, line, missing);
        return nullptr;
    };
    if (const std::string* text = field2(0, "no header text in field 2")) file.headerText = *text;
    if (const std::string* text = field2(1, "no bpm in field 2; keeping 120")) {
        float bpm = readSyncFloat(*text);
        if (std::isfinite(bpm) && bpm > 0.0f) {
            file.bpm = bpm;
        } else {
            addWarning(warnings, lines[1].fileLine,
                       "bpm " + quoted(*text) + " is not a number above 0; keeping 120");
        }
    }
    if (const std::string* text = field2(2, "no offset in field 2; keeping 0")) {
        float offset = readSyncFloat(*text);
        if (std::isfinite(offset)) {
            file.offset = offset;
        } else {
            addWarning(warnings, lines[2].fileLine, "offset " + quoted(*text) + " is not a finite number; keeping 0");
        }
    }
}

void readPatterns(const std::vector<Line>& lines, int first, int end, SyncFile& file,
                  std::vector<SyncWarning>* warnings) {
    int i = first;
    for (; i + 3 <= end; i += 3) {
        const Line& resolutionLine = lines[i];
        const Line& typeLine = lines[i + 1];
        const Line& rowLine = lines[i + 2];
        const std::string& name = rowLine.fields[0];
        if (!hasField(resolutionLine, 1)) {
            addWarning(warnings, resolutionLine.fileLine,
                       "pattern " + quoted(name) + " has no resolution in field 2; pattern skipped");
            continue;
        }
        float resolution = readSyncFloat(resolutionLine.fields[1]);
        if (!(std::isfinite(resolution) && static_cast<double>(resolution) > 0.01)) {
            addWarning(warnings, resolutionLine.fileLine,
                       "pattern " + quoted(name) + " has resolution " + quoted(resolutionLine.fields[1]) +
                           ", which is not above 0.01; pattern skipped");
            continue;
        }
        auto pattern = std::make_unique<Pattern>();
        pattern->line = resolutionLine.fileLine;
        pattern->resolution = resolution;
        if (hasField(typeLine, 1)) {
            pattern->typeText = typeLine.fields[1];
            pattern->type = valueTypeFromName(pattern->typeText);
        } else {
            addWarning(warnings, typeLine.fileLine,
                       "pattern " + quoted(name) + " has no type in field 2; reading it as BOOLEAN");
        }
        pattern->name = name;
        const bool known = pattern->type != ValueType::Other;
        for (std::size_t c = 1; c < rowLine.fields.size(); ++c) {
            const std::string& cell = rowLine.fields[c];
            if (cell.empty()) {
                pattern->values.push_back(nullptr);
            } else if (known) {
                pattern->owned.push_back(makeValue(pattern->type, cell));
                pattern->values.push_back(pattern->owned.back().get());
            }
        }
        file.patterns.push_back(std::move(pattern));
    }
    if (i < end) {
        addWarning(warnings, lines[i].fileLine,
                   "the pattern section ends with " + std::to_string(end - i) +
                       " line(s) that make no whole pattern of three lines; they are ignored");
    }
}

void readChannels(const std::vector<Line>& lines, int first, int end, SyncFile& file,
                  std::vector<SyncWarning>* warnings) {
    int i = first;
    for (; i + 2 <= end; i += 2) {
        const Line& placeLine = lines[i];
        const Line& flagLine = lines[i + 1];
        Channel channel;
        channel.line = placeLine.fileLine;
        channel.name = placeLine.fields[0];
        if (hasField(flagLine, 1)) {
            channel.repeat = flagLine.fields[1] == "1";
        } else {
            addWarning(warnings, flagLine.fileLine,
                       "channel " + quoted(channel.name) + " has no repeat flag in field 2; it does not repeat");
        }
        for (std::size_t f = 1; f < placeLine.fields.size(); ++f) {
            const std::string& name = placeLine.fields[f];
            if (name.empty()) continue;
            for (const std::unique_ptr<Pattern>& p : file.patterns) {
                if (p->name == name) {
                    channel.placements.push_back(p.get());
                    break;
                }
            }
        }
        file.channels.push_back(std::move(channel));
    }
    if (i < end) {
        addWarning(warnings, lines[i].fileLine,
                   "the channel section ends with a line that makes no whole channel of two lines; it is ignored");
    }
}

}  // namespace

std::vector<std::string> splitSyncLines(const std::string& text) {
    std::vector<std::string> lines(1);
    std::size_t pos = 0;
    while (pos < text.size()) {
        lines.back().push_back(text[pos]);
        ++pos;
        if (pos < text.size() && text[pos] == '\r') {
            lines.emplace_back();
            pos += 2;
        }
    }
    return lines;
}

std::vector<std::string> splitSyncFields(const std::string& line, char separator) {
    std::vector<std::string> fields;
    if (line.empty()) return fields;
    std::size_t begin = 0;
    for (;;) {
        std::size_t at = line.find(separator, begin);
        if (at == std::string::npos) {
            fields.push_back(line.substr(begin));
            return fields;
        }
        fields.push_back(line.substr(begin, at - begin));
        begin = at + 1;
    }
}

float readSyncFloat(const std::string& text) {
    // The decimal prefix only (sign, digits, point, exponent), so that what
    // counts as a number does not depend on the C library's extensions.
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && isSpace(text[i])) ++i;
    std::string number;
    if (i < n && (text[i] == '+' || text[i] == '-')) number.push_back(text[i++]);
    std::size_t digits = 0;
    while (i < n && isDigit(text[i])) number.push_back(text[i++]), ++digits;
    if (i < n && text[i] == '.') {
        number.push_back(text[i++]);
        while (i < n && isDigit(text[i])) number.push_back(text[i++]), ++digits;
    }
    if (digits == 0) return 0.0f;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < n && isDigit(text[j])) {
            number.append(text, i, j - i);
            while (j < n && isDigit(text[j])) number.push_back(text[j++]);
        }
    }
    return static_cast<float>(std::strtod(number.c_str(), nullptr));
}

std::int32_t readSyncInt(const std::string& text) {
    // As the C library's atoi on this platform: the value saturates at the
    // 64-bit range and is then cut to 32 bits.
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::uint64_t limit = negative ? std::uint64_t(1) << 63 : (std::uint64_t(1) << 63) - 1;
    std::uint64_t value = 0;
    for (; i < n && isDigit(text[i]); ++i) {
        std::uint64_t digit = static_cast<std::uint64_t>(text[i] - '0');
        value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
    }
    std::uint64_t bits = negative ? ~value + 1 : value;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
}

bool readTextFile(const std::string& path, std::vector<char>& buffer, std::string* why) {
    auto fail = [&](std::string reason) {
        if (why) *why = std::move(reason);
        return false;
    };
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return fail(std::strerror(errno));
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file);
        return fail("not a regular file");
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return fail("cannot find its size");
    }
    if (size > maxSyncFileBytes) {
        std::fclose(file);
        return fail("larger than " + std::to_string(maxSyncFileBytes) + " bytes");
    }
    try {
        buffer.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        std::fclose(file);
        return fail("out of memory");
    }
    std::size_t got = size > 0 ? std::fread(buffer.data(), 1, buffer.size(), file) : 0;
    bool error = std::ferror(file) != 0;
    std::fclose(file);
    if (got != buffer.size()) {
        buffer.resize(got);
        return fail(error ? "read error" : "file shrank while reading");
    }
    return true;
}

void parseSync(const char* bytes, std::size_t length, char separator, float lengthSeconds, SyncFile& file,
               SyncTimeline& timeline, std::vector<SyncWarning>* warnings) {
    std::size_t textLength = 0;
    if (bytes) {
        const void* nul = std::memchr(bytes, 0, length);
        textLength = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : length;
    }
    const std::string text(bytes ? bytes : "", textLength);
    const std::vector<Line> lines = tokenise(text, separator);

    if (text.empty()) {
        addWarning(warnings, 1, "the file is empty; keeping the defaults");
    } else {
        for (const Line& line : lines) {
            if (!line.strayBreak) continue;
            addWarning(warnings, line.fileLine,
                       "line breaks other than CR LF (a blank line, or LF or CR alone) join lines here");
        }
        readHeader(lines, file, warnings);
    }

    const int patternsAt = findKeyword(lines, "PATTERNS");
    const int channelsAt = findKeyword(lines, "CHANNELS");
    if (!text.empty() && patternsAt < 0) addWarning(warnings, 0, "no line starts with PATTERNS; the file has no patterns");
    if (!text.empty() && channelsAt < 0) addWarning(warnings, 0, "no line starts with CHANNELS; the file has no channels");
    const int patternsEnd = patternsAt < 0 ? patternsAt : sectionEnd(lines, patternsAt, "CHANNELS");
    const int channelsEnd = channelsAt < 0 ? channelsAt : sectionEnd(lines, channelsAt, "PATTERNS");

    file.channelCount = channelsAt < 0 ? 0 : (channelsEnd - (channelsAt + 1)) / 2;

    auto empty = std::make_unique<Pattern>();
    empty->name = emptyPatternName;
    empty->resolution = 1.0f;
    empty->type = ValueType::Boolean;
    empty->values.push_back(nullptr);
    file.patterns.push_back(std::move(empty));

    if (patternsAt >= 0) readPatterns(lines, patternsAt + 1, patternsEnd, file, warnings);

    // A pattern's length ends at its last value; empty cells after it do not count.
    for (std::unique_ptr<Pattern>& p : file.patterns) {
        if (p->name == emptyPatternName) continue;
        while (!p->values.empty() && p->values.back() == nullptr) p->values.pop_back();
    }

    if (channelsAt >= 0) readChannels(lines, channelsAt + 1, channelsEnd, file, warnings);

    prepareSyncTimeline(file, lengthSeconds, timeline, warnings);
}

void loadSync(const std::string& path, char separator, float lengthSeconds, SyncFile& file, SyncTimeline& timeline,
              std::vector<SyncWarning>* warnings) {
    std::vector<char> buffer;
    std::string why;
    if (readTextFile(path, buffer, &why)) {
        parseSync(buffer.data(), buffer.size(), separator, lengthSeconds, file, timeline, warnings);
        return;
    }
    // One warning for the file; the empty text it leaves is not worth more.
    addWarning(warnings, 0, "cannot read the sync file (" + why + "); using the defaults");
    buffer.clear();
    parseSync(buffer.data(), 0, separator, lengthSeconds, file, timeline, nullptr);
}

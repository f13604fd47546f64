// The sync file reader: bytes to lines to fields, then header, patterns and
// channels. The timeline that follows lives in timeline.cpp.
#include "sync/reader.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <limits>
#include <new>
#include <string_view>
#include <unordered_map>

#include "common/datafile.h"

namespace {

// One line of the file: where its text lies, where it starts as an editor
// counts lines, and whether it holds a CR or LF of its own (a blank line or a
// lone LF). Twelve bytes, whatever the line holds: the shortest line takes
// three bytes of the file, so the table stays within four times the file.
struct Line {
    std::uint32_t begin = 0;
    std::uint32_t length : 31;
    std::uint32_t strayBreak : 1;
    std::int32_t fileLine = 0;
};
static_assert(sizeof(Line) == 12, "a line's entry stays small");

// The file's text cut into lines; fields are cut from a line when asked for.
struct Lines {
    std::string_view text;
    char separator = '\t';
    std::vector<Line> lines;

    std::size_t size() const { return lines.size(); }
    int fileLine(std::size_t i) const { return lines[i].fileLine; }
    std::string_view lineText(std::size_t i) const { return text.substr(lines[i].begin, lines[i].length); }
    // Field `index` (0 the first) of line `i`, without cutting the others;
    // false when the line has no such field.
    bool field(std::size_t i, std::size_t index, std::string& out) const {
        std::string_view line = lineText(i);
        if (line.empty()) return false;
        std::size_t begin = 0;
        for (std::size_t k = 0; k < index; ++k) {
            const std::size_t at = line.find(separator, begin);
            if (at == std::string_view::npos) return false;
            begin = at + 1;
        }
        const std::size_t end = std::min(line.find(separator, begin), line.size());
        out.assign(line.data() + begin, end - begin);
        return true;
    }
    // Calls `each` with every field of line `i` from field `first` on, in place.
    template <typename Each>
    void forFields(std::size_t i, std::size_t first, Each each) const {
        std::string_view line = lineText(i);
        if (line.empty()) return;
        std::size_t begin = 0;
        for (std::size_t k = 0;; ++k) {
            const std::size_t at = line.find(separator, begin);
            const std::size_t end = std::min(at, line.size());
            if (k >= first) each(line.substr(begin, end - begin));
            if (at == std::string_view::npos) return;
            begin = at + 1;
        }
    }
    // The first field, without cutting the rest; `none` tells an empty line
    // (no fields) from an empty first field.
    std::string_view firstField(std::size_t i, bool& none) const {
        std::string_view line = lineText(i);
        none = line.empty();
        return line.substr(0, line.find(separator));
    }
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The line scan: a CR ends the line and takes the next character along; the
// first character of a line is never tested.
Lines tokenise(std::string_view text, char separator) {
    Lines result;
    result.text = text;
    result.separator = separator;
    result.lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r')) + 1);
    Line line{};
    line.fileLine = 1;
    int fileLine = 1;
    std::size_t pos = 0;
    const std::size_t size = text.size();
    bool stray = false;
    auto finish = [&](std::size_t end) {
        line.length = static_cast<std::uint32_t>(end - line.begin);
        line.strayBreak = stray;
        result.lines.push_back(line);
    };
    while (pos < size) {
        char c = text[pos];
        stray |= c == '\r' || c == '\n';
        if (c == '\n') ++fileLine;
        ++pos;
        if (pos < size && text[pos] == '\r') {
            if (pos + 1 < size && text[pos + 1] == '\n') ++fileLine;
            finish(pos);
            pos += 2;
            line = Line{};
            line.begin = static_cast<std::uint32_t>(std::min(pos, size));
            line.fileLine = fileLine;
            stray = false;
        }
    }
    finish(size);
    return result;
}

int findKeyword(const Lines& lines, const char* keyword) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool none = false;
        std::string_view first = lines.firstField(i, none);
        if (!none && first == keyword) return static_cast<int>(i);
    }
    return -1;
}

// One past the last line of the section that starts after `keywordLine`.
int sectionEnd(const Lines& lines, int keywordLine, const char* otherKeyword) {
    int i = keywordLine + 1;
    while (i < static_cast<int>(lines.size())) {
        bool none = false;
        std::string_view first = lines.firstField(static_cast<std::size_t>(i), none);
        if (none || first.empty() || first == otherKeyword) break;
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

// Cells of one pattern that say the same share one value, so that a pattern
// of a million equal cells holds one value and a million references to it.
// Up to maxShared different texts are remembered per pattern; cells past
// that get values of their own.
class ValueCache {
public:
    static constexpr std::size_t maxShared = 65536;

    void startPattern() { known_.clear(); }

    const SyncValue* valueFor(Pattern& pattern, std::string_view cell) {
        text_.assign(cell.data(), cell.size());
        auto found = known_.find(text_);
        if (found != known_.end()) return found->second;
        pattern.owned.push_back(makeValue(pattern.type, text_));
        const SyncValue* value = pattern.owned.back().get();
        if (known_.size() < maxShared) known_.emplace(text_, value);
        return value;
    }

private:
    std::unordered_map<std::string, const SyncValue*> known_;
    std::string text_;
};

void readHeader(const Lines& lines, SyncFile& file, SyncWarnings* warnings) {
    // Field 2 of the header's line `index`, or null (with a warning) when
    // there is none.
    auto field2 = [&](std::size_t index, const char* kind, const char* missing, std::string& text) -> bool {
        if (index < lines.size() && lines.field(index, 1, text)) return true;
        int line = index < lines.size() ? lines.fileLine(index) : static_cast<int>(index) + 1;
        addWarning(warnings, kind, line, missing);
        return false;
    };
    std::string text;
    if (field2(0, "header-text", "no header text in field 2", text)) file.headerText = text;
    if (field2(1, "bpm", "no bpm in field 2; keeping 120", text)) {
        float bpm = readSyncFloat(text);
        if (std::isfinite(bpm) && bpm > 0.0f) {
            file.bpm = bpm;
        } else {
            addWarning(warnings, "bpm", lines.fileLine(1), "bpm " + quoted(text) + " is not a number above 0; keeping 120");
        }
    }
    if (field2(2, "offset", "no offset in field 2; keeping 0", text)) {
        float offset = readSyncFloat(text);
        if (std::isfinite(offset)) {
            file.offset = offset;
        } else {
            addWarning(warnings, "offset", lines.fileLine(2),
                       "offset " + quoted(text) + " is not a finite number; keeping 0");
        }
    }
}

void readPatterns(const Lines& lines, int first, int end, SyncFile& file, SyncWarnings* warnings) {
    ValueCache cache;
    int i = first;
    for (; i + 3 <= end; i += 3) {
        // A line may hold millions of fields: only those needed are cut out.
        const std::size_t at = static_cast<std::size_t>(i);
        std::string resolutionText, typeText, name;
        const bool haveResolution = lines.field(at, 1, resolutionText);
        const bool haveType = lines.field(at + 1, 1, typeText);
        lines.field(at + 2, 0, name);
        const int resolutionAt = lines.fileLine(at);
        if (!haveResolution) {
            addWarning(warnings, "pattern-resolution", resolutionAt,
                       keepsWarning(warnings, "pattern-resolution")
                           ? "pattern " + quoted(name) + " has no resolution in field 2; pattern skipped"
                           : std::string());
            continue;
        }
        float resolution = readSyncFloat(resolutionText);
        if (!(std::isfinite(resolution) && static_cast<double>(resolution) > 0.01)) {
            addWarning(warnings, "pattern-resolution", resolutionAt,
                       keepsWarning(warnings, "pattern-resolution")
                           ? "pattern " + quoted(name) + " has resolution " + quoted(resolutionText) +
                                 ", which is not above 0.01; pattern skipped"
                           : std::string());
            continue;
        }
        auto pattern = std::make_unique<Pattern>();
        pattern->line = resolutionAt;
        pattern->resolution = resolution;
        if (haveType) {
            pattern->typeText = typeText;
            pattern->type = valueTypeFromName(pattern->typeText);
        } else {
            addWarning(warnings, "pattern-type", lines.fileLine(static_cast<std::size_t>(i + 1)),
                       keepsWarning(warnings, "pattern-type")
                           ? "pattern " + quoted(name) + " has no type in field 2; reading it as BOOLEAN"
                           : std::string());
        }
        pattern->name = name;
        const bool known = pattern->type != ValueType::Other;
        cache.startPattern();
        lines.forFields(at + 2, 1, [&](std::string_view cell) {
            if (cell.empty()) {
                pattern->values.push_back(nullptr);
            } else if (known) {
                pattern->values.push_back(cache.valueFor(*pattern, cell));
            }
        });
        file.patterns.push_back(std::move(pattern));
    }
    if (i < end) {
        addWarning(warnings, "pattern-section", lines.fileLine(static_cast<std::size_t>(i)),
                   "the pattern section ends with " + std::to_string(end - i) +
                       " line(s) that make no whole pattern of three lines; they are ignored");
    }
}

void readChannels(const Lines& lines, int first, int end, SyncFile& file, SyncWarnings* warnings) {
    // A name places the first pattern of that name, looked up at the same
    // cost however many patterns and placements a file has.
    std::unordered_map<std::string, const Pattern*> patternsByName;
    for (const std::unique_ptr<Pattern>& p : file.patterns) patternsByName.emplace(p->name, p.get());
    int i = first;
    for (; i + 2 <= end; i += 2) {
        const std::size_t at = static_cast<std::size_t>(i);
        Channel channel;
        channel.line = lines.fileLine(at);
        lines.field(at, 0, channel.name);
        std::string flag;
        if (lines.field(at + 1, 1, flag)) {
            channel.repeat = flag == "1";
        } else {
            addWarning(warnings, "channel-repeat", lines.fileLine(static_cast<std::size_t>(i + 1)),
                       keepsWarning(warnings, "channel-repeat")
                           ? "channel " + quoted(channel.name) + " has no repeat flag in field 2; it does not repeat"
                           : std::string());
        }
        std::string name;
        lines.forFields(at, 1, [&](std::string_view field) {
            if (field.empty()) return;
            name.assign(field.data(), field.size());
            auto found = patternsByName.find(name);
            if (found != patternsByName.end()) channel.placements.push_back(found->second);
        });
        file.channels.push_back(std::move(channel));
    }
    if (i < end) {
        addWarning(warnings, "channel-section", lines.fileLine(static_cast<std::size_t>(i)),
                   "the channel section ends with a line that makes no whole channel of two lines; it is ignored");
    }
}

}  // namespace

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
    std::string openWhy;
    std::FILE* file = openDataStream(path, openWhy);
    if (!file) return fail(openWhy);
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
               SyncTimeline& timeline, SyncWarnings* warnings) {
    std::size_t textLength = 0;
    if (bytes) {
        const void* nul = std::memchr(bytes, 0, length);
        textLength = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes) : length;
    }
    // The line table holds places in the text in 32 bits; no file the
    // reader reads comes near that.
    if (textLength > static_cast<std::size_t>(maxSyncFileBytes)) {
        textLength = static_cast<std::size_t>(maxSyncFileBytes);
        addWarning(warnings, "too-long", 0,
                   "the text is longer than " + std::to_string(maxSyncFileBytes) + " bytes; the rest is not read");
    }
    const std::string_view text(bytes ? bytes : "", textLength);
    const Lines lines = tokenise(text, separator);

    if (text.empty()) {
        addWarning(warnings, "empty-file", 1, "the file is empty; keeping the defaults");
    } else {
        for (const Line& line : lines.lines) {
            if (!line.strayBreak) continue;
            addWarning(warnings, "line-break", line.fileLine,
                       "line breaks other than CR LF (a blank line, or LF or CR alone) join lines here");
        }
        readHeader(lines, file, warnings);
    }

    const int patternsAt = findKeyword(lines, "PATTERNS");
    const int channelsAt = findKeyword(lines, "CHANNELS");
    if (!text.empty() && patternsAt < 0) addWarning(warnings, "no-patterns", 0, "no line starts with PATTERNS; the file has no patterns");
    if (!text.empty() && channelsAt < 0) addWarning(warnings, "no-channels", 0, "no line starts with CHANNELS; the file has no channels");
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
              SyncWarnings* warnings) {
    std::vector<char> buffer;
    std::string why;
    if (readTextFile(path, buffer, &why)) {
        parseSync(buffer.data(), buffer.size(), separator, lengthSeconds, file, timeline, warnings);
        return;
    }
    // One warning for the file; the empty text it leaves is not worth more.
    addWarning(warnings, "unreadable", 0, "cannot read the sync file (" + why + "); using the defaults");
    buffer.clear();
    parseSync(buffer.data(), 0, separator, lengthSeconds, file, timeline, nullptr);
}

#include "support/json.h"

#include <cstdlib>
#include <stdexcept>

namespace testsupport {
namespace {

struct Reader {
    const std::string& s;
    std::size_t i = 0;

    [[noreturn]] void fail(const std::string& why) { throw std::runtime_error("at " + std::to_string(i) + ": " + why); }
    void space() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
    }
    void expect(const char* word) {
        for (const char* p = word; *p; ++p, ++i)
            if (i >= s.size() || s[i] != *p) fail(std::string("expected ") + word);
    }
    unsigned hex4() {
        if (i + 4 > s.size()) fail("short \\u escape");
        unsigned v = 0;
        for (int k = 0; k < 4; ++k, ++i) {
            const char c = s[i];
            v <<= 4;
            if (c >= '0' && c <= '9') v |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f') v |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') v |= unsigned(c - 'A' + 10);
            else fail("bad \\u escape");
        }
        return v;
    }
    static void appendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    std::string string() {
        expect("\"");
        std::string out;
        for (;;) {
            if (i >= s.size()) fail("unterminated string");
            const unsigned char c = static_cast<unsigned char>(s[i++]);
            if (c == '"') return out;
            if (c < 0x20) fail("control character in a string");
            if (c != '\\') {
                out += char(c);
                continue;
            }
            if (i >= s.size()) fail("unterminated escape");
            const char e = s[i++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    unsigned cp = hex4();
                    if (cp >= 0xD800 && cp < 0xDC00) {
                        expect("\\u");
                        const unsigned low = hex4();
                        if (low < 0xDC00 || low >= 0xE000) fail("lone surrogate");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else if (cp >= 0xDC00 && cp < 0xE000) {
                        fail("lone surrogate");
                    }
                    appendUtf8(out, cp);
                    break;
                }
                default: fail("unknown escape");
            }
        }
    }
    double number() {
        const std::size_t start = i;
        auto digits = [&] {
            const std::size_t from = i;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
            if (i == from) fail("expected a digit");
        };
        if (s[i] == '-') ++i;
        if (i < s.size() && s[i] == '0') ++i;
        else digits();
        if (i < s.size() && s[i] == '.') ++i, digits();
        if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
            ++i;
            if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
            digits();
        }
        return std::strtod(s.substr(start, i - start).c_str(), nullptr);
    }
    Json value() {
        space();
        if (i >= s.size()) fail("expected a value");
        Json v;
        const char c = s[i];
        if (c == '{') {
            v.kind = Json::Object;
            ++i;
            space();
            if (i < s.size() && s[i] == '}') return ++i, v;
            for (;;) {
                space();
                const std::string key = string();
                space();
                expect(":");
                if (!v.members.emplace(key, value()).second) fail("member \"" + key + "\" twice");
                space();
                if (i < s.size() && s[i] == ',') { ++i; continue; }
                expect("}");
                return v;
            }
        }
        if (c == '[') {
            v.kind = Json::Array;
            ++i;
            space();
            if (i < s.size() && s[i] == ']') return ++i, v;
            for (;;) {
                v.items.push_back(value());
                space();
                if (i < s.size() && s[i] == ',') { ++i; continue; }
                expect("]");
                return v;
            }
        }
        if (c == '"') return v.kind = Json::String, v.text = string(), v;
        if (c == 't') return expect("true"), v.kind = Json::Bool, v.boolean = true, v;
        if (c == 'f') return expect("false"), v.kind = Json::Bool, v;
        if (c == 'n') return expect("null"), v;
        if (c == '-' || (c >= '0' && c <= '9')) return v.kind = Json::Number, v.number = number(), v;
        fail(std::string("unexpected '") + c + "'");
    }
};

}  // namespace

const Json& Json::operator[](const std::string& key) const {
    static const Json null;
    auto it = members.find(key);
    return it == members.end() ? null : it->second;
}

const Json& Json::operator[](std::size_t index) const { return items.at(index); }

bool parseJson(const std::string& text, Json& value, std::string& error) {
    Reader r{text};
    try {
        value = r.value();
        r.space();
        if (r.i != text.size()) r.fail("text after the value");
        return true;
    } catch (const std::runtime_error& e) {
        error = e.what();
        return false;
    }
}

}  // namespace testsupport

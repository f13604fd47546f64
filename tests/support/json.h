#pragma once
// A strict JSON reader for tests that check what a program prints: it accepts
// exactly the grammar of RFC 8259 (no trailing commas, no control characters
// in strings, escapes as listed) and says where it stopped otherwise.
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    double number = 0;
    std::string text;                              // a string, as UTF-8
    std::vector<Json> items;                       // an array
    std::map<std::string, Json> members;           // an object

    const Json& operator[](const std::string& key) const;  // a missing member is null
    const Json& operator[](std::size_t index) const;       // fails past the end
};

// Parses the whole of `text` (surrounding white space allowed). False with
// the position and reason in `error` when it is not one valid JSON value.
bool parseJson(const std::string& text, Json& value, std::string& error);

}  // namespace testsupport

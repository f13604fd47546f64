#include "sync/syncmodel.h"

namespace {

struct TypeWord {
    ValueType type;
    const char* word;
};

const TypeWord typeWords[] = {
    {ValueType::Boolean, "BOOLEAN"},
    {ValueType::Integer, "INTEGER"},
    {ValueType::Float, "FLOAT"},
    {ValueType::String, "STRING"},
};

}  // namespace

const char* valueTypeName(ValueType type) {
    for (const TypeWord& t : typeWords) {
        if (t.type == type) return t.word;
    }
    return "OTHER";
}

ValueType valueTypeFromName(const std::string& word) {
    // Compared exactly: "Boolean" or "BOOL" are not a type the demo knows.
    for (const TypeWord& t : typeWords) {
        if (word == t.word) return t.type;
    }
    return ValueType::Other;
}

// JSON for the files that other programs read (the report files' JSON twins)
// and for reading them back (the fleet page). Strings are UTF-8 on both sides;
// GBK texts go through GbkToUtf8 first. Portable.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Builds one JSON document, two spaces per level, members in the order
// written. The caller nests Begin/End pairs correctly; commas and quoting are
// the writer's.
class JsonWriter {
public:
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The next value's name, inside an object.
    void Key(std::string_view utf8);
    void String(std::string_view utf8);
    void Number(long long value);
    void Bool(bool value);
    void Null();
    // The document, ending with a newline.
    std::string Text() const { return m_text + "\n"; }

private:
    void BeforeValue();
    void Close(char bracket);
    std::string m_text;
    std::vector<bool> m_hasMembers; // per open level: something was written in it
    bool m_afterKey = false;
};

// text as a JSON string with its quotes: '"', '\\' and control characters
// escaped; a byte that is not part of well-formed UTF-8 becomes U+FFFD, so
// the result always parses.
std::string JsonQuoted(std::string_view utf8);

// A parsed value. Objects keep their members in file order.
struct JsonValue {
    enum Type { null, boolean, number, string, array, object };
    Type type = null;
    bool flag = false;
    double numberValue = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member named key, or nullptr (also for a value that is no object).
    const JsonValue* Find(std::string_view key) const;
    bool IsInteger() const;
};

// Parses a whole document. False with *error ("line N: what") for anything
// that is not one well-formed JSON value, nesting deeper than 64 levels
// included.
bool ParseJson(std::string_view text, JsonValue* value, std::string* error);

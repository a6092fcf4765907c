#include "platform/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/TextEncoding.h"

namespace {
void AppendUtf8(std::string& out, unsigned long code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}
} // namespace

std::string JsonQuoted(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size() + 2);
    out.push_back('"');
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x80) {
            // Copy a well-formed sequence whole; anything else is replaced.
            size_t n = 0;
            for (size_t len = 2; len <= 4 && i + len <= utf8.size() && n == 0; ++len)
                if (IsValidUtf8(utf8.substr(i, len)))
                    n = len;
            if (n == 0) {
                out += "\xEF\xBF\xBD";
                ++i;
            } else {
                out.append(utf8.data() + i, n);
                i += n;
            }
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
        ++i;
    }
    out.push_back('"');
    return out;
}

void JsonWriter::BeforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_hasMembers.empty())
        return;
    if (m_hasMembers.back())
        m_text += ",";
    m_hasMembers.back() = true;
    m_text += "\n" + std::string(2 * m_hasMembers.size(), ' ');
}

void JsonWriter::BeginObject()
{
    BeforeValue();
    m_text += "{";
    m_hasMembers.push_back(false);
}

void JsonWriter::BeginArray()
{
    BeforeValue();
    m_text += "[";
    m_hasMembers.push_back(false);
}

void JsonWriter::Close(char bracket)
{
    bool any = !m_hasMembers.empty() && m_hasMembers.back();
    if (!m_hasMembers.empty())
        m_hasMembers.pop_back();
    if (any)
        m_text += "\n" + std::string(2 * m_hasMembers.size(), ' ');
    m_text.push_back(bracket);
}

void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::Key(std::string_view utf8)
{
    BeforeValue();
    m_text += JsonQuoted(utf8) + ": ";
    m_afterKey = true;
}

void JsonWriter::String(std::string_view utf8)
{
    BeforeValue();
    m_text += JsonQuoted(utf8);
}

void JsonWriter::Number(long long value)
{
    BeforeValue();
    m_text += std::to_string(value);
}

void JsonWriter::Bool(bool value)
{
    BeforeValue();
    m_text += value ? "true" : "false";
}

void JsonWriter::Null()
{
    BeforeValue();
    m_text += "null";
}

const JsonValue* JsonValue::Find(std::string_view key) const
{
    for (const auto& member : members)
        if (member.first == key)
            return &member.second;
    return nullptr;
}

bool JsonValue::IsInteger() const
{
    return type == number && std::floor(numberValue) == numberValue && std::fabs(numberValue) < 9.0e15;
}

namespace {
class Parser {
public:
    explicit Parser(std::string_view text) : m_text(text) {}

    bool Document(JsonValue* value, std::string* error)
    {
        if (m_text.size() >= 3 && m_text.substr(0, 3) == "\xEF\xBB\xBF")
            m_pos = 3;
        bool ok = Value(value, 0);
        if (ok) {
            SkipSpace();
            if (m_pos != m_text.size())
                ok = Fail("text after the value");
        }
        if (!ok && error) {
            size_t line = 1;
            for (size_t i = 0; i < m_pos && i < m_text.size(); ++i)
                line += m_text[i] == '\n';
            *error = "line " + std::to_string(line) + ": " + m_problem;
        }
        return ok;
    }

private:
    bool Fail(const char* what)
    {
        if (m_problem.empty())
            m_problem = what;
        return false;
    }

    void SkipSpace()
    {
        while (m_pos < m_text.size() &&
               (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n' || m_text[m_pos] == '\r'))
            ++m_pos;
    }

    bool Literal(std::string_view word)
    {
        if (m_text.substr(m_pos, word.size()) != word)
            return Fail("not a JSON value");
        m_pos += word.size();
        return true;
    }

    bool Value(JsonValue* value, int depth)
    {
        if (depth > 64)
            return Fail("nested too deeply");
        SkipSpace();
        if (m_pos >= m_text.size())
            return Fail("ends where a value should be");
        char c = m_text[m_pos];
        switch (c) {
        case '{': return Object(value, depth);
        case '[': return Array(value, depth);
        case '"': value->type = JsonValue::string; return String(&value->text);
        case 't': value->type = JsonValue::boolean; value->flag = true; return Literal("true");
        case 'f': value->type = JsonValue::boolean; return Literal("false");
        case 'n': value->type = JsonValue::null; return Literal("null");
        default: return Number(value);
        }
    }

    bool Number(JsonValue* value)
    {
        size_t start = m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '-')
            ++m_pos;
        auto digits = [&] {
            size_t from = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9')
                ++m_pos;
            return m_pos > from;
        };
        if (!digits())
            return Fail("not a JSON value");
        if (m_pos < m_text.size() && m_text[m_pos] == '.') {
            ++m_pos;
            if (!digits())
                return Fail("a number without digits after its point");
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-'))
                ++m_pos;
            if (!digits())
                return Fail("a number without digits in its exponent");
        }
        value->type = JsonValue::number;
        value->numberValue = strtod(std::string(m_text.substr(start, m_pos - start)).c_str(), nullptr);
        return true;
    }

    bool Hex4(unsigned long* code)
    {
        if (m_pos + 4 > m_text.size())
            return Fail("a \\u escape cut short");
        *code = 0;
        for (int i = 0; i < 4; ++i) {
            char h = m_text[m_pos++];
            int d = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
            if (d < 0)
                return Fail("a \\u escape that is not hexadecimal");
            *code = *code * 16 + static_cast<unsigned long>(d);
        }
        return true;
    }

    bool String(std::string* out)
    {
        ++m_pos; // the opening quote
        size_t plain = m_pos;
        for (;;) {
            if (m_pos >= m_text.size())
                return Fail("a string without its closing quote");
            unsigned char c = static_cast<unsigned char>(m_text[m_pos]);
            if (c == '"') {
                out->append(m_text.data() + plain, m_pos - plain);
                ++m_pos;
                break;
            }
            if (c < 0x20)
                return Fail("a control character inside a string");
            if (c != '\\') {
                ++m_pos;
                continue;
            }
            out->append(m_text.data() + plain, m_pos - plain);
            if (++m_pos >= m_text.size())
                return Fail("a string without its closing quote");
            char e = m_text[m_pos++];
            switch (e) {
            case '"': out->push_back('"'); break;
            case '\\': out->push_back('\\'); break;
            case '/': out->push_back('/'); break;
            case 'b': out->push_back('\b'); break;
            case 'f': out->push_back('\f'); break;
            case 'n': out->push_back('\n'); break;
            case 'r': out->push_back('\r'); break;
            case 't': out->push_back('\t'); break;
            case 'u': {
                unsigned long code = 0;
                if (!Hex4(&code))
                    return false;
                if (code >= 0xD800 && code <= 0xDBFF && m_text.substr(m_pos, 2) == "\\u") {
                    m_pos += 2;
                    unsigned long low = 0;
                    if (!Hex4(&low))
                        return false;
                    if (low < 0xDC00 || low > 0xDFFF)
                        return Fail("a surrogate pair that does not pair");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xD800 && code <= 0xDFFF) {
                    return Fail("a lone surrogate");
                }
                AppendUtf8(*out, code);
                break;
            }
            default: return Fail("an unknown escape in a string");
            }
            plain = m_pos;
        }
        if (!IsValidUtf8(*out))
            return Fail("a string that is not UTF-8");
        return true;
    }

    bool Array(JsonValue* value, int depth)
    {
        value->type = JsonValue::array;
        ++m_pos;
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            value->items.emplace_back();
            if (!Value(&value->items.back(), depth + 1))
                return false;
            SkipSpace();
            if (m_pos >= m_text.size())
                return Fail("an array without its closing bracket");
            char c = m_text[m_pos++];
            if (c == ']')
                return true;
            if (c != ',')
                return Fail("a missing comma between array items");
        }
    }

    bool Object(JsonValue* value, int depth)
    {
        value->type = JsonValue::object;
        ++m_pos;
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == '}') {
            ++m_pos;
            return true;
        }
        for (;;) {
            SkipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != '"')
                return Fail("a member without a quoted name");
            std::string key;
            if (!String(&key))
                return false;
            SkipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != ':')
                return Fail("a member name without its colon");
            ++m_pos;
            value->members.emplace_back(std::move(key), JsonValue());
            if (!Value(&value->members.back().second, depth + 1))
                return false;
            SkipSpace();
            if (m_pos >= m_text.size())
                return Fail("an object without its closing brace");
            char c = m_text[m_pos++];
            if (c == '}')
                return true;
            if (c != ',')
                return Fail("a missing comma between members");
        }
    }

    std::string_view m_text;
    size_t m_pos = 0;
    std::string m_problem;
};
} // namespace

bool ParseJson(std::string_view text, JsonValue* value, std::string* error)
{
    *value = JsonValue();
    return Parser(text).Document(value, error);
}

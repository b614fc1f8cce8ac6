// A strict little JSON parser for tests: it checks that qvtool's documents
// are JSON (RFC 8259) and gives their values back to compare.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::test {

struct JsonValue {
    enum class Type { kNull, kBool, kNumber, kString, kArray, kObject } type = Type::kNull;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> fields;

    const JsonValue& operator[](const std::string& key) const {
        static const JsonValue kNone;
        auto it = fields.find(key);
        return it == fields.end() ? kNone : it->second;
    }
    const JsonValue& operator[](size_t i) const { return items.at(i); }
    bool IsNull() const { return type == Type::kNull; }
};

class JsonParser {
  public:
    // nullopt when the text is not exactly one JSON value (blanks around it allowed).
    static std::optional<JsonValue> Parse(const std::string& text) {
        JsonParser p(text);
        JsonValue v;
        if (!p.Value(v, 0)) return std::nullopt;
        p.Blanks();
        if (p.m_pos != text.size()) return std::nullopt;
        return v;
    }

  private:
    explicit JsonParser(const std::string& t) : m_t(t) {}
    void Blanks() {
        while (m_pos < m_t.size() && (m_t[m_pos] == ' ' || m_t[m_pos] == '\n' ||
                                      m_t[m_pos] == '\r' || m_t[m_pos] == '\t'))
            ++m_pos;
    }
    bool Take(char c) {
        Blanks();
        if (m_pos < m_t.size() && m_t[m_pos] == c) return ++m_pos, true;
        return false;
    }
    bool Word(const char* w) {
        const std::string s(w);
        if (m_t.compare(m_pos, s.size(), s) != 0) return false;
        m_pos += s.size();
        return true;
    }
    bool String(std::string& out) {
        if (!Take('"')) return false;
        while (m_pos < m_t.size()) {
            const unsigned char c = static_cast<unsigned char>(m_t[m_pos++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (m_pos >= m_t.size()) return false;
            const char e = m_t[m_pos++];
            if (e == 'u') {
                if (m_pos + 4 > m_t.size()) return false;
                const unsigned long cp = std::strtoul(m_t.substr(m_pos, 4).c_str(), nullptr, 16);
                m_pos += 4;
                if (cp < 0x80) out += static_cast<char>(cp);
                else out += '?';  // enough for the tests
            } else if (std::string("\"\\/bfnrt").find(e) != std::string::npos) {
                out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e == 'b' ? '\b'
                       : e == 'f' ? '\f' : e;
            } else {
                return false;
            }
        }
        return false;
    }
    bool Value(JsonValue& v, int depth) {
        if (depth > 64) return false;
        Blanks();
        if (m_pos >= m_t.size()) return false;
        const char c = m_t[m_pos];
        if (c == '{') {
            ++m_pos;
            v.type = JsonValue::Type::kObject;
            if (Take('}')) return true;
            do {
                std::string key;
                JsonValue item;
                if (!String(key) || !Take(':') || !Value(item, depth + 1)) return false;
                v.fields[key] = std::move(item);
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            ++m_pos;
            v.type = JsonValue::Type::kArray;
            if (Take(']')) return true;
            do {
                JsonValue item;
                if (!Value(item, depth + 1)) return false;
                v.items.push_back(std::move(item));
            } while (Take(','));
            return Take(']');
        }
        if (c == '"') {
            v.type = JsonValue::Type::kString;
            return String(v.text);
        }
        if (Word("true")) return v.type = JsonValue::Type::kBool, v.boolean = true, true;
        if (Word("false")) return v.type = JsonValue::Type::kBool, true;
        if (Word("null")) return true;
        const char* begin = m_t.c_str() + m_pos;
        char* end = nullptr;
        if (!(c == '-' || (c >= '0' && c <= '9'))) return false;
        v.type = JsonValue::Type::kNumber;
        v.number = std::strtod(begin, &end);
        m_pos += static_cast<size_t>(end - begin);
        return end != begin;
    }
    const std::string& m_t;
    size_t m_pos = 0;
};

}  // namespace qv::test

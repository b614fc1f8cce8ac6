#include "export/StructuredOutput.h"

#include <charconv>
#include <cmath>

#include "core/TextCodec.h"

namespace qv {

std::optional<OutputFormat> ParseOutputFormat(std::string_view name) {
    if (name == "text") return OutputFormat::kText;
    if (name == "json") return OutputFormat::kJson;
    if (name == "csv") return OutputFormat::kCsv;
    return std::nullopt;
}

void AppendHexBytes(std::string& out, std::span<const uint8_t> bytes) {
    static const char kHex[] = "0123456789abcdef";
    const size_t at = out.size();
    if (bytes.empty()) return;
    out.resize(at + bytes.size() * 3 - 1);
    char* p = out.data() + at;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) *p++ = ' ';
        *p++ = kHex[bytes[i] >> 4];
        *p++ = kHex[bytes[i] & 15];
    }
}

void AppendJsonString(std::string& out, std::string_view s) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : "";
            if (c != '\n' && c != '\r' && c != '\t') {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (size_t n = Utf8SequenceLength(s, i)) {
            out.append(s.substr(i, n));
            i += n;
        } else {
            // A byte that is not UTF-8 (a file name's stray bytes) becomes
            // U+FFFD: a JSON text must be UTF-8 throughout, or readers refuse
            // all of it.
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    out += '"';
}

void AppendCsvField(std::string& out, std::string_view s) {
    if (s.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += s;
        return;
    }
    out += '"';
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void AppendJsonNumber(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    char buf[32];
    if (v == std::floor(v) && std::fabs(v) < 9e15) {
        auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(v));
        out.append(buf, r.ptr);
        return;
    }
    const int n = std::snprintf(buf, sizeof buf, "%.9g", v);
    out.append(buf, static_cast<size_t>(n));
}

bool OutputBuffer::Flush() {
    if (m_ok && !m_text.empty()) {
        if (std::fwrite(m_text.data(), 1, m_text.size(), m_stream) != m_text.size()) m_ok = false;
        if (std::fflush(m_stream) != 0) m_ok = false;
    }
    m_text.clear();
    return m_ok;
}

void JsonWriter::Value() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_first.empty()) return;
    if (!m_first.back()) m_out += ',';
    if (m_first.size() == 1 && m_stack.back() == '[') m_out += '\n';
    m_first.back() = false;
}

JsonWriter& JsonWriter::BeginObject() {
    Value();
    m_out += '{';
    m_stack.push_back('{');
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    m_out += '}';
    m_stack.pop_back();
    m_first.pop_back();
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Value();
    m_out += '[';
    m_stack.push_back('[');
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    const bool outer = m_stack.size() == 1 && !m_first.back();
    m_stack.pop_back();
    m_first.pop_back();
    if (outer) m_out += '\n';
    m_out += ']';
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    Value();
    AppendJsonString(m_out, key);
    m_out += ':';
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view v) {
    Value();
    AppendJsonString(m_out, v);
    return *this;
}

JsonWriter& JsonWriter::Int(int64_t v) {
    Value();
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    m_out.append(buf, r.ptr);
    return *this;
}

JsonWriter& JsonWriter::UInt(uint64_t v) {
    Value();
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    m_out.append(buf, r.ptr);
    return *this;
}

JsonWriter& JsonWriter::Number(double v) {
    Value();
    AppendJsonNumber(m_out, v);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool v) {
    Value();
    m_out += v ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    Value();
    m_out += "null";
    return *this;
}

void CsvLine::Separator() {
    if (!m_first) m_out += ',';
    m_first = false;
}

CsvLine& CsvLine::Field(std::string_view v) {
    Separator();
    AppendCsvField(m_out, v);
    return *this;
}

CsvLine& CsvLine::Int(int64_t v) {
    Separator();
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    m_out.append(buf, r.ptr);
    return *this;
}

CsvLine& CsvLine::UInt(uint64_t v) {
    Separator();
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    m_out.append(buf, r.ptr);
    return *this;
}

CsvLine& CsvLine::Number(double v) {
    Separator();
    if (std::isfinite(v)) AppendJsonNumber(m_out, v);
    return *this;
}

CsvLine& CsvLine::Empty() {
    Separator();
    return *this;
}

void CsvLine::End() {
    m_out += '\n';
    m_first = true;
}

}  // namespace qv

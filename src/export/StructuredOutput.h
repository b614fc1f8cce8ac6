// Output for other programs: JSON and CSV texts that jq, pandas and
// spreadsheets read without conversion. Both are UTF-8; times are ISO 8601
// (LineClock.h), bytes plain ASCII hex ("01 03 00 0a"). Writers append to a
// string; OutputBuffer sends it to a stream in large pieces, so a listing of
// 10^8 records never sits in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace qv {

enum class OutputFormat { kText, kJson, kCsv };
// "text", "json" or "csv".
std::optional<OutputFormat> ParseOutputFormat(std::string_view name);

// "01 03 00 0a": two lower-case hex digits per byte, blank-separated.
void AppendHexBytes(std::string& out, std::span<const uint8_t> bytes);
// A JSON string literal with its quotes; bytes that are not UTF-8 become
// U+FFFD so that the document stays valid.
void AppendJsonString(std::string& out, std::string_view text);
// A CSV field: quoted when it holds a comma, a quote or a line break.
void AppendCsvField(std::string& out, std::string_view text);
// A number as JSON writes it: integral values without a fraction, others
// with up to 9 significant digits; not-a-number and infinity as null.
void AppendJsonNumber(std::string& out, double v);

class OutputBuffer {
  public:
    explicit OutputBuffer(std::FILE* stream = stdout) : m_stream(stream) {}
    ~OutputBuffer() { Flush(); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;
    std::string& Text() { return m_text; }
    // Writes the text once it has grown large.
    void Step() {
        if (m_text.size() >= (1 << 18)) Flush();
    }
    // false once a write failed (a closed pipe, a full disk).
    bool Flush();

  private:
    std::FILE* m_stream;
    std::string m_text;
    bool m_ok = true;
};

// Builds a JSON document piece by piece; commas and quotes are its own.
// Elements of the outermost array each start on a new line, so that a long
// listing reads line by line.
class JsonWriter {
  public:
    explicit JsonWriter(std::string& out) : m_out(out) {}
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view key);
    JsonWriter& String(std::string_view v);
    JsonWriter& Int(int64_t v);
    JsonWriter& UInt(uint64_t v);
    JsonWriter& Number(double v);
    JsonWriter& Bool(bool v);
    JsonWriter& Null();
    // Key and value in one step.
    template <class T>
    JsonWriter& Field(std::string_view key, const T& v);
    // Ends the document with a line break.
    void End() { m_out += '\n'; }

  private:
    void Value();
    std::string& m_out;
    std::vector<char> m_stack;  // '{' or '[' with a flag for a first element
    std::vector<bool> m_first;
    bool m_afterKey = false;
};

template <class T>
JsonWriter& JsonWriter::Field(std::string_view key, const T& v) {
    Key(key);
    if constexpr (std::is_same_v<T, bool>)
        return Bool(v);
    else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>)
        return Int(v);
    else if constexpr (std::is_integral_v<T>)
        return UInt(v);
    else if constexpr (std::is_floating_point_v<T>)
        return Number(v);
    else
        return String(v);
}

// One CSV line, field by field, ended by End() with "\n".
class CsvLine {
  public:
    explicit CsvLine(std::string& out) : m_out(out) {}
    CsvLine& Field(std::string_view v);
    CsvLine& Int(int64_t v);
    CsvLine& UInt(uint64_t v);
    CsvLine& Number(double v);
    CsvLine& Empty();
    void End();

  private:
    void Separator();
    std::string& m_out;
    bool m_first = true;
};

}  // namespace qv

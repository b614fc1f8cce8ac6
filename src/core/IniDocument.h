// The parsed form of an INI-style file: sections of lines, kept exactly as
// read (line ends included) so that an unchanged line is written back byte for
// byte. Lookups go through per-section hash indexes, so a capture index with
// tens of thousands of chunk entries is read in linear time.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv {

class IniDocument {
  public:
    // Parses UTF-8 text; LF and CR LF line ends are both accepted.
    static IniDocument Parse(std::string_view text);

    // The value of a key, blanks around it removed; nullopt when absent.
    // Section and key names match without regard to (ASCII) case; the first
    // of duplicated sections or keys wins.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

    // Replaces the key's line, or adds it after the last non-blank line of its
    // section, or adds the section at the end of the document. New and
    // rewritten lines end in CR LF.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes a key or a whole section; false when it was not there.
    bool RemoveKey(std::string_view section, std::string_view key);
    bool RemoveSection(std::string_view section);

    std::string Serialize() const;

  private:
    struct Line {
        std::string text;  // without its line end
        std::string eol;   // "\n", "\r\n" or "" for a last line without one
    };
    struct Section {
        Line header;  // "[name]"; empty text for the lines before the first section
        std::string name;
        std::vector<Line> lines;
        std::unordered_map<std::string, size_t> keys;  // lower-case key → line index
    };

    static std::string Lower(std::string_view s);
    static std::optional<std::string_view> KeyOf(std::string_view line);
    static void IndexSection(Section& s);
    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;
    void RebuildSectionIndex();
    void EndLastLine();

    std::vector<Section> m_sections;  // m_sections[0] holds lines before any header
    std::unordered_map<std::string, size_t> m_sectionIndex;
};

}  // namespace qv

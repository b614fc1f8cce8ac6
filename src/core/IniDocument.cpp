#include "core/IniDocument.h"

namespace qv {

namespace {
constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s) {
    size_t b = s.find_first_not_of(kBlanks);
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(kBlanks);
    return s.substr(b, e - b + 1);
}

// The name of a section header line "[name]", or nullopt.
std::optional<std::string_view> HeaderName(std::string_view line) {
    std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return std::nullopt;
    size_t close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}
}  // namespace

std::string IniDocument::Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::optional<std::string_view> IniDocument::KeyOf(std::string_view line) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(0, eq));
}

void IniDocument::IndexSection(Section& s) {
    s.keys.clear();
    for (size_t i = 0; i < s.lines.size(); ++i) {
        if (auto key = KeyOf(s.lines[i].text)) s.keys.emplace(Lower(*key), i);
    }
}

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument doc;
    doc.m_sections.emplace_back();
    size_t pos = 0;
    while (pos < text.size()) {
        // CR LF, LF and a lone CR (an old editor's line end) all end a line;
        // no CP932 trail byte is either of them.
        const size_t end = text.find_first_of("\r\n", pos);
        Line line;
        if (end == std::string_view::npos) {
            line.text = std::string(text.substr(pos));
            pos = text.size();
        } else {
            const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
            line.eol = crlf ? "\r\n" : text[end] == '\r' ? "\r" : "\n";
            line.text = std::string(text.substr(pos, end - pos));
            pos = end + line.eol.size();
        }
        if (auto name = HeaderName(line.text)) {
            Section s;
            s.name = std::string(*name);
            s.header = std::move(line);
            doc.m_sections.push_back(std::move(s));
        } else {
            doc.m_sections.back().lines.push_back(std::move(line));
        }
    }
    for (auto& s : doc.m_sections)
        IndexSection(s);
    doc.RebuildSectionIndex();
    return doc;
}

void IniDocument::RebuildSectionIndex() {
    m_sectionIndex.clear();
    for (size_t i = 1; i < m_sections.size(); ++i)
        m_sectionIndex.emplace(Lower(m_sections[i].name), i);
}

IniDocument::Section* IniDocument::FindSection(std::string_view name) {
    auto it = m_sectionIndex.find(Lower(Trim(name)));
    return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
    auto it = m_sectionIndex.find(Lower(Trim(name)));
    return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

std::optional<std::string_view> IniDocument::Find(std::string_view section,
                                                  std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s) return std::nullopt;
    auto it = s->keys.find(Lower(Trim(key)));
    if (it == s->keys.end()) return std::nullopt;
    std::string_view line = s->lines[it->second].text;
    return Trim(line.substr(line.find('=') + 1));
}

// A line appended after a last line that had no line end needs one first.
void IniDocument::EndLastLine() {
    for (size_t i = m_sections.size(); i-- > 0;) {
        Section& s = m_sections[i];
        if (!s.lines.empty()) {
            if (s.lines.back().eol.empty()) s.lines.back().eol = "\r\n";
            return;
        }
        if (i > 0) {
            if (s.header.eol.empty()) s.header.eol = "\r\n";
            return;
        }
    }
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string text = std::string(Trim(key)) + "=" + std::string(value);
    Section* s = FindSection(section);
    if (!s) {
        EndLastLine();
        Section fresh;
        fresh.name = std::string(Trim(section));
        fresh.header = Line{"[" + fresh.name + "]", "\r\n"};
        m_sections.push_back(std::move(fresh));
        RebuildSectionIndex();
        s = &m_sections.back();
    }
    auto it = s->keys.find(Lower(Trim(key)));
    if (it != s->keys.end()) {
        Line& line = s->lines[it->second];
        line.text = std::move(text);
        line.eol = "\r\n";
        return;
    }
    // After the section's last non-blank line, so that blank lines between
    // sections stay where they are.
    size_t at = s->lines.size();
    while (at > 0 && Trim(s->lines[at - 1].text).empty())
        --at;
    if (at == s->lines.size()) {
        if (&m_sections.back() == s) EndLastLine();
        s->lines.push_back(Line{std::move(text), "\r\n"});
        s->keys.emplace(Lower(Trim(key)), at);
    } else {
        if (at > 0 && s->lines[at - 1].eol.empty()) s->lines[at - 1].eol = "\r\n";
        if (at == 0 && s->header.eol.empty()) s->header.eol = "\r\n";
        s->lines.insert(s->lines.begin() + static_cast<ptrdiff_t>(at),
                        Line{std::move(text), "\r\n"});
        IndexSection(*s);
    }
}

bool IniDocument::RemoveKey(std::string_view section, std::string_view key) {
    Section* s = FindSection(section);
    if (!s) return false;
    auto it = s->keys.find(Lower(Trim(key)));
    if (it == s->keys.end()) return false;
    s->lines.erase(s->lines.begin() + static_cast<ptrdiff_t>(it->second));
    IndexSection(*s);
    return true;
}

bool IniDocument::RemoveSection(std::string_view section) {
    Section* s = FindSection(section);
    if (!s) return false;
    m_sections.erase(m_sections.begin() + (s - m_sections.data()));
    RebuildSectionIndex();
    return true;
}

std::string IniDocument::Serialize() const {
    std::string out;
    for (size_t i = 0; i < m_sections.size(); ++i) {
        const Section& s = m_sections[i];
        if (i > 0) out += s.header.text + s.header.eol;
        for (const Line& l : s.lines) {
            out += l.text;
            out += l.eol;
        }
    }
    return out;
}

}  // namespace qv

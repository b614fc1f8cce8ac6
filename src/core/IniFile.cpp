#include "core/IniFile.h"

#include <cerrno>

#include "core/FileUtil.h"
#include "core/IniDocument.h"
#include "core/TextCodec.h"
#include "core/TextFields.h"
#include "core/TimeText.h"

namespace qv {

IniFile::IniFile() : m_doc(std::make_unique<IniDocument>()) {}
IniFile::~IniFile() = default;

void IniFile::SetPath(const std::string& path) {
    if (path != m_path) Invalidate();
    m_path = path;
}

int IniFile::Open(const std::string& path) {
    SetPath(path);
    if (PathExists(path)) return 0;
    return CreateNew();
}

int IniFile::CreateNew() {
    BeginNewFile();
    return EndNewFile();
}

void IniFile::Invalidate() {
    m_loaded = false;
    m_statValid = false;
    m_dirty = false;
}

IniDocument& IniFile::Document() {
    // Inside a batch the document in memory is the truth until it is written.
    if (m_batchDepth > 0 && m_loaded) return *m_doc;
    struct stat st {};
    bool exists = !m_path.empty() && ::stat(m_path.c_str(), &st) == 0;
    if (m_loaded) {
        bool same =
            exists ? (m_statValid && st.st_ino == m_stat.st_ino && st.st_dev == m_stat.st_dev &&
                      st.st_size == m_stat.st_size && st.st_mtim.tv_sec == m_stat.st_mtim.tv_sec &&
                      st.st_mtim.tv_nsec == m_stat.st_mtim.tv_nsec)
                   : !m_statValid;
        if (same) return *m_doc;
    }
    std::optional<std::string> bytes = exists ? ReadWholeFile(m_path) : std::nullopt;
    *m_doc = IniDocument::Parse(bytes ? DecodeFileText(*bytes) : std::string());
    m_loaded = true;
    m_statValid = exists && bytes.has_value();
    if (m_statValid) m_stat = st;
    return *m_doc;
}

int IniFile::Flush() {
    m_dirty = false;
    std::optional<std::string> bytes = Utf8ToCp932(m_doc->Serialize());
    bool written = bytes && !m_path.empty() && WriteFileAtomically(m_path, *bytes) == 0;
    if (!written && bytes && !m_path.empty() && m_inPlaceFallback &&
        (errno == ENOSPC || errno == EDQUOT) && PathExists(m_path))
        written = WriteFileInPlace(m_path, *bytes) == 0;
    if (!written) {
        // The document in memory no longer matches the file: read it again.
        Invalidate();
        return -1;
    }
    struct stat st {};
    m_statValid = ::stat(m_path.c_str(), &st) == 0;
    if (m_statValid) m_stat = st;
    return 0;
}

int IniFile::Commit() {
    m_dirty = true;
    if (m_batchDepth > 0) return 0;
    return Flush();
}

int IniFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
    if (m_path.empty() || section.empty() || key.empty()) return -1;
    // A value that cannot be stored in the file's encoding is refused here,
    // before it could spoil a whole batch.
    if (!IsAscii(value) && !Utf8ToCp932(value)) return -1;
    Document().Set(section, key, value);
    return Commit();
}

int IniFile::ReadString(std::string_view section, std::string_view key, std::string& out,
                             size_t size) {
    auto value = Document().Find(section, key);
    if (!value) {
        out = kNoKey;
        return -1;
    }
    out.assign(*value);
    if (size > 0 && out.size() > size - 1) {
        // The limit counts CP932 bytes, as a Windows buffer of `size` would;
        // never cut a character in half.
        std::optional<std::string> wide = Utf8ToCp932(out);
        if (wide && wide->size() > size - 1) {
            size_t cut = 0;
            for (size_t i = 0; i < wide->size();) {
                auto c = static_cast<unsigned char>((*wide)[i]);
                size_t len = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
                if (i + len > size - 1) break;
                i += len;
                cut = i;
            }
            out = Cp932ToUtf8(wide->substr(0, cut)).value_or(std::string());
        } else if (!wide) {
            out.resize(size - 1);
        }
    }
    if (out.empty() || out.compare(0, kNoKey.size(), kNoKey) == 0) return -1;
    return 0;
}

std::string IniFile::ReadValue(std::string_view section, std::string_view key, size_t size) {
    std::string out;
    ReadString(section, key, out, size);
    return out;
}

bool IniFile::HasValue(std::string_view section, std::string_view key) {
    std::string out;
    return ReadString(section, key, out) == 0;
}

int IniFile::DeleteKey(std::string_view section, std::string_view key) {
    if (m_path.empty()) return -1;
    if (!Document().RemoveKey(section, key)) return 0;
    return Commit();
}

int IniFile::DeleteSection(std::string_view section) {
    if (m_path.empty()) return -1;
    if (!Document().RemoveSection(section)) return 0;
    return Commit();
}

void IniFile::BeginBatch() {
    if (m_batchDepth++ == 0) Document();
}

int IniFile::EndBatch() {
    if (m_batchDepth == 0) return 0;
    if (--m_batchDepth > 0 || !m_dirty) return 0;
    return Flush();
}

void IniFile::BeginNewFile() {
    m_newFile.clear();
}

void IniFile::WriteLine(std::string_view text) {
    m_newFile += text;
}

int IniFile::EndNewFile() {
    std::optional<std::string> bytes = Utf8ToCp932(m_newFile);
    m_newFile.clear();
    Invalidate();
    if (!bytes || m_path.empty()) return -1;
    return WriteFileAtomically(m_path, *bytes);
}

std::string_view IniFile::GetField(std::string_view text, int n) {
    return n < 1 ? std::string_view() : qv::GetField(text, static_cast<size_t>(n));
}

std::optional<std::string> IniFile::TicksToTimeText(uint64_t ticks) {
    return TicksToColonText(ticks);
}

uint64_t IniFile::TimeTextToTicks(std::string_view text) {
    return TextToTicks(text);
}

}  // namespace qv

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
    if (path.empty()) return -1;
    // Two programs opening a missing file at once must not both write the template.
    FileLock lock(path);
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
    // Section and key names are ASCII, and no CP932 trail byte is a line
    // end, "=" or a blank, so the lines can be parsed in the file's own bytes.
    m_utf8 = bytes && ReadsAsUtf8(*bytes);
    *m_doc = IniDocument::Parse(bytes ? *bytes : std::string());
    m_loaded = true;
    m_statValid = exists && bytes.has_value();
    if (m_statValid) m_stat = st;
    return *m_doc;
}

int IniFile::Flush() {
    m_dirty = false;
    std::string bytes = m_doc->Serialize();
    if (m_utf8) {
        // A file saved as UTF-8 goes back to CP932 when all of it has a CP932
        // form; otherwise it stays UTF-8 rather than lose a character.
        if (std::optional<std::string> cp932 = SettingsFileBytes(bytes); cp932 && *cp932 != bytes) {
            bytes = std::move(*cp932);
            *m_doc = IniDocument::Parse(bytes);
            m_utf8 = false;
        }
    } else if (ReadsAsUtf8(bytes)) {
        // CP932 bytes that would read back as UTF-8, that is as other text:
        // the file is kept in UTF-8, which reads back as written.
        if (std::optional<std::string> utf8 = Cp932ToUtf8(bytes)) {
            bytes = std::move(*utf8);
            *m_doc = IniDocument::Parse(bytes);
            m_utf8 = true;
        }
    }
    bool written = !m_path.empty() && WriteFileAtomically(m_path, bytes) == 0;
    m_writeError = written ? 0 : m_path.empty() ? ENOENT : errno;
    // On a full disk the temporary copy cannot be made; an index that must
    // stay readable is then rewritten where it stands.
    if (!written && !m_path.empty() && m_inPlaceFallback &&
        (errno == ENOSPC || errno == EDQUOT) && PathExists(m_path))
        written = WriteFileInPlace(m_path, bytes) == 0;
    if (written) m_writeError = 0;
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

std::string IniFile::ToText(std::string_view stored) const {
    if (m_utf8 || IsAscii(stored)) return std::string(stored);
    // Bytes that are not CP932 either read as U+FFFD; the line itself keeps
    // them unless the caller writes this key.
    return Cp932ToUtf8(stored).value_or(DecodeFileText(stored));
}

std::optional<std::string> IniFile::ToStored(std::string_view text) const {
    if (m_utf8 || IsAscii(text)) return std::string(text);
    return Utf8ToCp932(text);
}

bool IniFile::CanStore(std::string_view text) {
    if (IsAscii(text)) return true;
    if (!m_path.empty()) Document();  // learn the file's encoding
    return ToStored(text).has_value();
}

int IniFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
    if (m_path.empty() || section.empty() || key.empty()) return -1;
    BeginBatch();
    // A value that cannot be stored in the file's encoding is refused here,
    // before it could spoil a whole batch.
    std::optional<std::string> s = ToStored(section), k = ToStored(key), v = ToStored(value);
    if (s && k && v) {
        Document().Set(*s, *k, *v);
        m_dirty = true;
    }
    int rc = EndBatch();
    return s && k && v ? rc : -1;
}

int IniFile::ReadString(std::string_view section, std::string_view key, std::string& out,
                             size_t size) {
    IniDocument& doc = Document();
    std::optional<std::string> s = ToStored(section), k = ToStored(key);
    auto value = s && k ? doc.Find(*s, *k) : std::nullopt;
    if (!value) {
        out = kNoKey;
        return -1;
    }
    if (!m_utf8 && size > 0 && value->size() > size - 1) {
        // CP932 bytes as they are in the file: cut at a character's start.
        size_t cut = 0;
        for (size_t i = 0; i < value->size();) {
            auto c = static_cast<unsigned char>((*value)[i]);
            size_t len = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
            if (i + len > size - 1) break;
            i += len;
            cut = i;
        }
        value = value->substr(0, cut);
    }
    out = ToText(*value);
    if (m_utf8 && size > 0 && out.size() > size - 1) {
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
            // No CP932 form to count in: count UTF-8 bytes, whole characters only.
            size_t cut = size - 1;
            while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
                --cut;
            out.resize(cut);
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
    std::optional<std::string> s = ToStored(section), k = ToStored(key);
    if (!s || !k) return 0;
    BeginBatch();
    if (Document().RemoveKey(*s, *k)) m_dirty = true;
    return EndBatch();
}

int IniFile::DeleteSection(std::string_view section) {
    if (m_path.empty()) return -1;
    std::optional<std::string> s = ToStored(section);
    if (!s) return 0;
    BeginBatch();
    if (Document().RemoveSection(*s)) m_dirty = true;
    return EndBatch();
}

void IniFile::BeginBatch() {
    if (m_batchDepth++ > 0) return;
    m_lock = FileLock(m_path);
    // Under the lock, always from the disk: a rewrite by another program
    // can look unchanged to the size and time check.
    Invalidate();
    Document();
}

int IniFile::EndBatch() {
    if (m_batchDepth == 0) return 0;
    if (--m_batchDepth > 0) return 0;
    int rc = 0;
    if (m_cancelled) {
        // The document holds the dropped changes: read the file afresh next time.
        m_cancelled = false;
        m_dirty = false;
        Invalidate();
        rc = -1;
    } else if (m_dirty) {
        rc = Flush();
    }
    m_lock.Release();
    return rc;
}

void IniFile::CancelBatch() {
    if (m_batchDepth > 0) m_cancelled = true;
}

void IniFile::BeginNewFile() {
    m_newFile.clear();
}

void IniFile::WriteLine(std::string_view text) {
    m_newFile += text;
}

int IniFile::EndNewFile() {
    std::optional<std::string> bytes = SettingsFileBytes(m_newFile);
    m_newFile.clear();
    if (m_batchDepth == 0) Invalidate();
    if (!bytes || m_path.empty()) return -1;
    FileLock lock(m_path);
    int rc = WriteFileAtomically(m_path, *bytes);
    m_writeError = rc == 0 ? 0 : errno;
    if (m_batchDepth > 0) {
        // Inside a batch the new file is the document from here on.
        m_dirty = false;
        m_loaded = false;
        Document();
    }
    return rc;
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

// Keyed access to INI-style files (status files, capture indexes, the conf
// file and the settings store) with the rules of the Windows profile-string
// calls that such files were made with: section and key names match without
// regard to case, blanks around a value are not part of it, a value holds at
// most 255 characters, a missing key is added at the end of its section and a
// missing section at the end of the file.
//
// On disk the text is CP932 (UTF-8 files are read too); callers see UTF-8.
// The document keeps the file's own bytes, so lines the program does not
// change are written back byte for byte, whatever they hold. A file read as
// UTF-8 is written back as CP932 when all of it has a CP932 form, and stays
// UTF-8 otherwise. A file is parsed once and re-parsed only when it changed
// on disk; every rewrite goes to a temporary file that is renamed over the
// old one, so a file is never left half written. Many writes can share one
// rewrite (BeginBatch); a batch holds the file's advisory lock and reads the
// file afresh, so other programs' changes are neither lost nor overwritten.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/FileUtil.h"

namespace qv {

class IniDocument;

class IniFile {
  public:
    // The text an absent key reads as.
    static constexpr std::string_view kNoKey = "NOKEY";
    // Profile strings are read into 256-byte buffers: at most 255 characters.
    static constexpr size_t kValueBufferSize = 256;

    IniFile();
    virtual ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Binds the object to `path`; when nothing exists there, calls CreateNew.
    // The path is kept even when creation fails. 0 or -1.
    int Open(const std::string& path);
    // Creates or truncates the file (an empty file here; derived classes write
    // their template). 0 or -1.
    virtual int CreateNew();

    const std::string& GetPath() const { return m_path; }
    // Rebinds without touching the disk.
    void SetPath(const std::string& path);

    // Sets the key's value, adding the key or section when missing. 0 or -1;
    // -1 also for a value the file's encoding cannot hold (CanStore).
    int WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Reads a value into `out` (at most size - 1 bytes of its CP932 form).
    // 0 only when the value is not empty and does not begin with "NOKEY";
    // -1 otherwise. `out` holds "NOKEY" when the key is missing.
    int ReadString(std::string_view section, std::string_view key, std::string& out,
                   size_t size = kValueBufferSize);
    // Convenience: the value as ReadString leaves it in the buffer.
    std::string ReadValue(std::string_view section, std::string_view key,
                          size_t size = kValueBufferSize);
    // Whether the key is present with a usable value (ReadString would give 0).
    bool HasValue(std::string_view section, std::string_view key);

    // Removes one key, or a whole section with its keys. 0 (also when absent) or -1.
    int DeleteKey(std::string_view section, std::string_view key);
    int DeleteSection(std::string_view section);

    // Whether the file's encoding can hold the text: always for a file kept
    // in UTF-8, else when the text has a CP932 form.
    bool CanStore(std::string_view text);

    // Writes between BeginBatch and EndBatch change the file once, at the
    // outermost EndBatch, whose status reports whether that rewrite worked.
    // The outermost BeginBatch takes the file's lock and reads the file
    // again; reads inside the batch see the document as changed so far, so
    // a read-modify-write belongs inside one batch. EndBatch gives the lock
    // back. A batch stays on the thread that began it.
    void BeginBatch();
    int EndBatch();
    // Drops the changes of the open batch: the outermost EndBatch then
    // writes nothing, leaves the file as it was and gives -1. For a change
    // made of many writes that must land whole or not at all.
    void CancelBatch();

    // The system's error number of the last rewrite that failed (ENOSPC on
    // a full disk); 0 after one that worked. Callers say it themselves: a
    // log on the same full disk could not keep it for them.
    int LastWriteError() const { return m_writeError; }

    // When the disk has no room for the temporary copy, write over the file
    // in place instead of not at all (see WriteFileInPlace).
    void SetInPlaceFallback(bool on) { m_inPlaceFallback = on; }

    // Template writing: BeginNewFile starts an empty file in memory, WriteLine
    // appends raw text (its own line ends included), EndNewFile writes it. 0 or -1.
    void BeginNewFile();
    void WriteLine(std::string_view text);
    int EndNewFile();

    // Field n (from 1) of a comma-separated text: the text between comma n - 1
    // and comma n, blanks kept; empty when missing.
    static std::string_view GetField(std::string_view text, int n);
    // Colon time text "%02d:%02d:%02d %03d:%03d:%03d"; nullopt above 24 h.
    static std::optional<std::string> TicksToTimeText(uint64_t ticks);
    static uint64_t TimeTextToTicks(std::string_view text);

  private:
    // Makes sure the parsed document matches the file on disk.
    IniDocument& Document();
    // Text between the caller (UTF-8) and the document (the file's encoding).
    std::string ToText(std::string_view stored) const;
    std::optional<std::string> ToStored(std::string_view text) const;
    int Flush();
    void Invalidate();

    std::string m_path;
    std::unique_ptr<IniDocument> m_doc;
    bool m_loaded = false;
    struct stat m_stat {};
    bool m_statValid = false;
    int m_batchDepth = 0;
    bool m_dirty = false;
    bool m_cancelled = false;  // CancelBatch was called in the open batch
    bool m_utf8 = false;    // the file was read as UTF-8 (the document holds UTF-8)
    FileLock m_lock;        // held while a batch is open
    bool m_inPlaceFallback = false;
    int m_writeError = 0;
    std::string m_newFile;  // the file being created by BeginNewFile/WriteLine
};

// A batch as a scope: begun on construction, ended by End or at the latest
// when the scope is left (an early return included).
class IniBatch {
  public:
    explicit IniBatch(IniFile& file) : m_file(&file) { file.BeginBatch(); }
    ~IniBatch() {
        if (m_file) m_file->EndBatch();
    }
    IniBatch(const IniBatch&) = delete;
    IniBatch& operator=(const IniBatch&) = delete;
    // Ends the batch now; the status of its rewrite.
    int End() {
        int rc = m_file ? m_file->EndBatch() : 0;
        m_file = nullptr;
        return rc;
    }

  private:
    IniFile* m_file;
};

}  // namespace qv

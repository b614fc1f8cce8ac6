// Settings files of any content through the INI layer: the parsed document
// must give back an unchanged file byte for byte, keep what it was told to
// set, and the keyed access over a real file (the settings store, the conf
// file) must never fail on what it read.
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzCapture.h"
#include "core/FileUtil.h"
#include "core/IniDocument.h"
#include "core/IniFile.h"
#include "core/TextCodec.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_ini: %s\n", what);
    std::abort();
}

// A key or section name the input cannot confuse with its own lines.
bool PlainName(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // Parse and serialise give back the same bytes.
    IniDocument doc = IniDocument::Parse(text);
    if (doc.Serialize() != text) Fail("an unchanged document did not serialise to its input");

    // The last line names a section, key and value to set; the value must
    // read back as set (without its surrounding blanks), and every other
    // key of the document must read as before.
    size_t nl = text.rfind('\n');
    std::string_view last = nl == std::string_view::npos ? text : text.substr(nl + 1);
    std::string_view section = IniFile::GetField(last, 1);
    std::string_view key = IniFile::GetField(last, 2);
    std::string_view value = IniFile::GetField(last, 3);
    if (PlainName(section) && PlainName(key) && value.find_first_of("\r\n") == std::string_view::npos) {
        // A neighbour key that the set must leave alone, unless it is the one set.
        const bool same = IniDocument::Parse("[" + std::string(section) + "]\n" + std::string(key) + "=1")
                              .Find("Probe", "Other")
                              .has_value();
        std::optional<std::string_view> before = doc.Find("Probe", "Other");
        std::string beforeText = before ? std::string(*before) : std::string("\x01none");
        doc.Set(section, key, value);
        std::string_view trimmed = value;
        while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t'))
            trimmed.remove_prefix(1);
        while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t'))
            trimmed.remove_suffix(1);
        std::optional<std::string_view> got = doc.Find(section, key);
        if (!got || *got != trimmed) Fail("a value did not read back as set");
        IniDocument again = IniDocument::Parse(doc.Serialize());
        std::optional<std::string_view> reread = again.Find(section, key);
        if (!reread || *reread != trimmed) Fail("a value set did not survive a rewrite");
        std::optional<std::string_view> after = again.Find("Probe", "Other");
        std::string afterText = after ? std::string(*after) : std::string("\x01none");
        if (!same && beforeText != afterText) Fail("setting one key changed another");
        doc.RemoveKey(section, key);
        doc.RemoveSection(section);
        doc.Serialize();
    }

    // The same bytes as files the programs read and rewrite.
    static const std::string folder = fuzz::ScratchFolder();
    static const std::string path = folder + "/fuzz.ini";
    fuzz::WriteFile(path, data, size);
    IniFile ini;
    ini.SetPath(path);
    std::string out;
    ini.ReadString("QV-S", "Frequency", out);
    ini.ReadString("App", "Directory", out, 8);
    ini.ReadString("c", "dco", out);
    // A file of any content can take a plain ASCII value: lines the program
    // did not change keep their bytes, whatever their encoding.
    if (ini.WriteString("Probe", "Fuzz", "1") != 0) Fail("a plain value could not be written");
    std::optional<std::string> written = ReadWholeFile(path);
    if (!written) Fail("the rewritten file cannot be read");
    if (written->compare(0, size, text) != 0 && written->find("Fuzz") == std::string::npos)
        Fail("the rewrite lost the value");
    if (ini.ReadValue("Probe", "Fuzz") != "1") Fail("the value written did not read back");
    DecodeFileText(text);
    return 0;
}

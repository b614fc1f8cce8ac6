#include "export/ExportRegistry.h"

#include <array>

namespace qv {

// Each format's module gives its one object.
const ExportFormat& CaptureCopyFormat();
const ExportFormat& CsvFormat();
const ExportFormat& PcapngFormat();

std::span<const ExportFormat* const> ExportFormats() {
    static const std::array<const ExportFormat*, 3> formats{&CaptureCopyFormat(), &CsvFormat(),
                                                            &PcapngFormat()};
    return formats;
}

const ExportFormat* FindExportFormat(std::string_view name) {
    for (const ExportFormat* f : ExportFormats())
        if (f->Name() == name) return f;
    return nullptr;
}

std::string_view ExportRequest::Choice(const ExportChoice& choice) const {
    auto it = choices.find(choice.name);
    if (it != choices.end()) return it->second;
    return choice.values.empty() ? std::string_view{} : choice.values.front().name;
}

}  // namespace qv

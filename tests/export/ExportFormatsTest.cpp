// Every registered export format, as the save command and the save dialog
// run it: through the save worker, on a small capture.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "capture/CaptureReader.h"
#include "core/Log.h"
#include "core/SettingsStore.h"
#include "export/ExportCaptures.h"
#include "export/ExportRegistry.h"
#include "export/SaveWorker.h"
#include "support/AppHome.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

// Every file under `path` (or the file itself) with its bytes.
std::map<std::string, std::string> Contents(const fs::path& path) {
    std::map<std::string, std::string> out;
    auto read = [&](const fs::path& f) {
        std::ifstream in(f, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        out[f.string()] = s.str();
    };
    if (fs::is_regular_file(path)) read(path);
    if (fs::is_directory(path))
        for (const auto& e : fs::directory_iterator(path))
            read(e.path());
    return out;
}

ExportResult Save(const ExportFormat& format, const ExportRequest& request) {
    test::SaveSink sink;
    SaveWorker worker(sink, format, request);
    EXPECT_EQ(worker.Start(), 0);
    worker.Wait();
    EXPECT_EQ(sink.endings.back(), SaveReport::kEnded);
    return worker.Result();
}

TEST(ExportFormats, NamesAreUnique) {
    std::set<std::string_view> names;
    for (const ExportFormat* f : ExportFormats()) {
        EXPECT_TRUE(names.insert(f->Name()).second) << "a second format named " << f->Name();
        EXPECT_EQ(FindExportFormat(f->Name()), f);
    }
    EXPECT_EQ(FindExportFormat("no such format"), nullptr);
}

class ExportFormatsTest : public ::testing::TestWithParam<int> {};

INSTANTIATE_TEST_SUITE_P(Protocols, ExportFormatsTest,
                         ::testing::Values(kProtocolAsync, kProtocolSync, kProtocolHdlc,
                                           kProtocolLogic));

TEST_P(ExportFormatsTest, EachWritesWhatItSaysAndKeepsAnEarlierOutputUnlessAsked) {
    test::AppHome home;
    test::CaptureBuilder b(home.file("cap"), GetParam());
    const std::string index = test::BuildExportCapture(b, 2, 300, 5);
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    ASSERT_EQ(file.Open(index), 0);

    for (const ExportFormat* f : ExportFormats()) {
        SCOPED_TRACE(std::string(f->Name()));
        const bool folder = f->Writes() == ExportFormat::Target::kFolder;
        ExportRequest r;
        r.source = index;
        r.destination = home.file("out-" + std::string(f->Name())) + std::string(f->Extension());
        r.fileRecords = 250;
        if (folder) fs::create_directories(r.destination);
        if (!f->Takes(file)) {
            // Refused at its start, with nothing written.
            const ExportResult refused = Save(*f, r);
            EXPECT_EQ(refused.ending, SaveReport::kStartRefused);
            EXPECT_FALSE(refused.made);
            EXPECT_FALSE(refused.error.empty());
            EXPECT_TRUE(Contents(r.destination).empty());
            for (const auto& e : fs::directory_iterator(home.path()))
                EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
            continue;
        }

        ASSERT_FALSE(f->Refusal(file, r));
        const ExportResult first = Save(*f, r);
        EXPECT_EQ(first.ending, SaveReport::kCaptureEnd) << first.error;
        EXPECT_TRUE(first.made);
        EXPECT_TRUE(first.error.empty()) << first.error;
        EXPECT_GT(first.written, 0u);
        EXPECT_NE(first.summary.find(fs::path(r.destination).filename().string()),
                  std::string::npos)
            << first.summary;
        // A folder format fills its folder; a file format writes its one file
        // and leaves no part file beside it.
        EXPECT_EQ(folder ? fs::is_directory(r.destination) : fs::is_regular_file(r.destination),
                  true);
        const auto written = Contents(r.destination);
        if (folder) {
            EXPECT_GE(written.size(), first.files);
        }
        for (const auto& e : fs::directory_iterator(home.path()))
            EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();

        // Again into the same place: refused as the command line refuses it,
        // and the earlier output stays as it was.
        const auto refused = f->Refusal(file, r);
        ASSERT_TRUE(refused);
        EXPECT_TRUE(refused->usage);
        EXPECT_NE(refused->error.find("--overwrite"), std::string::npos) << refused->error;
        EXPECT_EQ(Save(*f, r).ending, SaveReport::kStartRefused);
        EXPECT_EQ(Contents(r.destination), written);
        r.overwrite = true;
        EXPECT_FALSE(f->Refusal(file, r));
        EXPECT_TRUE(Save(*f, r).made);
        EXPECT_EQ(Contents(r.destination), written);
    }
}

}  // namespace
}  // namespace qv

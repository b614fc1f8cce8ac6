// A Modbus RTU exchange replayed by qvsim, recorded by qvtool, exported as
// pcapng and read back by tshark as a user would; and the machine-readable
// listings of the same capture parsed back.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <fstream>
#include <sstream>

#include "integration/Bench.h"
#include "support/JsonValue.h"

namespace qv::test {
namespace {

std::string ModbusFrame(std::vector<uint8_t> b) {
    uint16_t crc = 0xFFFF;
    for (uint8_t x : b) {
        crc ^= x;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    b.push_back(static_cast<uint8_t>(crc));
    b.push_back(static_cast<uint8_t>(crc >> 8));
    std::string out;
    char hex[4];
    for (uint8_t x : b) {
        std::snprintf(hex, sizeof hex, "%02x ", x);
        out += hex;
    }
    return out;
}

class Modbus : public Bench {
  protected:
    // Replays three request/response pairs at 9600 bit/s 8E1 and records
    // them; `record` runs the recording (qvtool record, or a pipeline).
    std::string Record() {
        RunResult r = Record([&] { return Tool({"record", "--duration", "3", "--yes"}); });
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out.substr(0, r.out.find('\n'));
    }
    template <class Run>
    RunResult Record(Run record) {
        WriteBytes(work.file("modbus.txt"),
                   "# a master reads registers of slaves 1 and 2, then writes one\n"
                   "1000 LINES RS ER\n"
                   "2000 SD " + ModbusFrame({1, 3, 0, 0, 0, 2}) + "\n" +
                   "40000 RD " + ModbusFrame({1, 3, 4, 0, 10, 0, 20}) + "\n" +
                   "100000 SD " + ModbusFrame({2, 3, 0, 0x10, 0, 1}) + "\n" +
                   "130000 RD " + ModbusFrame({2, 3, 2, 0x01, 0xF4}) + "\n" +
                   "200000 SD " + ModbusFrame({1, 6, 0, 1, 0, 0xFF}) + "\n" +
                   "230000 RD " + ModbusFrame({1, 6, 0, 1, 0, 0xFF}) + "\n");
        StartSim({"--serial", "MB1", "--source", "replay:" + work.file("modbus.txt"), "--rate",
                  "max"});
        EXPECT_EQ(Tool({"units", "select", "MB1"}).status, 0);
        auto r = Tool({"settings", "set", "SD_Baudrate=9600", "RD_Baudrate=SD", "Parity=EVEN"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Tool({"settings", "check", "--yes"}).status, 0);
        return record();
    }

    // Runs a shell script with the bench's environment.
    RunResult Shell(const std::string& script) {
        const int n = ++counter;
        Process p({"/bin/sh", "-c", script}, TestEnv(home.path(), sims.path()),
                  work.file("sh" + std::to_string(n) + ".out"),
                  work.file("sh" + std::to_string(n) + ".err"));
        RunResult r;
        r.status = p.Wait(120);
        r.out = p.Out();
        r.err = p.Err();
        return r;
    }

    // The frames of the script Record replays, in its order: the direction
    // (SD, RD) and the bytes.
    std::vector<std::pair<std::string, std::string>> ScriptFrames() {
        std::vector<std::pair<std::string, std::string>> frames;
        for (const std::string& line : Lines(ReadBytes(work.file("modbus.txt")))) {
            std::istringstream in(line);
            std::string time, kind, bytes;
            in >> time >> kind;
            if (kind != "SD" && kind != "RD") continue;
            for (unsigned x; in >> std::hex >> x;)
                bytes.push_back(static_cast<char>(x));
            frames.emplace_back(kind, bytes);
        }
        return frames;
    }

    // The environment of a Wireshark program of a home of its own, whose
    // personal extcap folder holds the link to qvtool.
    std::vector<std::string> WiresharkEnv() {
        const std::string wsHome = work.file("wireshark-home");
        const std::string folder = wsHome + "/.config/wireshark/extcap";
        std::filesystem::create_directories(folder);
        std::error_code ec;
        std::filesystem::create_symlink(QVTOOL_PATH, folder + "/qvort-extcap", ec);
        std::vector<std::string> env = TestEnv(home.path(), sims.path());
        std::erase_if(env, [](const std::string& e) {
            return e.starts_with("HOME=") || e.starts_with("XDG_CONFIG_HOME=");
        });
        env.push_back("HOME=" + wsHome);
        return env;
    }

    // The capture a run made under the application folder's save folder.
    std::string RecordedIndex() {
        for (const auto& e : std::filesystem::recursive_directory_iterator(home.path()))
            if (e.path().extension() == ".qvr") return e.path().string();
        return "";
    }

    // Every packet of a pcapng file as tshark reads it: time, direction,
    // length, comment, and the Modbus unit, function and CRC status.
    std::vector<std::string> Packets(const std::string& file) {
        Process tshark({"/usr/bin/tshark", "-r", file, "-d", "rtacser.data,mbrtu", "-o",
                        "mbrtu.crc_verification:TRUE", "-T", "fields", "-E", "separator=;", "-e",
                        "frame.time_epoch", "-e", "frame.packet_flags_direction", "-e", "frame.len",
                        "-e", "frame.comment", "-e", "mbrtu.unit_id", "-e", "modbus.func_code",
                        "-e", "mbrtu.crc16.status"},
                       TestEnv(home.path(), sims.path()), file + ".tshark.out",
                       file + ".tshark.err");
        EXPECT_EQ(tshark.Wait(120), 0) << tshark.Err();
        return Lines(tshark.Out());
    }
};

// The capture's index in what a recording wrote to standard error.
std::string IndexIn(const std::string& err) {
    for (const std::string& line : Lines(err))
        if (line.ends_with(".qvr")) return line;
    return "";
}

TEST_F(Modbus, TsharkReadsEveryRequestAndResponseWithAGoodCrc) {
    const std::string capture = Record();
    const std::string file = work.file("modbus.pcapng");
    auto r = Tool({"save", capture, "--pcapng", file, "--payload", "modbus-rtu"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("6 messages"), std::string::npos) << r.out;
    // An existing file is kept unless --overwrite says otherwise.
    EXPECT_EQ(Tool({"save", capture, "--pcapng", file}).status, 2);
    // Standard output gets the same bytes.
    auto piped = Tool({"save", capture, "--pcapng", "-", "--payload", "modbus-rtu"});
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, ReadBytes(file));

    if (!std::filesystem::exists("/usr/bin/tshark")) GTEST_SKIP() << "tshark is not installed";
    Process tshark({"/usr/bin/tshark", "-r", file, "-d", "rtacser.data,mbrtu", "-o",
                    "mbrtu.crc_verification:TRUE", "-Y", "mbrtu", "-T", "fields", "-E",
                    "separator=;", "-e", "frame.packet_flags_direction", "-e", "mbrtu.unit_id",
                    "-e", "modbus.func_code", "-e", "mbrtu.crc16.status", "-e",
                    "modbus.regval_uint16"},
                   TestEnv(home.path(), sims.path()), work.file("tshark.out"),
                   work.file("tshark.err"));
    ASSERT_EQ(tshark.Wait(120), 0) << tshark.Err();
    // Direction (2 outbound SD, 1 inbound RD), unit, function, CRC status
    // (1: good) and the register values of the responses.
    EXPECT_EQ(Lines(tshark.Out()), (std::vector<std::string>{
                                       "0x00000002;1;3;1;", "0x00000001;1;3;1;10,20",
                                       "0x00000002;2;3;1;", "0x00000001;2;3;1;500",
                                       "0x00000002;1;6;1;", "0x00000001;1;6;1;"}));
}

// The live stream beside a recording holds the packets the export of the
// finished capture holds, and a pipe into tshark decodes them as they come.
TEST_F(Modbus, LiveStreamEqualsTheExportOfTheCaptureRecordedWithIt) {
    if (!std::filesystem::exists("/usr/bin/tshark")) GTEST_SKIP() << "tshark is not installed";
    const std::string live = work.file("live.pcapng");
    const std::string decoded = work.file("live.txt");
    RunResult r = Record([&] {
        return Shell(std::string(QVTOOL_PATH) +
                     " record --duration 3 --yes --pcapng - --payload modbus-rtu | tee " + live +
                     " | /usr/bin/tshark -r - -d rtacser.data,mbrtu -Y mbrtu -T fields -e "
                     "mbrtu.unit_id >" + decoded);
    });
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string index = IndexIn(r.err);
    ASSERT_FALSE(index.empty()) << r.err;
    // The recording's own texts went to standard error, the stream alone to the pipe.
    EXPECT_EQ(Lines(ReadBytes(decoded)), (std::vector<std::string>{"1", "1", "2", "2", "1", "1"}));
    EXPECT_EQ(CheckConsistent(index), 49u);

    const std::string saved = work.file("saved.pcapng");
    auto s = Tool({"save", index, "--pcapng", saved, "--payload", "modbus-rtu"});
    ASSERT_EQ(s.status, 0) << s.err;
    const std::vector<std::string> packets = Packets(saved);
    EXPECT_EQ(packets.size(), 7u);  // the line change and six messages
    EXPECT_EQ(Packets(live), packets);
}

// The data of each packet block of a pcapng file (little-endian, as ours
// are written): the serial header and the message's bytes.
std::vector<std::string> PacketData(const std::string& bytes) {
    auto u32 = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
        return v;
    };
    std::vector<std::string> out;
    for (size_t at = 0; at + 8 <= bytes.size();) {
        const uint32_t length = u32(at + 4);
        if (length < 12 || at + length > bytes.size()) break;
        if (u32(at) == 6 && length >= 28) out.push_back(bytes.substr(at + 28, u32(at + 20)));
        at += length;
    }
    return out;
}

size_t PacketBlocks(const std::string& bytes) {
    return PacketData(bytes).size();
}

// The last message, which no later record ends, reaches the file while the
// run goes on: the line's silence ends it.
TEST_F(Modbus, LiveStreamEndsTheLastMessageWhileTheRunGoesOn) {
    const std::string live = work.file("live.pcapng");
    std::unique_ptr<Process> run;
    Record([&] {
        run = std::make_unique<Process>(
            std::vector<std::string>{QVTOOL_PATH, "record", "--yes", "--pcapng", live},
            TestEnv(home.path(), sims.path()), work.file("run.out"), work.file("run.err"));
        return RunResult{};
    });
    // The line change and six messages.
    EXPECT_TRUE(WaitFor([&] { return PacketBlocks(ReadBytes(live)) == 7; }))
        << PacketBlocks(ReadBytes(live));
    EXPECT_EQ(run->Wait(0), -1) << "the run ended: " << run->Err();
    run->Signal(SIGTERM);
    EXPECT_EQ(run->Wait(120), 0) << run->Err();
    EXPECT_EQ(PacketBlocks(ReadBytes(live)), 7u);
    EXPECT_EQ(CheckConsistent(IndexOf(RunResult{0, run->Out(), ""})), 49u);
    // A stream file that exists is kept.
    const std::string kept = ReadBytes(live);
    EXPECT_EQ(Tool({"record", "--yes", "--duration", "1", "--pcapng", live}).status, 2);
    EXPECT_EQ(ReadBytes(live), kept);
}

// A stream whose reader goes away ends the recording in order: the capture
// is finished and whole.
TEST_F(Modbus, StreamReaderGoneEndsTheRecordingWithTheCaptureWhole) {
    const std::string status = work.file("status");
    RunResult r = Record([&] {
        return Shell("{ " + std::string(QVTOOL_PATH) +
                     " record --duration 60 --yes --pcapng -; echo $? >" + status +
                     "; } | head -c 1 >/dev/null");
    });
    EXPECT_EQ(Lines(ReadBytes(status)), (std::vector<std::string>{"0"})) << r.err;
    EXPECT_NE(r.err.find("its reader has gone"), std::string::npos) << r.err;
    const std::string index = IndexIn(r.err);
    ASSERT_FALSE(index.empty()) << r.err;
    CheckConsistent(index);
}

// qvtool started as the capture-interface program answers Wireshark's
// questions about the unit, and its capture goes to the fifo a reader takes
// it from, live, with the capture recorded beside it and finished on SIGTERM.
TEST_F(Modbus, CaptureInterfaceListsTheUnitAndCapturesIntoTheFifo) {
    if (!std::filesystem::exists("/usr/bin/tshark")) GTEST_SKIP() << "tshark is not installed";
    const std::string extcap = work.file("qvort-extcap");
    std::filesystem::create_symlink(QVTOOL_PATH, extcap);
    const std::string fifo = work.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto ask = [&](std::vector<std::string> args) {
        args.insert(args.begin(), extcap);
        Process p(args, TestEnv(home.path(), sims.path()), work.file("ask.out"),
                  work.file("ask.err"));
        EXPECT_EQ(p.Wait(120), 0) << p.Err();
        return p.Out();
    };
    std::unique_ptr<Process> run, tshark;
    Record([&] {
        const std::string interfaces = ask({"--extcap-interfaces", "--extcap-version=4.0"});
        EXPECT_TRUE(interfaces.starts_with("extcap {version=")) << interfaces;
        EXPECT_NE(interfaces.find("interface {value=qvort-MB1}{display=QV-ORT "),
                  std::string::npos) << interfaces;
        EXPECT_NE(interfaces.find(" MB1}\n"), std::string::npos) << interfaces;
        EXPECT_EQ(ask({"--extcap-dlts", "--extcap-interface", "qvort-MB1"}),
                  "dlt {number=250}{name=RTAC_SERIAL}{display=Serial line (RTAC serial)}\n");
        // The unit's own settings are the defaults.
        const std::string config = ask({"--extcap-config", "--extcap-interface", "qvort-MB1"});
        EXPECT_NE(config.find("value {arg=3}{value=EVEN}{display=EVEN}{default=true}"),
                  std::string::npos) << config;
        EXPECT_NE(config.find("{call=--sd-rate}{display=SD rate (bit/s)}{type=string}"
                              "{default=9600.0}"),
                  std::string::npos) << config;
        tshark = std::make_unique<Process>(
            std::vector<std::string>{"/usr/bin/tshark", "-l", "-r", fifo, "-d",
                                     "rtacser.data,mbrtu", "-o", "mbrtu.crc_verification:TRUE",
                                     "-Y", "mbrtu", "-T", "fields", "-E", "separator=;", "-e",
                                     "mbrtu.unit_id", "-e", "mbrtu.crc16.status"},
            TestEnv(home.path(), sims.path()), work.file("tshark.out"), work.file("tshark.err"));
        run = std::make_unique<Process>(
            std::vector<std::string>{extcap, "--capture", "--extcap-interface", "qvort-MB1",
                                     "--fifo", fifo, "--payload", "modbus-rtu"},
            TestEnv(home.path(), sims.path()), work.file("run.out"), work.file("run.err"));
        return RunResult{};
    });
    // Every frame, with a good CRC, while the capture goes on.
    const std::vector<std::string> frames{"1;1", "1;1", "2;1", "2;1", "1;1", "1;1"};
    EXPECT_TRUE(WaitFor([&] { return Lines(tshark->Out()) == frames; })) << tshark->Out();
    EXPECT_EQ(run->Wait(0), -1) << run->Err();
    run->Signal(SIGTERM);
    EXPECT_EQ(run->Wait(120), 0) << run->Err();
    EXPECT_EQ(tshark->Wait(120), 0) << tshark->Err();
    // The run's notes went to standard output, with the capture's index.
    EXPECT_EQ(run->Err(), "");
    EXPECT_EQ(CheckConsistent(IndexIn(run->Out())), 49u);
}

// tshark finds the unit through the link in its personal extcap folder, and
// decodes every frame the replayed script sent while the capture goes on;
// the packets are those the export of the capture recorded beside it holds.
TEST_F(Modbus, TsharkCapturesTheUnitLiveAsTheRecordedCaptureExports) {
    if (!std::filesystem::exists("/usr/bin/tshark")) GTEST_SKIP() << "tshark is not installed";
    const std::string live = work.file("live.pcapng");
    std::unique_ptr<Process> tshark;
    Record([&] {
        Process list({"/usr/bin/tshark", "-D"}, WiresharkEnv(), work.file("list.out"),
                     work.file("list.err"));
        EXPECT_EQ(list.Wait(120), 0) << list.Err();
        EXPECT_NE(list.Out().find(". qvort-MB1 (QV-ORT "), std::string::npos) << list.Out();
        EXPECT_NE(list.Out().find(" MB1)\n"), std::string::npos) << list.Out();
        // The script is replayed once the unit stores, well within the 10 s;
        // -P prints each packet as it comes while -w keeps them.
        tshark = std::make_unique<Process>(std::vector<std::string>{"/usr/bin/tshark",
                                                                    "-i",
                                                                    "qvort-MB1",
                                                                    "-a",
                                                                    "duration:10",
                                                                    "-d",
                                                                    "rtacser.data,mbrtu",
                                                                    "-o",
                                                                    "mbrtu.crc_verification:TRUE",
                                                                    "-w",
                                                                    live,
                                                                    "-P",
                                                                    "-l",
                                                                    "-T",
                                                                    "fields",
                                                                    "-E",
                                                                    "separator=;",
                                                                    "-e",
                                                                    "frame.packet_flags_direction",
                                                                    "-e",
                                                                    "mbrtu.unit_id",
                                                                    "-e",
                                                                    "modbus.func_code",
                                                                    "-e",
                                                                    "mbrtu.crc16.status"},
                                           WiresharkEnv(), work.file("tshark.out"),
                                           work.file("tshark.err"));
        return RunResult{};
    });
    // Direction (2 outbound SD, 1 inbound RD), unit, function and a good CRC
    // (1) of each frame of the script, the line change's packet before them.
    const auto frames = ScriptFrames();
    ASSERT_EQ(frames.size(), 6u);
    std::vector<std::string> decoded{";;;"};
    for (const auto& [kind, bytes] : frames)
        decoded.push_back((kind == "SD" ? "0x00000002;" : "0x00000001;") +
                          std::to_string(static_cast<uint8_t>(bytes[0])) + ";" +
                          std::to_string(static_cast<uint8_t>(bytes[1])) + ";1");
    EXPECT_TRUE(WaitFor([&] { return Lines(tshark->Out()) == decoded || tshark->Wait(0) != -1; }));
    EXPECT_EQ(Lines(tshark->Out()), decoded);
    EXPECT_EQ(tshark->Wait(0), -1) << "the frames came only when the capture ended";
    EXPECT_EQ(tshark->Wait(120), 0) << tshark->Err();
    // Only a failure is shown as one: the run's notes are not.
    EXPECT_EQ(tshark->Err().find("extcap"), std::string::npos) << tshark->Err();
    std::vector<std::string> sent, got;
    for (const auto& frame : frames)
        sent.push_back(frame.second);
    for (const std::string& data : PacketData(ReadBytes(live)))
        if (data.size() > 12) got.push_back(data.substr(12));  // after the serial header
    EXPECT_EQ(got, sent);

    // The capture is finished once the stopped run has written its index.
    const std::string index = RecordedIndex();
    ASSERT_FALSE(index.empty());
    EXPECT_TRUE(WaitFor([&] {
        IniFile ini;
        ini.SetPath(index);
        return ini.ReadValue("DataFile", "FrameNum") == "49";
    }));
    EXPECT_EQ(CheckConsistent(index), 49u);
    const std::string saved = work.file("saved.pcapng");
    auto s = Tool({"save", index, "--pcapng", saved, "--payload", "modbus-rtu"});
    ASSERT_EQ(s.status, 0) << s.err;
    EXPECT_EQ(Packets(live), Packets(saved));
}

// A capture on a unit whose triggers never start storing would stay empty:
// it is refused at once, with the reason where Wireshark shows it.
TEST_F(Modbus, TsharkCaptureOnAUnitThatStoresNothingFailsWithTheReason) {
    if (!std::filesystem::exists("/usr/bin/tshark")) GTEST_SKIP() << "tshark is not installed";
    StartSim({"--serial", "NS1"});
    Process tshark({"/usr/bin/tshark", "-i", "qvort-NS1", "-a", "duration:10"}, WiresharkEnv(),
                   work.file("tshark.out"), work.file("tshark.err"));
    EXPECT_NE(tshark.Wait(120), 0);
    const std::string err = tshark.Err();
    EXPECT_NE(err.find("Error by extcap pipe: qvtool: no enabled trigger of the unit starts "
                       "storing"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("start the capture again"), std::string::npos) << err;
    // The run's question and answer are not shown as the error.
    EXPECT_EQ(err.find("-> no"), std::string::npos) << err;
    EXPECT_TRUE(RecordedIndex().empty());
}

TEST_F(Modbus, JsonListingsParseAndAgreeOnTheRecordCount) {
    const std::string capture = Record();
    auto info = Tool({"info", capture, "--format", "json"});
    ASSERT_EQ(info.status, 0) << info.err;
    auto infoJson = JsonParser::Parse(info.out);
    ASSERT_TRUE(infoJson) << info.out;
    const double records = (*infoJson)["records"].number;
    EXPECT_EQ(records, 49);  // 48 characters and the line change

    auto list = Tool({"list", capture, "--count", "0", "--delta", "--format", "json"});
    ASSERT_EQ(list.status, 0) << list.err;
    auto listJson = JsonParser::Parse(list.out);
    ASSERT_TRUE(listJson);
    ASSERT_EQ(static_cast<double>(listJson->items.size()), records);
    EXPECT_EQ((*listJson)[1]["kind"].text, "SD");
    EXPECT_TRUE((*listJson)[1]["delta_ns"].IsNull());
    // 9600 bit/s, 11 bits: characters follow every 1 145 830 ns.
    EXPECT_EQ((*listJson)[2]["delta_ns"].number, 1145830);

    auto csv = Tool({"list", capture, "--count", "0", "--format", "csv"});
    EXPECT_EQ(Lines(csv.out).size(), static_cast<size_t>(records) + 1);

    auto messages = Tool({"messages", capture, "--format", "json"});
    auto m = JsonParser::Parse(messages.out);
    ASSERT_TRUE(m) << messages.out;
    ASSERT_EQ(m->items.size(), 6u);
    EXPECT_EQ((*m)[1]["bytes"].text, "01 03 04 00 0a 00 14 da 3e");
    EXPECT_EQ((*m)[1]["direction"].text, "RD");

    auto stats = Tool({"stats", capture, "--format", "json"});
    auto s = JsonParser::Parse(stats.out);
    ASSERT_TRUE(s) << stats.out;
    EXPECT_EQ((*s)["records"].number, records);
    EXPECT_EQ((*s)["directions"]["SD"]["messages"].number, 3);
    EXPECT_EQ((*s)["directions"]["RD"]["turnaround_ns"]["count"].number, 3);

    auto search = Tool({"search", capture, "--sd", "01", "--all", "--format", "json"});
    auto found = JsonParser::Parse(search.out);
    ASSERT_TRUE(found) << search.out;
    EXPECT_EQ(found->items.size(), 4u);  // 01 opens two requests and sits in two more
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A capture keeps the zone it was recorded in, so its instants come out the
// same whatever the zone of the machine that exports it; a capture without
// one is given its zone with --tz (or --utc).
class Zones : public Bench {};

TEST_F(Zones, OneCaptureGivesTheSameInstantsInEveryZone) {
    const std::string stream = work.file("z.bin");
    ASSERT_EQ(Tool({"gen-stream", stream, "--protocol", "ASYNC", "--events", "300", "--date",
                    "260308", "--start", "01:59:58"})
                  .status,
              0);
    toolEnv["TZ"] = "America/New_York";
    const std::string folder = work.file("caps");
    std::filesystem::create_directories(folder);
    RunResult d = Tool({"decode", stream, "--protocol", "ASYNC", "--out", folder});
    ASSERT_EQ(d.status, 0) << d.err;
    const std::string index = d.out.substr(0, d.out.find('\n'));
    ASSERT_NE(FileBytes(index).find("TimeZone=America/New_York"), std::string::npos);

    auto exported = [&](const std::string& zone, std::vector<std::string> extra = {}) {
        toolEnv["TZ"] = zone;
        const std::string out = work.file("z" + std::to_string(++counter) + ".pcapng");
        std::vector<std::string> args{"save", index, "--pcapng", out};
        args.insert(args.end(), extra.begin(), extra.end());
        RunResult r = Tool(args);
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> infoArgs{"info", index, "--format", "json"};
        infoArgs.insert(infoArgs.end(), extra.begin(), extra.end());
        RunResult info = Tool(infoArgs);
        info.out.erase(0, info.out.find("\"start\""));  // (the capture's own path before)
        return info.out + FileBytes(out);
    };
    // The pcapng bytes are long: compared as a hash, the JSON shown.
    auto same = [](const std::string& a, const std::string& b) {
        return std::hash<std::string>{}(a) == std::hash<std::string>{}(b)
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << a.substr(0, 120) << "\n"
                                                   << b.substr(0, 120);
    };
    const std::string recorded = exported("America/New_York");
    EXPECT_TRUE(same(exported("UTC"), recorded));
    EXPECT_TRUE(same(exported("Asia/Tokyo"), recorded));
    // Midnight before the spring change, in the recorded zone's offset.
    EXPECT_TRUE(recorded.starts_with("\"start\":\"2026-03-08T01:59:5")) << recorded.substr(0, 120);
    EXPECT_NE(recorded.find("-05:00\""), std::string::npos) << recorded.substr(0, 120);

    // Without the key, the machine's zone decides unless --tz names one.
    std::string text = FileBytes(index);
    const size_t key = text.find("TimeZone=");
    text.erase(key, text.find('\n', key) + 1 - key);
    std::ofstream(index, std::ios::binary) << text;
    EXPECT_FALSE(same(exported("Asia/Tokyo"), recorded));
    EXPECT_TRUE(same(exported("Asia/Tokyo", {"--tz", "America/New_York"}), recorded));
    toolEnv["TZ"] = "UTC";
    RunResult bad = Tool({"info", index, "--tz", "../../etc/passwd"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("no such time zone"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace qv::test

#include "device/CardRun.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/FileUtil.h"
#include "core/Prompt.h"
#include "core/Log.h"
#include "device/CommandEncoding.h"
#include "device/RunPrecheck.h"
#include "device/UnitList.h"
#include "settings/StatusFile.h"
#include "settings/StatusSet.h"

namespace qv {

namespace {

// A failure of the card run in both languages: shown in the message
// language, logged in Japanese. `step` tells which step failed.
struct CardFailure {
    std::string japanese, english;
};
CardFailure Failure(const char* japanese, const char* english, int step) {
    const std::string n = "(" + std::to_string(step) + ")";
    return {japanese + n, english + (" " + n)};
}
CardFailure BadParameter(int step) {
    return Failure("パラメータが不正です。モニタパラメータ設定を行ってください。",
                   "The monitoring parameters are not valid. Set them in Monitoring parameters.",
                   step);
}

}  // namespace

int StoreSettingsInCard(DeviceCommand& cmd, const std::string& path, bool fixMemory) {
    auto text = ReadWholeFile(path);
    if (!text || cmd.SetCardMemoryMode(fixMemory) != 0) return -1;
    std::vector<uint8_t> block(kCardSettingsBytes, 0);
    std::memcpy(block.data(), text->data(), std::min(text->size(), block.size()));
    long written = cmd.WriteCardBlocks(kCardSettingsAddress, block.data(),
                                       static_cast<uint32_t>(block.size() / 512));
    return written == static_cast<long>(block.size()) ? 0 : -2;
}

CardRunResult RunCardStart(DeviceAccess& devices, Log& log, IPrompt* prompt,
                           const std::function<void(const std::string&)>& status) {
    auto fail = [&](const CardFailure& f) {
        const std::string& text = MessageLanguage() == UiLanguage::kJapanese ? f.japanese : f.english;
        if (prompt) prompt->ShowMessage(text);
        log.Write("ERR", "CardRun", __LINE__, f.japanese);
        return CardRunResult{-1, false, text};
    };
    // The log keeps the Japanese of a catalogue message.
    auto failWith = [&](MessageId id) {
        if (prompt) prompt->ShowMessage(MessageText(id));
        log.Write("ERR", "CardRun", __LINE__, MessageText(id, UiLanguage::kJapanese));
        return CardRunResult{-1, false, MessageText(id)};
    };
    auto show = [&](const char* text) {
        if (status) status(text);
    };

    show(MessageText(MessageId::kCardConnecting));
    auto device = devices.DeviceOrNew();
    if (!device) return fail(Failure("USB初期化に失敗しました。", "USB could not be initialised.", 1));
    const SelectedUnit unit = devices.Selected();
    if (!FindUnit(*device, unit.Identity(), true)) return fail(Failure("QVと接続できません。", "Cannot connect to the unit.", 2));
    DeviceCommand cmd(device);
    if (PrecheckInstrument(cmd, prompt, std::time(nullptr)) != 0) return {-1, false, ""};
    if (CheckCard(cmd, prompt, CardUse::kCardRun) != 0) return {-1, false, ""};

    show(MessageText(MessageId::kCardSetting));
    const std::string path = SettingsHome(unit);
    StatusFile file;
    if (file.OpenStatusFile(path) != 0) return fail(BadParameter(3));
    StatusSet set;
    LoadStatusSet(file, set, std::time(nullptr));
    if (SendMonitorSettings(cmd, set.status.monitor, set.status.sampling) != 0)
        return fail(BadParameter(4));
    if (SendTriggerOption(cmd, set.option) != 0) return fail(BadParameter(5));
    int storing = 0;
    for (int n = 1; n <= 5; ++n) {
        const TriggerSetting& t = set.triggers[static_cast<size_t>(n - 1)];
        if (t.enabled && StartsStoring(t)) ++storing;
        if (SendTriggerSetting(cmd, n, t) != 0) return fail(BadParameter(6));
    }
    if (storing == 0 && (!prompt || !prompt->AskYesNo(MessageText(MessageId::kAskNoStoreTrigger))))
        return {-1, false, ""};

    switch (StoreSettingsInCard(cmd, path, set.status.monitor.Memory == kMemoryFix)) {
        case 0:
            break;
        case -1:
            return fail(Failure("パラメータの設定に失敗しました。",
                                "The parameters could not be set.", 7));
        default:
            return fail(Failure("パラメータの設定に失敗しました。",
                                "The parameters could not be set.", 8));
    }

    cmd.Stop();
    if (prompt && prompt->AskYesNo(MessageText(MessageId::kCardAskStartNow))) {
        if (cmd.StartToCard() != 0) return failWith(MessageId::kCardStartFailed);
        if (prompt) prompt->ShowMessage(MessageText(MessageId::kCardStarted));
        return {0, true, MessageText(MessageId::kCardStarted)};
    }
    if (prompt) prompt->ShowMessage(MessageText(MessageId::kCardStartsAtPowerOn));
    return {0, false, MessageText(MessageId::kCardStartsAtPowerOn)};
}

}  // namespace qv

#include "device/RunPrecheck.h"

#include "core/Prompt.h"
#include "device/DeviceStatus.h"

namespace qv {

std::string ClockQuestion(uint32_t instrument, int64_t computer) {
    return std::string(Say("QVの時計とパソコンの時計がずれています。\n",
                           "The unit's clock and the computer's clock differ.\n")) +
           "\nQV:\t" + ClockText(instrument) + "\n" + "\nPC:\t" +
           ClockText(static_cast<uint32_t>(computer)) + "\n" +
           Say("\nQVの時計をパソコンの時計に合わせますか?", "\nSet the unit's clock to the computer's?");
}

int PrecheckInstrument(DeviceCommand& cmd, IPrompt* prompt, int64_t now) {
    uint32_t state = 0;
    if (cmd.QueryState(state) != 0) return -9;
    if (state & kStateMonitoring) {
        // Without anyone to ask, a run in progress is never stopped.
        if (!prompt || !prompt->AskYesNo(MessageText(MessageId::kAskStopRunning))) return -1;
        cmd.Stop();
    }
    // The monitoring time is what a run's start and stop go by, so it is the
    // one that must agree with the computer; the built-in clock only shows.
    uint32_t monitoring = 0, builtIn = 0;
    if (cmd.ReadClocks(monitoring, builtIn) == 0) {
        int64_t diff = static_cast<int64_t>(monitoring) - now;
        if ((diff > kClockTolerance || diff < -kClockTolerance) && prompt &&
            prompt->AskYesNo(ClockQuestion(monitoring, now)))
            cmd.SetClock(static_cast<uint32_t>(now));
    }
    return 0;
}

int CheckCard(DeviceCommand& cmd, IPrompt* prompt, CardUse use) {
    auto refuse = [prompt](const char* text) {
        if (prompt) prompt->ShowMessage(text);
        return -1;
    };
    uint32_t state = 0;
    if (cmd.QueryState(state) != 0) return -1;
    if (!(state & kStateAcPower)) {
        if (prompt) prompt->ShowMessage(MessageText(MessageId::kNeedAcPower));
        // The user may have plugged the power in meanwhile.
        if (cmd.QueryState(state) != 0 || !(state & kStateAcPower)) return -1;
    }
    if (!(state & kStateCardInserted)) return refuse(MessageText(MessageId::kNoCard));
    if (state & kStateCardFault) return refuse(MessageText(MessageId::kCardFault));
    if (use == CardUse::kRetrieval && (state & kStateCardIndexDamaged))
        return refuse(MessageText(MessageId::kCardIndexDamaged));
    return 0;
}

}  // namespace qv

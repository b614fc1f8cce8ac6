// The commands of the menus, the tool bar and the windows' own keys, by
// name. Views ask for a command by its id; the command table in app/ says
// what each one is called and when it is enabled.
#pragma once

namespace qv {

// The commands by name. 0 is no command (a menu separator); the values mean
// nothing outside this program, only the marks' two runs are consecutive.
enum CommandId : int {
    kCmdNone = 0,
    kCmdFileOpen,
    kCmdFileClose,
    kCmdFileSave,
    kCmdPrint,
    kCmdAppExit,
    kCmdFirst,
    kCmdLast,
    kCmdSearch,
    kCmdFrameJump,
    kCmdTriggerJump,
    kCmdMarkJump1,  // ..kCmdMarkJump5
    kCmdMarkJump2,
    kCmdMarkJump3,
    kCmdMarkJump4,
    kCmdMarkJump5,
    kCmdMarkSet1,  // ..kCmdMarkSet5
    kCmdMarkSet2,
    kCmdMarkSet3,
    kCmdMarkSet4,
    kCmdMarkSet5,
    kCmdProperty,
    kCmdDisplayFormat,
    kCmdDual,
    kCmdDirSd,
    kCmdDirRd,
    kCmdHex,
    kCmdAscii,
    kCmdJis7,
    kCmdJis8,
    kCmdEbcdic,
    kCmdShiftJis,
    kCmdColorSd,
    kCmdColorRd,
    kCmdColorControl,
    kCmdColorOther,
    kCmdColorDumpOdd,
    kCmdColorDumpEven,
    kCmdColorDumpBoundary,
    kCmdSelectUnit,
    kCmdMonitorParams,
    kCmdModeSet,
    kCmdMonitorStart,
    kCmdMonitorPause,
    kCmdMonitorStop,
    kCmdCardRetrieve,
    kCmdUnitStatus,
    kCmdUnitClock,
    kCmdSync,
    kCmdDumpWindow,
    kCmdLineWindow,
    kCmdZoomIn,
    kCmdZoomOut,
    kCmdCascade,
    kCmdTile,
    kCmdHelp,
    kCmdAbout,
    // A Monitor window's selection into Wireshark, by payload.
    kCmdWiresharkRaw,
    kCmdWiresharkModbus,
    kCmdWiresharkDnp3,
};

}  // namespace qv

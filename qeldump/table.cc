// The dispatch table, compared in this order by exact, case-sensitive
// equality with the invoked name.
#include "qeldump.h"

const Command kCommands[8] = {
    {"qeldump", doDump, &kDumpRule},
    {"qeldrive", doDrives, &kDrivesRule},
    {"Corvanex", doCorvanex, &kCorvanexRule},
    {"qelcmd", doCMD, &kCmdRule},
    {"qelcage", doCage, &kCageRule},
    {"qelbios", doCBIOS, &kCBIOSRule},
    {"qelrescue", doRescue, &kRescueRule},
    {"qelmup", doMUP, nullptr},
};

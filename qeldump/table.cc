// The dispatch table, compared in this order by exact, case-sensitive
// equality with the invoked name, and the process-wide state.
#include "qeldump.h"

uid_t myuid;
struct user_profile *tmpUser;
const char *binPath = "/sp/prod/code/csst/bin";
const char *NAMEPANIC = "/home/spcomm/bin/getpanicdump";
const char *NAMECORE = "/home/spcomm/bin/getcoredump";

// Identification strings; nothing reads them.
const char *qel_notice = "qeldump: service processor command front end";
const char *qel_version = "qeldump " QEL_VERSION;

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

const Tool kTools[11] = {
    {"/home/spcomm/bin/getpanicdump", "spcomm"},
    {"/home/spcomm/bin/getcoredump", "spcomm"},
    {kCallnode, "root"},
    {"/sp/prod/code/csst/bin/Dcup", "stapp"},
    {"/sp/prod/code/csst/bin/DrvCageUp", "spcomm"},
    {"/home/spcomm/bin/flashCBIOS", "spcomm"},
    {"/sp/prod/code/csst/bin/getNodeRescueData", "spcomm"},
    {"/home/spcomm/bin/qelrescue.sh", "spcomm"},
    {kMup, "root"},
    {kNpTee, "root"},
    {kCorvanexScript, "root"},
};

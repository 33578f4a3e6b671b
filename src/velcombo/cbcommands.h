// The register commands the driver sends, their names for the protocol trace,
// and which of them make the register print a report.
#pragma once

#include "sysutils.h"

enum TComboCommand : int {
    CMD_TIMEGET = 14,
    CMD_DATEGET = 15,
    CMD_HEADERGET = 18,
    CMD_VATGET = 20,
    CMD_DRAWERIMPULSEGET = 306,
    CMD_CASHREGPARGET = 321,
    CMD_DISCNTCARDCFGGETEX = 334,
    CMD_SALERECGET = 451,
    CMD_CASHREGSTATUSGET = 501,
    CMD_DBSTATUSGET = 502,
    CMD_REPFSKDAILY = 1165,
    CMD_REPFSKMONTHLY = 1168,
    CMD_REPCOMM = 1171,
    CMD_CNTXPLUINIT = 2000,
    CMD_CNTXMUINIT = 2002,
    CMD_CNTXPACKINIT = 2003,
    CMD_CNTXGROUPINIT = 2004,
    CMD_PLUINS = 2100,
    CMD_PLUREAD = 2110,
    CMD_PLUDEL = 2140,
    CMD_PLUDELALL = 2150,
    CMD_PLUSTATREAD = 2160,
    CMD_PLUSTATCLEARALL = 2170,
    CMD_PLUPRICEUPDATE = 2181,
    CMD_USERINS = 2500,
    CMD_USERREAD = 2510,
    CMD_USERSTATREAD = 2560,
    CMD_USERPAYFORMSTATREAD = 2561,
    CMD_MUINS = 2600,
    CMD_MUREAD = 2610,
    CMD_PACKINS = 2700,
    CMD_PACKREAD = 2710,
    CMD_PACKDEL = 2740,
    CMD_PACKDELALL = 2750,
    CMD_PACKSTATREAD = 2760,
    CMD_PACKSTATCLEARALL = 2770,
    CMD_GROUPINS = 2800,
    CMD_GROUPREAD = 2810,
    CMD_PAYFORMINS = 2900,
    CMD_PAYFORMREAD = 2910,
};

// Answer codes other than a command's own.
constexpr int CB_ANSWER_ERROR = 0;      // an error answer
constexpr int CB_ANSWER_REPORT_ACK = 1; // a report command was accepted and is running

// The command's name, "???" for a code the driver does not send.
AnsiString ComboCmdName(unsigned int code);
// The commands whose first answer only acknowledges a report being printed.
bool ComboIsReportCommand(int code);

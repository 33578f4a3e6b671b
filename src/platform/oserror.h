// Polish descriptions of the system's error numbers, for the messages of the
// serial port and the socket. The C library's own texts follow the process
// locale and its character set, so they cannot go into a cp1250 message.
#pragma once

#include "sysutils.h"

AnsiString SystemErrorText(int error);

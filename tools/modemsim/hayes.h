// The command side of a Hayes modem: command lines in, echo and result codes
// out. What a dial or a hang-up does to the line is the owner's business,
// through the two hooks.
#pragma once

#include <functional>
#include <map>
#include <string>

class HayesModem {
public:
    // Result names: OK, CONNECT, RING, NO CARRIER, ERROR, NO DIALTONE, BUSY,
    // NO ANSWER, and SILENT for no answer at all.
    static bool IsResultName(const std::string& name);

    // The outcome of dialling a number (a result name); CONNECT puts the
    // modem on line.
    std::function<std::string(const std::string& number)> Dial;
    // The line is to be dropped.
    std::function<void()> HangUp;
    // Every command line received, as received.
    std::function<void(const std::string& line)> Record;
    // Command lines (upper case, e.g. "AT&H1") answered with a fixed result
    // instead of being carried out.
    std::map<std::string, std::string> Answers;
    int ConnectSpeed = 19200;

    // Command-mode input. Returns what the modem sends back; consumed tells how
    // many bytes were taken: fewer than given when a CONNECT switched to data
    // mode (the rest is data).
    std::string Input(const char* bytes, size_t size, size_t& consumed);
    // A result the modem sends on its own (OK after an escape, NO CARRIER).
    std::string Result(const std::string& name) const;

    bool OnLine() const { return FOnLine; }
    // Data mode was entered by the last Input; cleared by taking it.
    bool TakeDataMode();
    // The far end went away.
    void LineLost() { FOnLine = false; }

private:
    bool FEcho = true;
    bool FVerbose = true;
    bool FQuiet = false;
    int FLevel = 4;
    bool FOnLine = false;
    bool FDataMode = false;
    std::string FLine;
    std::map<int, int> FRegisters;

    void Factory();
    // Carries out one command line; the result name and any text before it.
    std::string Execute(const std::string& body, std::string& info);
    std::string DoDial(const std::string& dialString);
};

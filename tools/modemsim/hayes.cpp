#include "hayes.h"

#include <cstdio>

namespace {
struct Code {
    const char* name;
    int number;
};
const Code kCodes[] = {{"OK", 0},    {"CONNECT", 1},     {"RING", 2}, {"NO CARRIER", 3},
                       {"ERROR", 4}, {"NO DIALTONE", 6}, {"BUSY", 7}, {"NO ANSWER", 8}};

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
bool Digit(char c)
{
    return c >= '0' && c <= '9';
}
bool Letter(char c)
{
    return Upper(c) >= 'A' && Upper(c) <= 'Z';
}

std::string UpperOf(std::string s)
{
    for (char& c : s) c = Upper(c);
    return s;
}

// Where the command prefix "AT" (either case) first stands in a line; npos when nowhere.
size_t CommandStart(const std::string& line)
{
    for (size_t i = 0; i + 1 < line.size(); ++i)
        if (Upper(line[i]) == 'A' && Upper(line[i + 1]) == 'T') return i;
    return std::string::npos;
}
}  // namespace

bool HayesModem::IsResultName(const std::string& name)
{
    if (name == "SILENT") return true;
    for (const Code& c : kCodes)
        if (name == c.name) return true;
    return false;
}

void HayesModem::Factory()
{
    FEcho = true;
    FVerbose = true;
    FQuiet = false;
    FLevel = 4;
    FRegisters.clear();
}

bool HayesModem::TakeDataMode()
{
    const bool dataMode = FDataMode;
    FDataMode = false;
    return dataMode;
}

std::string HayesModem::Result(const std::string& name) const
{
    if (name == "SILENT" || FQuiet) return "";
    std::string shown = name;
    // At level 0 only the basic codes exist.
    if (FLevel == 0 && (shown == "BUSY" || shown == "NO DIALTONE" || shown == "NO ANSWER")) shown = "NO CARRIER";
    if (FVerbose) {
        if (shown == "CONNECT" && FLevel > 0) shown += " " + std::to_string(ConnectSpeed);
        return "\r\n" + shown + "\r\n";
    }
    for (const Code& c : kCodes)
        if (shown == c.name) return std::to_string(c.number) + "\r";
    return "4\r";
}

std::string HayesModem::DoDial(const std::string& dialString)
{
    size_t i = 0;
    if (i < dialString.size() && (Upper(dialString[i]) == 'T' || Upper(dialString[i]) == 'P')) ++i;
    std::string number;
    for (; i < dialString.size(); ++i)
        if (dialString[i] != ' ' && dialString[i] != '-' && dialString[i] != ';') number += dialString[i];
    const std::string outcome = Dial ? Dial(number) : "NO CARRIER";
    if (outcome == "CONNECT") {
        FOnLine = true;
        FDataMode = true;
    }
    return outcome;
}

std::string HayesModem::Execute(const std::string& body, std::string& info)
{
    size_t i = 0;
    auto number = [&](int fallback) {
        int value = 0;
        bool any = false;
        while (i < body.size() && Digit(body[i]) && value < 100000) {
            value = value * 10 + (body[i++] - '0');
            any = true;
        }
        return any ? value : fallback;
    };
    while (i < body.size()) {
        const char c = Upper(body[i++]);
        switch (c) {
            case ' ':
                break;
            case 'E':
                FEcho = number(0) != 0;
                break;
            case 'V':
                FVerbose = number(0) != 0;
                break;
            case 'Q':
                FQuiet = number(0) != 0;
                break;
            case 'X': {
                const int level = number(0);
                if (level > 4) return "ERROR";
                FLevel = level;
                break;
            }
            case 'Z':
                number(0);
                Factory();
                break;
            case 'H':
                number(0);
                if (FOnLine) {
                    FOnLine = false;
                    if (HangUp) HangUp();
                }
                break;
            case 'O':
                number(0);
                if (!FOnLine) return "NO CARRIER";
                FDataMode = true;
                return "CONNECT";
            case 'I':
            case 'L':
            case 'M':
            case 'Y':
                number(0);
                break;
            case '&': {
                if (i >= body.size() || !Letter(body[i])) return "ERROR";
                const char what = Upper(body[i++]);
                number(0);
                if (what == 'F') Factory();
                break;
            }
            case 'S': {
                const int reg = number(-1);
                if (reg < 0 || i >= body.size()) return "ERROR";
                if (body[i] == '=') {
                    ++i;
                    FRegisters[reg] = number(0);
                } else if (body[i] == '?') {
                    ++i;
                    char text[16];
                    std::snprintf(text, sizeof text, "%03d", FRegisters[reg]);
                    info += FVerbose ? "\r\n" + std::string(text) + "\r\n" : std::string(text) + "\r\n";
                } else {
                    return "ERROR";
                }
                break;
            }
            case 'D':
                return DoDial(body.substr(i));
            default:
                return "ERROR";
        }
    }
    return "OK";
}

std::string HayesModem::Input(const char* bytes, size_t size, size_t& consumed)
{
    std::string out;
    for (consumed = 0; consumed < size;) {
        const char c = bytes[consumed++];
        if (c == '\n') continue;
        if (c == '\b' || c == 0x7F) {
            if (!FLine.empty()) FLine.pop_back();
            continue;
        }
        if (c != '\r') {
            FLine += c;
            continue;
        }
        // A command line begins at its "AT": whatever came before it (an
        // escape sequence sent while in command mode) is ignored.
        const size_t at = CommandStart(FLine);
        const std::string line = at == std::string::npos ? std::string() : FLine.substr(at);
        FLine.clear();
        if (line.empty()) continue;
        if (Record) Record(line);
        const std::string echo = FEcho ? line + "\r" : "";
        const auto fixed = Answers.find(UpperOf(line));
        if (fixed != Answers.end()) {
            if (fixed->second != "SILENT") out += echo + Result(fixed->second);
            continue;
        }
        std::string info;
        const std::string result = Execute(line.substr(2), info);
        if (result != "SILENT") out += echo + info + Result(result);
        if (FDataMode) break;
    }
    return out;
}

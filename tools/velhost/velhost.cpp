// velhost: a command-line host for the driver library. It loads the library,
// registers every callback, answers them from an INI file and prints every
// message line the library sends, as UTF-8 with the state byte 0x01 shown as ^A.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "hostlib.h"

namespace {
const char* kUsage =
    "usage: velhost [--lib PATH] [--config FILE.ini] [--owner XID] COMMAND [ARGS]\n"
    "  --lib PATH              the library (default: PREFIX/lib/libvelcombo.so beside an installed\n"
    "                          PREFIX/bin/velhost, else the one built with this harness)\n"
    "  --config FILE.ini       the host's answers to the library's callbacks (below)\n"
    "  --owner XID             the host's X11 window (decimal or 0x hex), owner of the dialogs\n"
    "commands:\n"
    "  info                    library type and properties 1, 2, 3 (the models, one a line), 102-105\n"
    "  catalog                 every parameter of groups 101-107\n"
    "  lists                   every list text of every catalogued parameter\n"
    "  windows                 window names 0-7\n"
    "  op N [PARAM] [TEXT]     runs operation N (-1 test, -2 export, -3 import, -6 import without a\n"
    "                          user, -8 service function PARAM 1-6) with the session text TEXT\n"
    "  busy N [TEXT]           runs operation N with the host's session handle already set\n"
    "  window N [FLAG]         shows window N: 0 the VAT-rate slots (FLAG 0: read-only),\n"
    "                          6 the goods-import options, 1-5 name a service function\n"
    "  property N              device property N\n"
    "  resource                the shared resource of a session\n"
    "  find-receipt            how to find a receipt\n"
    "  keep-session [TEXT]     session keeping\n"
    "  language N              the component language\n"
    "\n"
    "The INI file (UTF-8; texts reach the library in code page 1250):\n"
    "  [device]     number=, id=, name=, workstation=, folder=DIR/  (callback 11; the folder is the\n"
    "               device's exchange folder, where kasa.exp is read and kasa.imp, wynik.exp are written)\n"
    "  [params]     NAME=value for the driver's parameters (callback 6); a parameter not set here is\n"
    "               answered with the catalogue's default, as a host that never stored it shows it\n"
    "  [vat]        rates=23,8,5,0        the host's VAT rates in whole percent (callback 15)\n"
    "  [vatprec]    rates=2300,800,500,0  the same in hundredths (callback 32; left out: no callback 32)\n"
    "  [weighted]   one weighed-goods barcode format a line (callback 14)\n"
    "  [callbacks]  omit=5,13 (callbacks not registered); stop=1 or stop_after=N (callback 5);\n"
    "               save_export=, save_import=, save_receipt=, change_param=, add_goods=,\n"
    "               take_resource= 1 or 0 (the host's answer); die_at_import=N\n"
    "  [texts]      section/key=text (callback 34; left out: no callback 34)\n"
    "  [goods]      key=answer (callback 19)\n"
    "  [host]       store=DIR: what the host takes outlives the process (parameters and imports),\n"
    "               synced to disk before the host answers that it took it; one it could not\n"
    "               keep it answers as not taken\n"
    "The exchange files (kasa.exp, kasa.imp, wynik.exp) are in code page 1250.\n"
    "\n"
    "Output (UTF-8), one line each:\n"
    "  ADD|UPD N|W|E TEXT      a message line added (callback 12) or replacing the last (callback 13),\n"
    "                          normal, warning or error; ^A stands before the line's state or value\n"
    "  RESULT n, TEXT ...      the call's result and text buffer; RESULT 0 follows a failed operation\n"
    "                          too: the library reports failures by its error (E) lines only\n"
    "  EVENT ...               any other callback, in order; IMPORT n: each kasa.imp the host took\n"
    "  Control bytes are shown as ^ and a letter: ^A the byte 0x01, ^M^J a line break in a value.\n"
    "\n"
    "Exit codes: 0 done; 1 wrong usage, or the library or the INI file could not be loaded;\n"
    "2 the library sent an error line.\n";

// Control bytes in caret notation (0x01 is ^A, CR LF is ^M^J), so that every
// line printed is one line of output whatever the value holds.
std::string Shown(const std::string& cp1250)
{
    std::string out;
    for (char c : Cp1250ToUtf8(cp1250)) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            out += '^';
            out += static_cast<char>(c + '@');
        } else {
            out += c;
        }
    }
    return out;
}

void PrintLine(const HostLine& line)
{
    static const char* kinds[] = {"N", "W", "E"};
    const char* kind = (line.kind >= 0 && line.kind <= 2) ? kinds[line.kind] : "?";
    std::printf("%s %s %s\n", line.replaced ? "UPD" : "ADD", kind, Shown(line.text).c_str());
    std::fflush(stdout);
}

// Wrong usage: one line naming the culprit, exit code 1.
struct UsageError {
    std::string what;
};

long long Number(const std::string& text, const std::string& what, int base = 10)
{
    size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used, base);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size()) throw UsageError{what + " \"" + text + "\" is not a number"};
    return value;
}

// Each command's arguments: how many it needs, how many it takes, and the
// name of each (a name ending in '#' is a number).
struct CommandSpec {
    const char* name;
    size_t needed;
    std::vector<const char*> args;
};
const CommandSpec kCommands[] = {
    {"info", 0, {}},
    {"catalog", 0, {}},
    {"lists", 0, {}},
    {"windows", 0, {}},
    {"op", 1, {"operation#", "parameter#", "text"}},
    {"busy", 1, {"operation#", "text"}},
    {"window", 1, {"window number#", "flag#"}},
    {"property", 1, {"property number#"}},
    {"resource", 0, {}},
    {"find-receipt", 0, {}},
    {"keep-session", 0, {"text"}},
    {"language", 1, {"language number#"}},
};

// Checks the command and its arguments before anything runs.
void CheckCommand(const std::vector<std::string>& args)
{
    const CommandSpec* spec = nullptr;
    for (const CommandSpec& c : kCommands)
        if (args[0] == c.name) spec = &c;
    if (!spec) throw UsageError{"unknown command \"" + args[0] + "\" (velhost --help lists them)"};
    const size_t given = args.size() - 1;
    if (given < spec->needed) {
        std::string what = spec->args[given];
        if (what.back() == '#') what.pop_back();
        throw UsageError{args[0] + " needs its " + what};
    }
    if (given > spec->args.size())
        throw UsageError{args[0] + ": unexpected argument \"" + args[spec->args.size() + 1] + "\""};
    for (size_t i = 0; i < given; ++i) {
        std::string what = spec->args[i];
        if (what.back() != '#') continue;
        what.pop_back();
        const long long value = Number(args[i + 1], what);
        if (value < INT32_MIN || value > INT32_MAX) throw UsageError{what + " \"" + args[i + 1] + "\" is out of range"};
    }
}

// A checked numeric argument, or the fallback when it was not given.
int Arg(const std::vector<std::string>& args, size_t i, int fallback)
{
    return i < args.size() ? static_cast<int>(std::stoll(args[i])) : fallback;
}

// An installed harness (PREFIX/bin/velhost) loads the library installed with it
// (PREFIX/lib/libvelcombo.so); in the build tree, the library built with it.
std::string DefaultLibrary()
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        const fs::path installed = self.parent_path().parent_path() / "lib" / "libvelcombo.so";
        if (fs::is_regular_file(installed, error)) return installed.string();
    }
    return VELCOMBO_DEFAULT_LIB;
}

void PrintText(const char* label, const char* buffer)
{
    std::printf("%s %s\n", label, Shown(buffer).c_str());
}

struct CommandLine {
    std::string libraryPath = DefaultLibrary(), configPath;
    uintptr_t owner = 0;
    bool help = false;
    std::vector<std::string> args;  // the command and its arguments
};

CommandLine Parse(int argc, char** argv)
{
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw UsageError{"option " + a + " needs a value"};
            return argv[++i];
        };
        if (a == "--lib") {
            line.libraryPath = value();
        } else if (a == "--config") {
            line.configPath = value();
        } else if (a == "--owner") {
            const std::string xid = value();
            line.owner = static_cast<uintptr_t>(Number(xid, "--owner window handle", 0));
        } else if (a == "-h" || a == "--help") {
            line.help = true;
        } else if (a.starts_with("--") || (line.args.empty() && a.starts_with("-"))) {
            // A negative number after the command is an argument (op -1).
            throw UsageError{"unknown option " + a};
        } else {
            line.args.push_back(a);
        }
    }
    if (!line.help && line.args.empty()) throw UsageError{"no command given (velhost --help lists them)"};
    return line;
}
}  // namespace

int main(int argc, char** argv)
{
    CommandLine cl;
    try {
        cl = Parse(argc, argv);
        if (cl.help) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        CheckCommand(cl.args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "velhost: %s\n", e.what.c_str());
        return 1;
    }
    const std::vector<std::string>& args = cl.args;

    VelHost host;
    std::string error;
    if (!host.Load(cl.libraryPath, error)) {
        std::fprintf(stderr, "velhost: %s\n", error.c_str());
        return 1;
    }
    if (!cl.configPath.empty() && !host.ConfigureFromFile(cl.configPath, error)) {
        std::fprintf(stderr, "velhost: %s\n", error.c_str());
        return 1;
    }
    host.TakeCatalogueDefaults();
    host.onLine = PrintLine;
    host.window = cl.owner;
    const VelHost::Exports& lib = host.Lib();
    const std::string& command = args[0];
    char buffer[301];

    if (command == "info") {
        std::printf("TYPE %d\n", lib.TypBiblioteki());
        for (int n : {1, 2, 3, 102, 103, 104, 105}) {
            lib.Wlasciwosci(buffer, n);
            // The list of models comes one a line: each after the first on an indented line.
            std::istringstream lines(buffer);
            std::string line;
            std::getline(lines, line);
            std::printf("PROPERTY %d %s\n", n, Shown(line).c_str());
            while (std::getline(lines, line)) std::printf("  %s\n", Shown(line).c_str());
        }
        return 0;
    }
    if (command == "catalog" || command == "lists") {
        for (int group = 101; group <= 107; ++group) {
            for (int index = 0;; ++index) {
                char name[301], description[301], def[301], minimum[301], maximum[301];
                int flag = 0;
                const int type = lib.Parametr(group, index, name, description, def, minimum, maximum, &flag);
                if (type == 0) break;
                if (command == "catalog") {
                    std::printf("PARAM %d %d type=%d flag=%d name=%s default=%s min=%s max=%s\n", group, index, type,
                                flag, Shown(name).c_str(), Shown(def).c_str(), Shown(minimum).c_str(),
                                Shown(maximum).c_str());
                    std::printf("  %s\n", Shown(description).c_str());
                    continue;
                }
                for (int i = 0; lib.TekstListyParametru(name, i, buffer); ++i)
                    std::printf("LIST %s %d %s\n", Shown(name).c_str(), i, Shown(buffer).c_str());
            }
        }
        return 0;
    }
    if (command == "windows") {
        for (int w = 0; w <= 7; ++w) {
            const int exists = lib.SerKasOpisOkna(buffer, w);
            std::printf("WINDOW %d %d %s\n", w, exists, Shown(buffer).c_str());
        }
        return 0;
    }
    if (command == "language") {
        lib.UstawJezykKomponentow(Arg(args, 1, 0));
        return 0;
    }

    // Device calls need a registered library.
    void* handle = host.Register();
    if (!handle) {
        std::fprintf(stderr, "velhost: registration failed\n");
        return 1;
    }
    int status = 0;
    if (command == "op" || command == "busy") {
        const int operation = Arg(args, 1, 0);
        const int parameter = command == "op" ? Arg(args, 2, 0) : 0;
        const std::string text = Utf8ToCp1250(args.size() > (command == "op" ? 3u : 2u) ? args.back() : "");
        std::memset(buffer, 0, sizeof buffer);
        std::strncpy(buffer, text.c_str(), 300);
        void* sessionMarker = &status;
        void* session = command == "busy" ? sessionMarker : nullptr;
        const int result = lib.SerKasOperacja(handle, host.Call(), &session, buffer, operation, parameter);
        std::printf("RESULT %d\n", result);
        PrintText("TEXT", buffer);
    } else if (command == "window") {
        int32_t code = -1;
        std::memset(buffer, 0, sizeof buffer);
        const int result = lib.SerKasPokazOkno(handle, host.Call(), Arg(args, 1, 0), Arg(args, 2, 1), &code, buffer);
        std::printf("RESULT %d\nCODE %d\n", result, code);
        PrintText("TEXT", buffer);
    } else if (command == "property") {
        lib.WlasciwosciUrzadzenia(handle, host.Call(), buffer, Arg(args, 1, 0));
        PrintText("TEXT", buffer);
    } else if (command == "resource") {
        lib.SerKasNazwaZasobuDzielonego(handle, host.Call(), buffer);
        PrintText("TEXT", buffer);
    } else if (command == "find-receipt") {
        int32_t a = 0, b = 0, c = 0;
        const int result = lib.SerKasJakSzukacParagonu(handle, host.Call(), &a, &b, &c);
        std::printf("RESULT %d %d %d %d\n", result, a, b, c);
    } else if (command == "keep-session") {
        std::memset(buffer, 0, sizeof buffer);
        std::strncpy(buffer, Utf8ToCp1250(args.size() > 1 ? args[1] : "").c_str(), 300);
        void* session = nullptr;
        lib.SerKasPodtrzymajSesje(handle, &session, buffer, 0, 0);
        PrintText("TEXT", buffer);
    }
    for (const std::string& e : host.events) std::printf("EVENT %s\n", Shown(e).c_str());
    for (size_t i = 0; i < host.imports.size(); ++i) {
        std::printf("IMPORT %zu\n", i + 1);
        std::istringstream file(host.imports[i]);
        for (std::string line; std::getline(file, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::printf("  %s\n", Shown(line).c_str());
        }
    }
    for (const HostLine& line : host.lines)
        if (line.kind == 2) status = status ? status : 2;
    host.Release();
    return status;
}

// velhost: a command-line host for the driver library. It loads the library,
// registers every callback, answers them from an INI file and prints every
// message line the library sends, as UTF-8 with the state byte 0x01 shown as ^A.
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
    "  (without --lib: PREFIX/lib/libvelcombo.so beside an installed PREFIX/bin/velhost)\n"
    "  --owner XID             the host's X11 window (decimal or 0x hex), owner of the dialogs\n"
    "commands:\n"
    "  info                    library type and properties 1, 2, 3, 102-105\n"
    "  catalog                 every parameter of groups 101-107\n"
    "  lists                   every list text of every catalogued parameter\n"
    "  windows                 window names 0-7\n"
    "  op N [PARAM] [TEXT]     runs operation N (-1 test, -2 export, -3 import, -8 service PARAM)\n"
    "  busy N [TEXT]           runs operation N with the host's session handle already set\n"
    "  window N [FLAG]         shows window N: 0 the VAT-rate slots (FLAG 0: read-only),\n"
    "                          6 the goods-import options, 1-5 name a service function\n"
    "  property N              device property N\n"
    "  resource                the shared resource of a session\n"
    "  find-receipt            how to find a receipt\n"
    "  keep-session [TEXT]     session keeping\n"
    "  language N              the component language\n";

std::string Shown(const std::string& cp1250)
{
    std::string s = Cp1250ToUtf8(cp1250), out;
    for (char c : s) {
        if (c == '\x01')
            out += "^A";
        else
            out += c;
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

int Arg(const std::vector<std::string>& args, size_t i, int fallback)
{
    return i < args.size() ? std::stoi(args[i]) : fallback;
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

void PrintText(const char* label, const char* buffer) { std::printf("%s %s\n", label, Shown(buffer).c_str()); }
}  // namespace

int main(int argc, char** argv)
{
    std::string libraryPath = DefaultLibrary(), configPath;
    uintptr_t owner = 0;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--lib" && i + 1 < argc)
            libraryPath = argv[++i];
        else if (a == "--config" && i + 1 < argc)
            configPath = argv[++i];
        else if (a == "--owner" && i + 1 < argc)
            owner = std::stoull(argv[++i], nullptr, 0);
        else if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else
            args.push_back(a);
    }
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return 1;
    }

    VelHost host;
    std::string error;
    if (!host.Load(libraryPath, error)) {
        std::fprintf(stderr, "velhost: %s\n", error.c_str());
        return 1;
    }
    if (!configPath.empty() && !host.ConfigureFromFile(configPath, error)) {
        std::fprintf(stderr, "velhost: %s\n", error.c_str());
        return 1;
    }
    host.onLine = PrintLine;
    host.window = owner;
    const VelHost::Exports& lib = host.Lib();
    const std::string& command = args[0];
    char buffer[301];

    if (command == "info") {
        std::printf("TYPE %d\n", lib.TypBiblioteki());
        for (int n : {1, 2, 3, 102, 103, 104, 105}) {
            lib.Wlasciwosci(buffer, n);
            std::printf("PROPERTY %d %s\n", n, Shown(buffer).c_str());
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
        const int operation = Arg(args, 1, -1);
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
    } else {
        std::fputs(kUsage, stderr);
        status = 1;
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

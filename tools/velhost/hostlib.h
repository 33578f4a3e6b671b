// The host side of the driver interface: loads the library, registers every
// callback, answers them from an INI configuration and records what the
// library says. Used by the `velhost` command and by the end-to-end tests.
//
// Texts crossing the library are code page 1250; the INI file and the
// printed lines are UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "ini.h"

std::string Cp1250ToUtf8(const std::string& text);
std::string Utf8ToCp1250(const std::string& text);

struct HostLine {
    bool replaced;     // true: callback 13 (replace the last line); false: callback 12 (add one)
    int kind;          // 0 normal, 1 warning, 2 error
    std::string text;  // as the library sent it (cp1250)
    bool operator==(const HostLine&) const = default;
};
// How a test failure shows a line.
inline std::ostream& operator<<(std::ostream& out, const HostLine& line)
{
    return out << (line.replaced ? "UPD " : "ADD ") << line.kind << " \"" << line.text << "\"";
}

class VelHost {
public:
    // The exports, resolved by name.
    struct Exports {
        int (*DllEntryPoint)(void*, int, void*) = nullptr;
        int (*TypBiblioteki)() = nullptr;
        void (*Wlasciwosci)(char*, int) = nullptr;
        void (*WlasciwosciUrzadzenia)(void*, void*, char*, int) = nullptr;
        void* (*RejestrujBiblioteke)(void*, void*, void*, void*) = nullptr;
        void (*RejestrujCallback)(void*, void*, int) = nullptr;
        void (*ZwolnijBiblioteke)(void*) = nullptr;
        int (*Parametr)(int, int, char*, char*, char*, char*, char*, int*) = nullptr;
        int (*TekstListyParametru)(const char*, int, char*) = nullptr;
        int (*SerKasJakSzukacParagonu)(void*, void*, int32_t*, int32_t*, int32_t*) = nullptr;
        int (*SerKasOpisOkna)(char*, int) = nullptr;
        int (*SerKasPokazOkno)(void*, void*, int, int, int32_t*, char*) = nullptr;
        void (*SerKasNazwaZasobuDzielonego)(void*, void*, char*) = nullptr;
        int (*SerKasOperacja)(void*, void*, void**, char*, int, int) = nullptr;
        void (*SerKasPodtrzymajSesje)(void*, void**, char*, int, int) = nullptr;
        void (*UstawJezykKomponentow)(int) = nullptr;
    };

    VelHost() = default;
    ~VelHost();
    VelHost(const VelHost&) = delete;
    VelHost& operator=(const VelHost&) = delete;

    bool Load(const std::string& libraryPath, std::string& error);
    const Exports& Lib() const { return FExports; }

    // Takes the host's answers from an INI configuration (UTF-8):
    //   [device]    id, number, name, workstation, folder
    //   [params]    NAME=value (the driver's parameters, by name, case-insensitive)
    //   [vat]       rates=23,8,5,0          (callback 15, whole percent)
    //   [vatprec]   rates=2300,800,500,0    (callback 32; leave the section out to have no callback 32)
    //   [weighted]  one format per line     (callback 14)
    //   [callbacks] omit=5,13               (callbacks not registered)
    //               stop=0|1, stop_after=N  (callback 5: stop at once, or after N polls)
    //               save_export=1, save_import=1, save_receipt=1, change_param=1, add_goods=1, take_resource=1
    //               die_at_import=N          (the host process dies as the N-th import comes)
    //   [texts]     section/key=text        (callback 34 answers; no section: no callback 34)
    //   [goods]     key=answer              (callback 19)
    //   [host]      store=DIR               (what the host keeps outlives its process, below)
    void Configure(const IniFile& ini);
    bool ConfigureFromFile(const std::string& path, std::string& error);
    // Every catalogued parameter the configuration does not set takes the
    // catalogue's default, as a host shows a parameter it never stored.
    void TakeCatalogueDefaults();

    // Registers the library, handing over `window` as the host's window,
    // and every callback not left out. Returns the handle.
    void* Register();
    // Registers every callback not left out through the given registrar
    // (the export, or a library object in the same process).
    void RegisterCallbacks(void (*registrar)(void* library, void* function, int id), void* library);
    void Release();
    void* Handle() const { return FHandle; }

    // A device call's handle.
    void* Call() { return &FCallMarker; }

    // The host's window given at registration (an X11 window id; 0 none).
    uintptr_t window = 0;

    // The host's state, in code page 1250.
    struct Device {
        int32_t id = 1, number = 1;
        std::string name = "Kasa 1", workstation = "Stanowisko 1", folder;
    } device;
    std::map<std::string, std::string> params;  // keys upper-cased
    std::vector<int32_t> vat, vatPrec;
    bool hasVatPrec = false;
    std::vector<std::string> weighted;
    std::set<int> omitted;
    std::map<std::string, int> answers{{"save_export", 1},  {"save_import", 1},  {"save_receipt", 1},
                                       {"change_param", 1}, {"add_goods", 1},    {"take_resource", 1}};
    int stopAfterPolls = -1;  // -1: never ask to stop
    // The "kasa.imp" of each sales import handed over, as the host took it;
    // the n-th hand-over (from 1) is refused, 0 none.
    std::vector<std::string> imports;
    size_t refuseImport = 0;
    // The host process dies (SIGKILL) as the n-th import is handed to it,
    // before it takes it ([callbacks] die_at_import=N); 0 never.
    size_t dieAtImport = 0;
    // Not empty: the host keeps what it takes as a real host keeps it in its
    // database, at once and beyond its own end: each accepted import as
    // STORE/import-N.imp (N from 1), the parameters it hands over with it,
    // and the parameters the library stored through callback 21 as
    // STORE/params.ini with the number of imports kept before each; Configure
    // reads them back over the INI's [params] in the order they came.
    std::string storeFolder;
    std::map<std::string, std::string> storedParams;
    std::map<std::string, size_t> storedAfter;
    std::map<std::string, std::string> texts;
    bool hasTexts = false;
    std::map<std::string, std::string> goods;

    // What the library did. The lines are added under linesLock.
    std::vector<HostLine> lines;
    std::mutex linesLock;
    std::vector<std::string> events;  // callback calls other than lines, one text each
    int polls = 0;
    std::function<void(const HostLine&)> onLine;
    // Called once the host has taken an import, with the number of imports
    // taken so far.
    std::function<void(size_t)> onImport;

    std::string Param(const std::string& name) const;
    void SetParam(const std::string& name, const std::string& value);
    // The accepted imports kept in the store, in order.
    static std::vector<std::string> StoredImports(const std::string& storeFolder);

    // Keeps a parameter the library stored (and writes the store's), or an
    // accepted import; whether it was kept, written whole and synced.
    bool StoreParam(const std::string& name, const std::string& value);
    bool StoreImport(const std::string& text) const;

private:
    void* FLibrary = nullptr;
    void* FHandle = nullptr;
    Exports FExports;
    char FCallMarker = 0;
};

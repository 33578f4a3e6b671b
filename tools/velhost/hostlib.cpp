#include "hostlib.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace {
std::string Convert(const std::string& text, const char* to, const char* from)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return text;
    std::string out(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* o = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) {
            // A byte without a counterpart is shown as '?'.
            ++in;
            --inLeft;
            if (outLeft > 0) {
                *o++ = '?';
                --outLeft;
            }
        }
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string Strip(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

std::vector<int32_t> Numbers(const std::string& list)
{
    std::vector<int32_t> out;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ','))
        if (!Strip(item).empty()) out.push_back(static_cast<int32_t>(std::stol(Strip(item))));
    return out;
}

void CopyOut(char* buffer, size_t size, const std::string& text)
{
    std::strncpy(buffer, text.c_str(), size - 1);
    buffer[size - 1] = 0;
}

VelHost* Host(void* arg1) { return static_cast<VelHost*>(arg1); }

// The parameters an import hands the host ("KASPAR;name;value" lines).
std::vector<std::pair<std::string, std::string>> ImportParams(const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> params;
    for (size_t from = 0; from < text.size();) {
        const size_t end = std::min(text.find('\n', from), text.size());
        const std::string_view line(text.data() + from, end - from);
        from = end + 1;
        if (!line.starts_with("KASPAR;")) continue;
        const size_t at = line.find(';', 7);
        if (at != std::string_view::npos)
            params.emplace_back(line.substr(7, at - 7), line.substr(at + 1, line.find('\r') - at - 1));
    }
    return params;
}

// Callback 34 carries no host handle: it answers for the one host in this process.
VelHost* g_textHost = nullptr;

extern "C" {
int CbCzyPrzerwac(void* a1, void*)
{
    VelHost* h = Host(a1);
    ++h->polls;
    if (h->stopAfterPolls < 0) return 0;
    return h->polls > h->stopAfterPolls ? 1 : 0;
}

int CbWartoscParametru(void* a1, void*, const char* name, char* value)
{
    CopyOut(value, 301, Host(a1)->Param(name));
    return 1;
}

int CbDaneUrzadzenia(void* a1, void*, int32_t* id, int32_t* number, char* name, char* workstation, char* folder)
{
    const VelHost::Device& d = Host(a1)->device;
    *id = d.id;
    *number = d.number;
    CopyOut(name, 301, d.name);
    CopyOut(workstation, 301, d.workstation);
    CopyOut(folder, 261, d.folder);
    return 1;
}

// A library may call from two threads; the test's own handler runs outside
// the lock, so that it may call the library again.
void RecordLine(VelHost* h, bool replaced, int32_t kind, const char* text)
{
    const HostLine line{replaced, kind, text};
    {
        std::lock_guard<std::mutex> guard(h->linesLock);
        h->lines.push_back(line);
    }
    if (h->onLine) h->onLine(line);
}

void CbDodajKomunikat(void* a1, void*, int32_t kind, const char* text) { RecordLine(Host(a1), false, kind, text); }
void CbZmienOstatniKomunikat(void* a1, void*, int32_t kind, const char* text)
{
    RecordLine(Host(a1), true, kind, text);
}

int CbFormatWazony(void* a1, void*, int32_t index, char* format)
{
    VelHost* h = Host(a1);
    if (index < 0 || static_cast<size_t>(index) >= h->weighted.size()) return 0;
    CopyOut(format, 301, h->weighted[static_cast<size_t>(index)]);
    return 1;
}

int Rate(const std::vector<int32_t>& rates, int32_t index, int32_t* rate)
{
    if (index < 0 || static_cast<size_t>(index) >= rates.size()) return 0;
    *rate = rates[static_cast<size_t>(index)];
    return 1;
}
int CbStawkaVAT(void* a1, void*, int32_t index, int32_t* rate) { return Rate(Host(a1)->vat, index, rate); }
int CbStawkaVATPrec(void* a1, void*, int32_t index, int32_t* rate) { return Rate(Host(a1)->vatPrec, index, rate); }

int Answer(void* a1, const char* what)
{
    VelHost* h = Host(a1);
    h->events.push_back(what);
    return h->answers[what];
}
int CbZapiszWynikEksportu(void* a1, void*) { return Answer(a1, "save_export"); }
int CbZapiszImport(void* a1, void*)
{
    VelHost* h = Host(a1);
    if (h->dieAtImport == h->imports.size() + 1) raise(SIGKILL);
    // Taken in one read at its size, as a host takes a file into its
    // database. A file that is not there or cannot be read whole is a day
    // the host did not get: it says the save failed, so the library keeps
    // the day and a test that would lose it fails. A backslash in the
    // folder is a separator here, as the library reads it.
    std::string folder = h->device.folder;
    std::replace(folder.begin(), folder.end(), '\\', '/');
    const std::string path = folder + "kasa.imp";
    std::error_code error;
    std::ifstream file;
    if (std::filesystem::is_regular_file(path, error)) file.open(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : -1;
    std::string whole(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size < 0 || !file.seekg(0).read(whole.data(), static_cast<std::streamsize>(whole.size()))) {
        h->events.push_back("save_import of an unreadable kasa.imp");
        return 0;
    }
    h->imports.push_back(std::move(whole));
    if (!Answer(a1, "save_import") || h->imports.size() == h->refuseImport) return 0;
    // The import and the parameters it hands over are kept in one write: a
    // host killed in between keeps both or neither. One it could not keep
    // is one it did not take.
    if (!h->StoreImport(h->imports.back())) {
        h->events.push_back("save_import not stored");
        return 0;
    }
    for (const auto& [name, value] : ImportParams(h->imports.back())) h->SetParam(name, value);
    if (h->onImport) h->onImport(h->imports.size());
    return 1;
}
int CbZapiszParagon(void* a1, void*) { return Answer(a1, "save_receipt"); }

int CbOdczytajTowar(void* a1, void*, char* answer, const char* key)
{
    VelHost* h = Host(a1);
    h->events.push_back(std::string("read_goods ") + key);
    auto it = h->goods.find(key);
    if (it == h->goods.end()) return 0;
    CopyOut(answer, 2049, it->second);
    return 1;
}

void CbOdswiezParametry(void* a1, void*) { Host(a1)->events.push_back("refresh_params"); }

int CbZmienParametr(void* a1, void*, const char* name, const char* value)
{
    VelHost* h = Host(a1);
    h->events.push_back(std::string("change_param ") + name + "=" + value);
    if (!h->answers["change_param"]) return 0;
    return h->StoreParam(name, value) ? 1 : 0;
}

int CbZajmijZasob(void* a1, void*, const char* name)
{
    Host(a1)->events.push_back(std::string("take_resource ") + name);
    return Host(a1)->answers["take_resource"];
}
void CbZwolnijZasob(void* a1, void*, const char* name)
{
    Host(a1)->events.push_back(std::string("release_resource ") + name);
}
void CbKasujFlageAlarmu(void* a1, void*) { Host(a1)->events.push_back("clear_alarm"); }
int CbWstrzymajOperacje(void* a1, void*, const char* text, int32_t value)
{
    Host(a1)->events.push_back(std::string("pause ") + text + " " + std::to_string(value));
    return 0;
}
void CbZapiszStanLicznika(void* a1, void*, int32_t*, int32_t count)
{
    Host(a1)->events.push_back("counter " + std::to_string(count));
}
void CbZapiszStanICzasLicznika(void* a1, void*, int32_t*, int32_t count, const char* text)
{
    Host(a1)->events.push_back("counter_time " + std::to_string(count) + " " + text);
}

int CbDodajTowarZKasy(void* a1, void*, const char* t1, int32_t i1, const char* t2, int32_t i2, const char* t3,
                      const char* t4, int32_t i3, double d1, double d2, double d3, double d4, int32_t i4, int32_t i5,
                      const char* t5)
{
    VelHost* h = Host(a1);
    std::ostringstream e;
    e << "add_goods " << t1 << ";" << i1 << ";" << t2 << ";" << i2 << ";" << t3 << ";" << t4 << ";" << i3 << ";"
      << d1 << ";" << d2 << ";" << d3 << ";" << d4 << ";" << i4 << ";" << i5 << ";" << t5;
    h->events.push_back(e.str());
    return h->answers["add_goods"];
}

int CbTekst(char* buffer, int32_t size, const char* section, const char* key)
{
    if (!g_textHost || size <= 0) return 0;
    auto it = g_textHost->texts.find(std::string(section) + "/" + key);
    if (it == g_textHost->texts.end()) return 0;
    CopyOut(buffer, static_cast<size_t>(size), it->second);
    return 1;
}
}
}  // namespace

std::string Cp1250ToUtf8(const std::string& text) { return Convert(text, "UTF-8", "CP1250"); }
std::string Utf8ToCp1250(const std::string& text) { return Convert(text, "CP1250", "UTF-8"); }

VelHost::~VelHost()
{
    Release();
    if (g_textHost == this) g_textHost = nullptr;
    if (FLibrary) dlclose(FLibrary);
}

bool VelHost::Load(const std::string& libraryPath, std::string& error)
{
    // The library stays mapped until the process ends, as a host keeps its
    // drivers: what it allocated once for the process is not reported as lost.
    FLibrary = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!FLibrary) {
        error = dlerror();
        return false;
    }
    struct Entry {
        const char* name;
        void** slot;
    };
    const Entry entries[] = {
        {"DllEntryPoint", reinterpret_cast<void**>(&FExports.DllEntryPoint)},
        {"ORVDLLTypBiblioteki", reinterpret_cast<void**>(&FExports.TypBiblioteki)},
        {"ORVDLLWlasciwosci", reinterpret_cast<void**>(&FExports.Wlasciwosci)},
        {"ORVDLLWlasciwosciUrzadzenia", reinterpret_cast<void**>(&FExports.WlasciwosciUrzadzenia)},
        {"ORVDLLRejestrujBiblioteke", reinterpret_cast<void**>(&FExports.RejestrujBiblioteke)},
        {"ORVDLLRejestrujCallback", reinterpret_cast<void**>(&FExports.RejestrujCallback)},
        {"ORVDLLZwolnijBiblioteke", reinterpret_cast<void**>(&FExports.ZwolnijBiblioteke)},
        {"ORVDLLParametr", reinterpret_cast<void**>(&FExports.Parametr)},
        {"ORVDLLTekstListyParametru", reinterpret_cast<void**>(&FExports.TekstListyParametru)},
        {"ORVDLLSerKasJakSzukacParagonu", reinterpret_cast<void**>(&FExports.SerKasJakSzukacParagonu)},
        {"ORVDLLSerKasOpisOkna", reinterpret_cast<void**>(&FExports.SerKasOpisOkna)},
        {"ORVDLLSerKasPokazOkno", reinterpret_cast<void**>(&FExports.SerKasPokazOkno)},
        {"ORVDLLSerKasNazwaZasobuDzielonego", reinterpret_cast<void**>(&FExports.SerKasNazwaZasobuDzielonego)},
        {"ORVDLLSerKasOperacja", reinterpret_cast<void**>(&FExports.SerKasOperacja)},
        {"ORVDLLSerKasPodtrzymajSesje", reinterpret_cast<void**>(&FExports.SerKasPodtrzymajSesje)},
        {"ORVDLLUstawJezykKomponentow", reinterpret_cast<void**>(&FExports.UstawJezykKomponentow)},
    };
    for (const Entry& e : entries) {
        *e.slot = dlsym(FLibrary, e.name);
        if (!*e.slot) {
            error = std::string("missing export ") + e.name;
            return false;
        }
    }
    FExports.DllEntryPoint(nullptr, 1, nullptr);
    return true;
}

void VelHost::Configure(const IniFile& ini)
{
    auto text = [](const std::string& s) { return Utf8ToCp1250(s); };
    device.id = static_cast<int32_t>(std::stol(ini.Value("device", "id", "1")));
    device.number = static_cast<int32_t>(std::stol(ini.Value("device", "number", "1")));
    device.name = text(ini.Value("device", "name", Cp1250ToUtf8(device.name)));
    device.workstation = text(ini.Value("device", "workstation", Cp1250ToUtf8(device.workstation)));
    device.folder = text(ini.Value("device", "folder", device.folder));
    for (const auto& [k, v] : ini.Get("params")) SetParam(text(k), text(v));
    vat = Numbers(ini.Value("vat", "rates"));
    hasVatPrec = ini.Has("vatprec", "rates");
    vatPrec = Numbers(ini.Value("vatprec", "rates"));
    weighted.clear();
    for (const auto& kv : ini.Get("weighted")) weighted.push_back(text(kv.first));
    for (int id : Numbers(ini.Value("callbacks", "omit"))) omitted.insert(id);
    if (ini.Value("callbacks", "stop") == "1") stopAfterPolls = 0;
    if (ini.Has("callbacks", "stop_after")) stopAfterPolls = std::stoi(ini.Value("callbacks", "stop_after"));
    if (ini.Has("callbacks", "die_at_import")) dieAtImport = std::stoul(ini.Value("callbacks", "die_at_import"));
    for (auto& [k, v] : answers)
        if (ini.Has("callbacks", k)) v = std::stoi(ini.Value("callbacks", k));
    hasTexts = !ini.Get("texts").empty();
    for (const auto& [k, v] : ini.Get("texts")) texts[text(k)] = text(v);
    for (const auto& [k, v] : ini.Get("goods")) goods[text(k)] = text(v);
    storeFolder = ini.Value("host", "store");
    if (storeFolder.empty()) return;
    // What the host kept, in the order it came: each parameter the library
    // stored after as many imports as it was stored after, and each import's.
    IniFile stored;
    std::string ignored;
    stored.Load(storeFolder + "/params.ini", ignored);
    const std::vector<std::string> kept = StoredImports(storeFolder);
    for (size_t n = 0; n <= kept.size(); ++n) {
        for (const auto& [k, v] : stored.Get("params")) {
            const size_t after = std::stoul(stored.Value("after", k, "0"));
            if (after != n && !(n == kept.size() && after > n)) continue;
            SetParam(text(k), text(v));
            storedParams[text(k)] = text(v);
            storedAfter[text(k)] = after;
        }
        if (n < kept.size())
            for (const auto& [name, value] : ImportParams(kept[n])) SetParam(name, value);
    }
}

namespace {
// Whole or not at all, and on the disk before the host says it kept it: a
// host killed or a machine cut off while it writes leaves the last state.
// Once the new state is under its name it is kept, as far as this machine
// can tell: a failed sync of the folder after that is only reported.
bool WriteWhole(const std::string& path, const std::string& text)
{
    const std::string work = path + ".tmp";
    const int fd = ::open(work.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool written = fd >= 0;
    for (size_t at = 0; written && at < text.size();) {
        const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
        written = n > 0;
        at += written ? static_cast<size_t>(n) : 0;
    }
    written = written && ::fsync(fd) == 0;
    if (fd >= 0 && ::close(fd) != 0) written = false;
    if (!written || std::rename(work.c_str(), path.c_str()) != 0) {
        std::remove(work.c_str());
        return false;
    }
    const std::string folder = std::filesystem::path(path).parent_path();
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0) std::fprintf(stderr, "velhost: folder %s not synced\n", folder.c_str());
    if (dir >= 0) ::close(dir);
    return true;
}
std::string StoredImportName(const std::string& folder, size_t n)
{
    return folder + "/import-" + std::to_string(n) + ".imp";
}
}  // namespace

bool VelHost::StoreParam(const std::string& name, const std::string& value)
{
    SetParam(name, value);
    if (storeFolder.empty()) return true;
    storedParams[name] = value;
    storedAfter[name] = StoredImports(storeFolder).size();
    std::string text = "[params]\n";
    for (const auto& [k, v] : storedParams) text += Cp1250ToUtf8(k) + "=" + Cp1250ToUtf8(v) + "\n";
    text += "[after]\n";
    for (const auto& [k, n] : storedAfter) text += Cp1250ToUtf8(k) + "=" + std::to_string(n) + "\n";
    return WriteWhole(storeFolder + "/params.ini", text);
}

bool VelHost::StoreImport(const std::string& text) const
{
    if (storeFolder.empty()) return true;
    size_t n = 1;
    while (std::ifstream(StoredImportName(storeFolder, n))) ++n;
    return WriteWhole(StoredImportName(storeFolder, n), text);
}

std::vector<std::string> VelHost::StoredImports(const std::string& storeFolder)
{
    std::vector<std::string> imports;
    for (size_t n = 1;; ++n) {
        std::ifstream file(StoredImportName(storeFolder, n), std::ios::binary);
        if (!file) return imports;
        imports.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
}

void VelHost::TakeCatalogueDefaults()
{
    // Groups 101 to 107 as the host lists them; a name met again keeps its first default.
    for (int group = 101; group <= 107; ++group) {
        for (int index = 0;; ++index) {
            char name[301], description[301], def[301], minimum[301], maximum[301];
            if (FExports.Parametr(group, index, name, description, def, minimum, maximum, nullptr) == 0) break;
            params.try_emplace(Upper(Strip(name)), def);
        }
    }
}

bool VelHost::ConfigureFromFile(const std::string& path, std::string& error)
{
    IniFile ini;
    if (!ini.Load(path, error)) return false;
    Configure(ini);
    return true;
}

void* VelHost::Register()
{
    FHandle = FExports.RejestrujBiblioteke(this, nullptr, nullptr, reinterpret_cast<void*>(window));
    if (FHandle) RegisterCallbacks(FExports.RejestrujCallback, FHandle);
    return FHandle;
}

void VelHost::RegisterCallbacks(void (*registrar)(void*, void*, int), void* library)
{
    const std::pair<int, void*> callbacks[] = {
        {5, reinterpret_cast<void*>(&CbCzyPrzerwac)},
        {6, reinterpret_cast<void*>(&CbWartoscParametru)},
        {11, reinterpret_cast<void*>(&CbDaneUrzadzenia)},
        {12, reinterpret_cast<void*>(&CbDodajKomunikat)},
        {13, reinterpret_cast<void*>(&CbZmienOstatniKomunikat)},
        {14, reinterpret_cast<void*>(&CbFormatWazony)},
        {15, reinterpret_cast<void*>(&CbStawkaVAT)},
        {16, reinterpret_cast<void*>(&CbZapiszWynikEksportu)},
        {17, reinterpret_cast<void*>(&CbZapiszImport)},
        {18, reinterpret_cast<void*>(&CbZapiszParagon)},
        {19, reinterpret_cast<void*>(&CbOdczytajTowar)},
        {20, reinterpret_cast<void*>(&CbOdswiezParametry)},
        {21, reinterpret_cast<void*>(&CbZmienParametr)},
        {22, reinterpret_cast<void*>(&CbZajmijZasob)},
        {23, reinterpret_cast<void*>(&CbZwolnijZasob)},
        {24, reinterpret_cast<void*>(&CbKasujFlageAlarmu)},
        {25, reinterpret_cast<void*>(&CbWstrzymajOperacje)},
        {28, reinterpret_cast<void*>(&CbZapiszStanLicznika)},
        {31, reinterpret_cast<void*>(&CbZapiszStanICzasLicznika)},
        {32, reinterpret_cast<void*>(&CbStawkaVATPrec)},
        {33, reinterpret_cast<void*>(&CbDodajTowarZKasy)},
        {34, reinterpret_cast<void*>(&CbTekst)},
    };
    for (const auto& [id, fn] : callbacks) {
        if (omitted.count(id)) continue;
        if (id == 32 && !hasVatPrec) continue;
        if (id == 34 && !hasTexts) continue;
        if (id == 34) g_textHost = this;
        registrar(library, fn, id);
    }
}

void VelHost::Release()
{
    if (FHandle && FExports.ZwolnijBiblioteke) FExports.ZwolnijBiblioteke(FHandle);
    FHandle = nullptr;
}

std::string VelHost::Param(const std::string& name) const
{
    auto it = params.find(Upper(Strip(name)));
    return it == params.end() ? "" : it->second;
}

void VelHost::SetParam(const std::string& name, const std::string& value) { params[Upper(Strip(name))] = value; }

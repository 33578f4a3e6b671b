#include "VelLib.h"

#include <algorithm>
#include <cstring>

#include "VelActionBase.h"
#include "process_state.h"

namespace {
const char* kSection = "veltools_VelLib";

// A host answer buffer, cleared before the call. The host is told of a
// smaller buffer than it gets: a host that writes past what it was told lands
// in room of ours, which the library terminates itself, and no more than the
// size the host was told (less its terminator) is read.
struct HostBuffer {
    static constexpr size_t kRoom = 4096;
    explicit HostBuffer(size_t told) : bytes(std::max(kRoom, told), 0), readable(told - 1) {}
    char* data() { return bytes.data(); }
    AnsiString text()
    {
        bytes.back() = 0;
        return AnsiString(bytes.data(), strnlen(bytes.data(), readable));
    }
    std::vector<char> bytes;
    size_t readable;
};
}  // namespace

void CopyTextResult(char* buffer, const AnsiString& text)
{
    if (!buffer) return;
    std::strncpy(buffer, text.c_str(), ORV_TEXT_SIZE - 1);
    buffer[ORV_TEXT_SIZE - 1] = 0;
}

TVelLibrary::~TVelLibrary()
{
    std::lock_guard<std::mutex> lock(Process().LibraryLock);
    Process().IssuedLibraries.erase(this);
    if (Process().Library == this) Process().Library = nullptr;
}

TVelLibrary* TVelLibrary::Issue(TVelLibrary* library)
{
    std::lock_guard<std::mutex> lock(Process().LibraryLock);
    Process().Library = library;
    Process().IssuedLibraries.insert(library);
    Process().DriverTextTool = library->GetLgLink();
    return library;
}

void TVelLibrary::Release(void* handle)
{
    // Held like any call, so that the last one to end deletes it.
    TVelLibraryInUse library(handle);
    if (!library) return;
    std::lock_guard<std::mutex> lock(Process().LibraryLock);
    Process().IssuedLibraries.erase(handle);
    library->FReleased = true;
}

TVelLibraryInUse::TVelLibraryInUse(void* handle)
{
    std::lock_guard<std::mutex> lock(Process().LibraryLock);
    if (!Process().IssuedLibraries.count(handle)) return;
    FLibrary = static_cast<TVelLibrary*>(handle);
    ++FLibrary->FCallsRunning;
}

TVelLibraryInUse::~TVelLibraryInUse()
{
    if (!FLibrary) return;
    bool last = false;
    {
        std::lock_guard<std::mutex> lock(Process().LibraryLock);
        last = --FLibrary->FCallsRunning == 0 && FLibrary->FReleased;
    }
    if (last) delete FLibrary;
}

HORVCBARG2 TVelLibrary::Arg2(TVelActionBase* action) const { return action ? action->GetArg2() : nullptr; }


void TVelLibrary::RejestrujCallback(void* function, int id)
{
    switch (id) {
        case 5: FCBCzyPrzerwac = reinterpret_cast<TORVCBCzyPrzerwac>(function); break;
        case 6: FCBWartoscParametru = reinterpret_cast<TORVCBWartoscParametru>(function); break;
        case 11: FCBDaneUrzadzenia = reinterpret_cast<TORVCBDaneUrzadzenia>(function); break;
        case 12: FCBDodajKomunikat = reinterpret_cast<TORVCBKomunikat>(function); break;
        case 13: FCBZmienOstatniKomunikat = reinterpret_cast<TORVCBKomunikat>(function); break;
        case 14: FCBFormatWazony = reinterpret_cast<TORVCBFormatWazony>(function); break;
        case 15: FCBStawkaVAT = reinterpret_cast<TORVCBStawkaVAT>(function); break;
        case 16: FCBZapiszWynikEksportu = reinterpret_cast<TORVCBZapisz>(function); break;
        case 17: FCBZapiszImport = reinterpret_cast<TORVCBZapisz>(function); break;
        case 18: FCBZapiszParagon = reinterpret_cast<TORVCBZapisz>(function); break;
        case 19: FCBOdczytajTowar = reinterpret_cast<TORVCBOdczytajTowar>(function); break;
        case 20: FCBOdswiezParametry = reinterpret_cast<TORVCBProcedura>(function); break;
        case 21: FCBZmienParametr = reinterpret_cast<TORVCBZmienParametr>(function); break;
        case 22: FCBZajmijZasobSterownika = reinterpret_cast<TORVCBZajmijZasob>(function); break;
        case 23: FCBZwolnijZasobSterownika = reinterpret_cast<TORVCBZwolnijZasob>(function); break;
        case 24: FCBKasujFlageAlarmu = reinterpret_cast<TORVCBProcedura>(function); break;
        case 25: FCBWstrzymajOperacje = reinterpret_cast<TORVCBWstrzymajOperacje>(function); break;
        case 28: FCBZapiszStanLicznika = reinterpret_cast<TORVCBZapiszStanLicznika>(function); break;
        case 31: FCBZapiszStanICzasLicznika = reinterpret_cast<TORVCBZapiszStanICzasLicznika>(function); break;
        case 32: FCBStawkaVATPrec = reinterpret_cast<TORVCBStawkaVAT>(function); break;
        case 33: FCBDodajTowarZKasy = reinterpret_cast<TORVCBDodajTowarZKasy>(function); break;
        case 34:
            // A null lookup function means the host offers no translation.
            FLgLink.reset();
            if (function) FLgLink = std::make_unique<TMLgExtTools>(nullptr, reinterpret_cast<TMLgLookupFunc>(function));
            break;
        default: break;
    }
}

AnsiString TVelLibrary::NazwaZTypem(const AnsiString& name) { return Trim(Wlasciwosci(2)) + "_" + Trim(name); }

bool TVelLibrary::ZgodnaNazwaParametru(const AnsiString& a, const AnsiString& b)
{
    const AnsiString ta = Trim(a);
    return !ta.empty() && UpperCase(ta) == UpperCase(Trim(b));
}

int TVelLibrary::PokazOkno(TVelActionBase*, int, bool, int32_t*, char*) { return 0; }

void TVelLibrary::WeryfikujTypSesji(HORVDLLSKSESJA session, const AnsiString&)
{
    if (session) throw Exception(LgText(GetLgLink(), kSection, "Niezgodny typ sesji w sterowniku"));
}

void TVelLibrary::PodtrzymajSesje(HORVDLLSKSESJA*, AnsiString&, int, bool) {}

bool TVelLibrary::CzyPrzerwac(TVelActionBase* action)
{
    if (!FCBCzyPrzerwac) return true;
    return FCBCzyPrzerwac(FArg1, Arg2(action)) != 0;
}

AnsiString TVelLibrary::WartoscParametru(TVelActionBase* action, const AnsiString& name)
{
    if (!FCBWartoscParametru) return "";
    HostBuffer value(ORV_TEXT_SIZE);
    FCBWartoscParametru(FArg1, Arg2(action), Trim(name).c_str(), value.data());
    return value.text();
}

void TVelLibrary::WypelnijDaneUrzadzenia(TVelActionBase* action, int32_t& id, int32_t& number, AnsiString& name,
                                         AnsiString& workstation, AnsiString& exchangeFolder)
{
    id = -1;
    number = 0;
    name = workstation = exchangeFolder = "";
    if (!FCBDaneUrzadzenia) return;
    HostBuffer n(ORV_TEXT_SIZE), w(ORV_TEXT_SIZE), f(ORV_FOLDER_SIZE);
    FCBDaneUrzadzenia(FArg1, Arg2(action), &id, &number, n.data(), w.data(), f.data());
    name = n.text();
    workstation = w.text();
    exchangeFolder = f.text();
}

void TVelLibrary::DodajKomunikat(TVelActionBase* action, int kind, const AnsiString& text)
{
    if (FCBDodajKomunikat) FCBDodajKomunikat(FArg1, Arg2(action), kind, Trim(text).c_str());
}

void TVelLibrary::ZmienOstatniKomunikat(TVelActionBase* action, int kind, const AnsiString& text)
{
    if (FCBZmienOstatniKomunikat) FCBZmienOstatniKomunikat(FArg1, Arg2(action), kind, Trim(text).c_str());
}

void TVelLibrary::WypelnijFormatyWazone(TVelActionBase* action, TStringList& formats)
{
    formats.Clear();
    if (!FCBFormatWazony) return;
    for (int i = 0; i < MaxCallbackIndex; ++i) {
        HostBuffer format(ORV_TEXT_SIZE);
        if (!FCBFormatWazony(FArg1, Arg2(action), i, format.data())) break;
        AnsiString text = Trim(format.text());
        if (text.empty()) break;
        formats.Add(text);
    }
}

void TVelLibrary::AskRates(TORVCBStawkaVAT callback, TVelActionBase* action, std::vector<int32_t>& rates)
{
    rates.clear();
    if (!callback) return;
    for (int i = 0; i < MaxCallbackIndex; ++i) {
        int32_t rate = 0;
        if (!callback(FArg1, Arg2(action), i, &rate)) break;
        rates.push_back(rate);
    }
}

void TVelLibrary::WypelnijStawkiVAT(TVelActionBase* action, std::vector<int32_t>& rates)
{
    AskRates(FCBStawkaVAT, action, rates);
}

void TVelLibrary::WypelnijStawkiVATPrec(TVelActionBase* action, std::vector<int32_t>& rates)
{
    if (FCBStawkaVATPrec) {
        AskRates(FCBStawkaVATPrec, action, rates);
        return;
    }
    AskRates(FCBStawkaVAT, action, rates);
    for (int32_t& r : rates) {
        const int64_t hundredths = static_cast<int64_t>(r) * 100;
        if (r > 0) r = hundredths > INT32_MAX ? INT32_MAX : static_cast<int32_t>(hundredths);
    }
}

bool TVelLibrary::ZapiszWynikEksportu(TVelActionBase* action)
{
    return FCBZapiszWynikEksportu && FCBZapiszWynikEksportu(FArg1, Arg2(action)) != 0;
}

bool TVelLibrary::ZapiszImport(TVelActionBase* action)
{
    return FCBZapiszImport && FCBZapiszImport(FArg1, Arg2(action)) != 0;
}

bool TVelLibrary::ZapiszParagon(TVelActionBase* action)
{
    return FCBZapiszParagon && FCBZapiszParagon(FArg1, Arg2(action)) != 0;
}

AnsiString TVelLibrary::OdczytajTowar(TVelActionBase* action, const AnsiString& key)
{
    if (!FCBOdczytajTowar) return "";
    HostBuffer answer(ORV_GOODS_SIZE);
    if (!FCBOdczytajTowar(FArg1, Arg2(action), answer.data(), Trim(key).c_str())) return "";
    return answer.text();
}

void TVelLibrary::OdswiezParametry(TVelActionBase* action)
{
    if (FCBOdswiezParametry) FCBOdswiezParametry(FArg1, Arg2(action));
}

bool TVelLibrary::ZmienParametr(TVelActionBase* action, const AnsiString& name, const AnsiString& value)
{
    // The value keeps its blanks: a part of a long value may begin or end
    // with a line break, and trimming it would join two lines of the value.
    return FCBZmienParametr && FCBZmienParametr(FArg1, Arg2(action), Trim(name).c_str(), value.c_str()) != 0;
}

bool TVelLibrary::ZajmijZasobSterownika(TVelActionBase* action, const AnsiString& resource)
{
    // A resource that could not be given back must not be taken.
    if (!FCBZajmijZasobSterownika || !FCBZwolnijZasobSterownika) return false;
    return FCBZajmijZasobSterownika(FArg1, Arg2(action), Trim(resource).c_str()) != 0;
}

void TVelLibrary::ZwolnijZasobSterownika(TVelActionBase* action, const AnsiString& resource)
{
    if (FCBZwolnijZasobSterownika) FCBZwolnijZasobSterownika(FArg1, Arg2(action), Trim(resource).c_str());
}

void TVelLibrary::KasujFlageAlarmu(TVelActionBase* action)
{
    if (FCBKasujFlageAlarmu) FCBKasujFlageAlarmu(FArg1, Arg2(action));
}

int TVelLibrary::WstrzymajOperacje(TVelActionBase* action, const AnsiString& text, int value)
{
    if (!FCBWstrzymajOperacje) return -1;
    return FCBWstrzymajOperacje(FArg1, Arg2(action), text.c_str(), value);
}

void TVelLibrary::ZapiszStanLicznika(TVelActionBase* action, int32_t* values, int count)
{
    if (FCBZapiszStanLicznika) FCBZapiszStanLicznika(FArg1, Arg2(action), values, count);
}

void TVelLibrary::ZapiszStanICzasLicznika(TVelActionBase* action, int32_t* values, int count,
                                          const AnsiString& text)
{
    if (FCBZapiszStanICzasLicznika) FCBZapiszStanICzasLicznika(FArg1, Arg2(action), values, count, text.c_str());
}

int TVelLibrary::DodajTowarZKasy(TVelActionBase* action, const AnsiString& t1, int i1, const AnsiString& t2, int i2,
                                 const AnsiString& t3, const AnsiString& t4, int i3, double d1, double d2, double d3,
                                 double d4, int i4, int i5, const AnsiString& t5)
{
    if (!FCBDodajTowarZKasy) return -1;
    return FCBDodajTowarZKasy(FArg1, Arg2(action), t1.c_str(), i1, t2.c_str(), i2, t3.c_str(), t4.c_str(), i3, d1,
                              d2, d3, d4, i4, i5, t5.c_str());
}

// The library's 15 exported entry points. Each is a thin shell: nothing the
// host hands over is trusted, and no exception ever leaves the library.
#include <cstring>
#include <memory>
#include <type_traits>

#include "cbaction.h"
#include "clock.h"
#include "emexception.h"
#include "process_state.h"
#include "velcombo.h"
#include "xtools.h"

// Each definition below matches its declaration in the host's header
// (velcombo.h, through orvdll.h): a parameter that drifts no longer compiles.
#define ORVDLL_EXPORT extern "C" ORVDLL_API

// The header's pointer types are those of the exports themselves.
#define ORVDLL_SAME_TYPE(name) static_assert(std::is_same_v<decltype(&name), ORV_PFN_##name>, #name)
ORVDLL_SAME_TYPE(DllEntryPoint);
ORVDLL_SAME_TYPE(ORVDLLTypBiblioteki);
ORVDLL_SAME_TYPE(ORVDLLWlasciwosci);
ORVDLL_SAME_TYPE(ORVDLLParametr);
ORVDLL_SAME_TYPE(ORVDLLTekstListyParametru);
ORVDLL_SAME_TYPE(ORVDLLSerKasOpisOkna);
ORVDLL_SAME_TYPE(ORVDLLUstawJezykKomponentow);
ORVDLL_SAME_TYPE(ORVDLLRejestrujBiblioteke);
ORVDLL_SAME_TYPE(ORVDLLRejestrujCallback);
ORVDLL_SAME_TYPE(ORVDLLZwolnijBiblioteke);
ORVDLL_SAME_TYPE(ORVDLLWlasciwosciUrzadzenia);
ORVDLL_SAME_TYPE(ORVDLLSerKasJakSzukacParagonu);
ORVDLL_SAME_TYPE(ORVDLLSerKasPokazOkno);
ORVDLL_SAME_TYPE(ORVDLLSerKasNazwaZasobuDzielonego);
ORVDLL_SAME_TYPE(ORVDLLSerKasOperacja);
ORVDLL_SAME_TYPE(ORVDLLSerKasPodtrzymajSesje);

namespace {
void ClearResult(char* out)
{
    if (out) out[0] = 0;
}

// A text from the host: read up to its NUL, never past the 300 bytes of its buffer.
AnsiString HostText(const char* text) { return text ? AnsiString(text, strnlen(text, ORV_TEXT_SIZE - 1)) : AnsiString(); }

AnsiString OperationName(int operation)
{
    switch (operation) {
        case -1: return "test połączenia";
        case -2: return "eksport";
        case -3: return "import sprzedaży";
        case -4: return "import paragonu";
        case -5: return "eksport automatyczny";
        case -6: return "import automatyczny";
        case -7: return "nasłuch";
        case -9: return "import licznika";
        default: return "operacja [" + IntToStr(operation) + "]";
    }
}

// A handle the library never issued, or has released, is answered
// ORV_REFUSED_HANDLE where a number is answered and "" where a text is
// written: a host that checks no error line still tells it from any answer
// of a known handle, which makes its callbacks and lines as always.
enum class CallOutcome { Refused, Failed, Done };

// Runs one virtual operation of a fresh action; every failure becomes the
// action's error lines under the export's operation name.
template <typename Body>
CallOutcome DeviceCall(void* lib, HORVCBARG2 call, const char* operationName, Body body)
{
    try {
        TVelLibraryInUse library(lib);
        if (!library) return CallOutcome::Refused;
        std::unique_ptr<TVelActionBase> action(library->UtworzAkcje(call));
        try {
            body(*action);
            return CallOutcome::Done;
        } catch (const Exception& e) {
            action->OstatecznePrzechwycenieBledu(operationName, &e);
        } catch (...) {
            action->OstatecznePrzechwycenieBledu(operationName, nullptr);
        }
    } catch (...) {
    }
    return CallOutcome::Failed;
}
}  // namespace

ORVDLL_EXPORT int DllEntryPoint(void*, int, void*) { return 1; }

ORVDLL_EXPORT int ORVDLLTypBiblioteki()
{
    return TVelLibrary::TypBiblioteki();
}

ORVDLL_EXPORT void ORVDLLWlasciwosci(char* out, int number)
{
    try {
        CopyTextResult(out, Trim(TVelLibrary::Wlasciwosci(number)));
    } catch (...) {
        ClearResult(out);
    }
}

ORVDLL_EXPORT int ORVDLLParametr(int group, int index, char* name, char* description, char* defaultValue,
                                 char* minimum, char* maximum, int* flag)
{
    try {
        AnsiString n, d, def, mn, mx;
        int32_t f = 0;
        const int type = TVelLibrary::Parametr(group, index, n, d, def, mn, mx, f);
        CopyTextResult(name, n);
        CopyTextResult(description, d);
        CopyTextResult(defaultValue, def);
        CopyTextResult(minimum, mn);
        CopyTextResult(maximum, mx);
        if (flag) *flag = f;
        return type;
    } catch (...) {
        return 0;
    }
}

ORVDLL_EXPORT int ORVDLLTekstListyParametru(const char* parameter, int index, char* out)
{
    try {
        const AnsiString text = Trim(TVelLibrary::TekstListyParametru(HostText(parameter), index));
        CopyTextResult(out, text);
        return text.empty() ? 0 : 1;
    } catch (...) {
        ClearResult(out);
        return 0;
    }
}

ORVDLL_EXPORT int ORVDLLSerKasOpisOkna(char* out, int window)
{
    try {
        const AnsiString text = Trim(TVelLibrary::OpisOkna(window));
        CopyTextResult(out, text);
        return text.empty() ? 0 : 1;
    } catch (...) {
        ClearResult(out);
        return 0;
    }
}

ORVDLL_EXPORT void* ORVDLLRejestrujBiblioteke(HORVCBARG1 host, void*, void*, void* window)
{
    void* library = nullptr;
    try {
        library = TVelLibrary::RejestrujBiblioteke(host);
    } catch (...) {
        return nullptr;
    }
    // The host's window owns the dialogs of every registration after it.
    Process().OwnerWindow = reinterpret_cast<uintptr_t>(window);
    return library;
}

ORVDLL_EXPORT void ORVDLLRejestrujCallback(void* lib, void* function, int id)
{
    try {
        if (TVelLibraryInUse library(lib); library) library->RejestrujCallback(function, id);
    } catch (...) {
    }
}

ORVDLL_EXPORT void ORVDLLZwolnijBiblioteke(void* lib)
{
    try {
        TVelLibrary::Release(lib);  // nothing for a handle not issued or released twice
    } catch (...) {
    }
}

ORVDLL_EXPORT void ORVDLLUstawJezykKomponentow(int language) { EMException::SetLanguage(language); }

ORVDLL_EXPORT void ORVDLLWlasciwosciUrzadzenia(void* lib, HORVCBARG2 call, char* out, int number)
{
    AnsiString text;
    if (DeviceCall(lib, call, "właściwości urządzenia",
                   [&](TVelActionBase& a) { text = Trim(a.WlasciwosciUrzadzenia(number)); }) != CallOutcome::Done)
        text.clear();
    CopyTextResult(out, text);
}

ORVDLL_EXPORT int ORVDLLSerKasJakSzukacParagonu(void* lib, HORVCBARG2 call, int32_t* a, int32_t* b, int32_t* c)
{
    bool answer = false;
    switch (DeviceCall(lib, call, "jak szukać paragonu", [&](TVelActionBase& act) {
        int32_t x = a ? *a : 0, y = b ? *b : 0, z = c ? *c : 0;
        answer = act.JakSzukacParagonu(&x, &y, &z);
        if (a) *a = x;
        if (b) *b = y;
        if (c) *c = z;
    })) {
        case CallOutcome::Refused: return ORV_REFUSED_HANDLE;
        case CallOutcome::Failed: return 0;
        case CallOutcome::Done: break;
    }
    return answer ? 1 : 0;
}

ORVDLL_EXPORT int ORVDLLSerKasPokazOkno(void* lib, HORVCBARG2 call, int window, int flag, int32_t* code, char* text)
{
    int answer = 0;
    switch (DeviceCall(lib, call, "wyświetlanie okna", [&](TVelActionBase& a) {
        answer = a.GetLibrary()->PokazOkno(&a, window, flag != 0, code, text);
    })) {
        case CallOutcome::Refused: CopyTextResult(text, ""); return ORV_REFUSED_HANDLE;
        case CallOutcome::Failed: return 0;
        case CallOutcome::Done: break;
    }
    return answer;
}

ORVDLL_EXPORT void ORVDLLSerKasNazwaZasobuDzielonego(void* lib, HORVCBARG2 call, char* out)
{
    ClearResult(out);
    AnsiString text;
    if (DeviceCall(lib, call, "identyfikacja zasobu dzielonego",
                   [&](TVelActionBase& a) { text = a.NazwaZasobuDzielonego(); }) != CallOutcome::Done)
        text.clear();
    CopyTextResult(out, text);
}

ORVDLL_EXPORT int ORVDLLSerKasOperacja(void* lib, HORVCBARG2 call, HORVDLLSKSESJA* session, char* text,
                                       int operation, int parameter)
{
    HORVDLLSRODOWISKO environment;
    try {
        TVelLibraryInUse library(lib);
        if (!library) {
            CopyTextResult(text, "");
            return ORV_REFUSED_HANDLE;
        }
        AnsiString name = "weryfikacja typu sesji";
        std::unique_ptr<TVelActionBase> action(library->UtworzAkcje(call));
        AnsiString sessionText = HostText(text);
        try {
            library->WeryfikujTypSesji(session ? *session : nullptr, sessionText);
        } catch (...) {
            action->DodajKomunikat(zkNormalny, "Oczekiwanie na zamknięcie sesji '" + sessionText + "'");
            Sleep(1000);
            return 1;
        }
        try {
            action->UstawParametrOperacji(parameter);
            name = OperationName(operation);
            environment.NazwaSesji = sessionText;
            environment.phSesja = session;
            environment.Wynik = 0;
            action->Operacja(&environment, operation, parameter);
        } catch (const Exception& e) {
            action->OstatecznePrzechwycenieBledu(name, &e);
            environment.Wynik = 0;
        } catch (...) {
            action->OstatecznePrzechwycenieBledu(name, nullptr);
            environment.Wynik = 0;
        }
        action.reset();
        if (text) CopyTextResult(text, environment.NazwaSesji);
    } catch (...) {
        TxTools::MsgBox("Wyjątek w ORVDLLSerKasOperacja", "Uwaga!!!", 0);
    }
    return environment.Wynik;
}

ORVDLL_EXPORT void ORVDLLSerKasPodtrzymajSesje(void* lib, HORVDLLSKSESJA* session, char* text, int a, int b)
{
    try {
        TVelLibraryInUse library(lib);
        if (!library) {
            CopyTextResult(text, "");
            return;
        }
        AnsiString sessionText = HostText(text);
        library->WeryfikujTypSesji(session ? *session : nullptr, sessionText);
        library->PodtrzymajSesje(session, sessionText, a, b != 0);
        if (text) CopyTextResult(text, sessionText);
    } catch (...) {
    }
}

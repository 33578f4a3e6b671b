// The library object of one registration: the host's handle, the table of
// host callbacks and the multilingual text tool. It creates the action for
// every device call and forwards each callback with a fixed answer when the
// host did not register it.
#pragma once

#include <memory>
#include <vector>

#include "classes.h"
#include "mlgexttools.h"
#include "orvdll.h"

class TVelActionBase;

class TVelLibrary {
public:
    explicit TVelLibrary(HORVCBARG1 arg1) : FArg1(arg1) {}
    virtual ~TVelLibrary();
    TVelLibrary(const TVelLibrary&) = delete;
    TVelLibrary& operator=(const TVelLibrary&) = delete;

    virtual TVelActionBase* UtworzAkcje(HORVCBARG2 arg2) = 0;
    virtual int PokazOkno(TVelActionBase* action, int window, bool flag, int32_t* code, char* text);
    virtual void WeryfikujTypSesji(HORVDLLSKSESJA session, const AnsiString& text);
    virtual void PodtrzymajSesje(HORVDLLSKSESJA* session, AnsiString& text, int a, bool b);

    // Catalogue calls, answered without a library object too.
    static int TypBiblioteki() { return 1; }
    static AnsiString Wlasciwosci(int number);
    static AnsiString OpisOkna(int window);
    static int Parametr(int group, int index, AnsiString& name, AnsiString& description, AnsiString& defaultValue,
                        AnsiString& minimum, AnsiString& maximum, int32_t& flag);
    static AnsiString TekstListyParametru(const AnsiString& name, int index);

    static TVelLibrary* RejestrujBiblioteke(HORVCBARG1 host);
    void RejestrujCallback(void* function, int id);
    // Hands a new library object to the host: from now on its handle is followed.
    static TVelLibrary* Issue(TVelLibrary* library);
    // The host gives a handle back. It is not followed any more from this
    // moment; the object goes when no call runs on it any longer, so a host
    // that releases it from one of its callbacks breaks nothing.
    static void Release(void* handle);

    static AnsiString NazwaZTypem(const AnsiString& name);
    static bool ZgodnaNazwaParametru(const AnsiString& a, const AnsiString& b);

    const TMLgExtTools* GetLgLink() const { return FLgLink.get(); }

    // The callback forwarders; each takes the action of the call.
    bool CzyPrzerwac(TVelActionBase* action);
    AnsiString WartoscParametru(TVelActionBase* action, const AnsiString& name);
    void WypelnijDaneUrzadzenia(TVelActionBase* action, int32_t& id, int32_t& number, AnsiString& name,
                                AnsiString& workstation, AnsiString& exchangeFolder);
    void DodajKomunikat(TVelActionBase* action, int kind, const AnsiString& text);
    void ZmienOstatniKomunikat(TVelActionBase* action, int kind, const AnsiString& text);
    void WypelnijFormatyWazone(TVelActionBase* action, TStringList& formats);
    void WypelnijStawkiVAT(TVelActionBase* action, std::vector<int32_t>& rates);
    void WypelnijStawkiVATPrec(TVelActionBase* action, std::vector<int32_t>& rates);
    bool ZapiszWynikEksportu(TVelActionBase* action);
    bool ZapiszImport(TVelActionBase* action);
    bool ZapiszParagon(TVelActionBase* action);
    AnsiString OdczytajTowar(TVelActionBase* action, const AnsiString& key);
    void OdswiezParametry(TVelActionBase* action);
    bool ZmienParametr(TVelActionBase* action, const AnsiString& name, const AnsiString& value);
    bool ZajmijZasobSterownika(TVelActionBase* action, const AnsiString& resource);
    void ZwolnijZasobSterownika(TVelActionBase* action, const AnsiString& resource);
    void KasujFlageAlarmu(TVelActionBase* action);
    int WstrzymajOperacje(TVelActionBase* action, const AnsiString& text, int value);
    void ZapiszStanLicznika(TVelActionBase* action, int32_t* values, int count);
    void ZapiszStanICzasLicznika(TVelActionBase* action, int32_t* values, int count, const AnsiString& text);
    int DodajTowarZKasy(TVelActionBase* action, const AnsiString& t1, int i1, const AnsiString& t2, int i2,
                        const AnsiString& t3, const AnsiString& t4, int i3, double d1, double d2, double d3,
                        double d4, int i4, int i5, const AnsiString& t5);

    // The host's callback loops end after this many indices, so that a host
    // that always answers "more" cannot hang the driver.
    static constexpr int MaxCallbackIndex = 1000;

private:
    friend class TVelLibraryInUse;
    HORVCBARG1 FArg1;
    // The calls running on this object, and whether the host has released it
    // meanwhile; both under the process-wide library lock.
    int FCallsRunning = 0;
    bool FReleased = false;
    TORVCBCzyPrzerwac FCBCzyPrzerwac = nullptr;
    TORVCBWartoscParametru FCBWartoscParametru = nullptr;
    TORVCBDaneUrzadzenia FCBDaneUrzadzenia = nullptr;
    TORVCBKomunikat FCBDodajKomunikat = nullptr;
    TORVCBKomunikat FCBZmienOstatniKomunikat = nullptr;
    TORVCBFormatWazony FCBFormatWazony = nullptr;
    TORVCBStawkaVAT FCBStawkaVAT = nullptr;
    TORVCBStawkaVAT FCBStawkaVATPrec = nullptr;
    TORVCBZapisz FCBZapiszWynikEksportu = nullptr;
    TORVCBZapisz FCBZapiszImport = nullptr;
    TORVCBZapisz FCBZapiszParagon = nullptr;
    TORVCBOdczytajTowar FCBOdczytajTowar = nullptr;
    TORVCBProcedura FCBOdswiezParametry = nullptr;
    TORVCBZmienParametr FCBZmienParametr = nullptr;
    TORVCBZajmijZasob FCBZajmijZasobSterownika = nullptr;
    TORVCBZwolnijZasob FCBZwolnijZasobSterownika = nullptr;
    TORVCBProcedura FCBKasujFlageAlarmu = nullptr;
    TORVCBWstrzymajOperacje FCBWstrzymajOperacje = nullptr;
    TORVCBZapiszStanLicznika FCBZapiszStanLicznika = nullptr;
    TORVCBZapiszStanICzasLicznika FCBZapiszStanICzasLicznika = nullptr;
    TORVCBDodajTowarZKasy FCBDodajTowarZKasy = nullptr;
    std::unique_ptr<TMLgExtTools> FLgLink;

    HORVCBARG2 Arg2(TVelActionBase* action) const;
    // The host's rates through callback 15 or 32, index by index.
    void AskRates(TORVCBStawkaVAT callback, TVelActionBase* action, std::vector<int32_t>& rates);
};

// The library object behind a host's handle, kept for the length of one
// call: null for a handle never issued or released already.
class TVelLibraryInUse {
public:
    explicit TVelLibraryInUse(void* handle);
    ~TVelLibraryInUse();
    TVelLibraryInUse(const TVelLibraryInUse&) = delete;
    TVelLibraryInUse& operator=(const TVelLibraryInUse&) = delete;

    explicit operator bool() const { return FLibrary != nullptr; }
    TVelLibrary* operator->() const { return FLibrary; }

private:
    TVelLibrary* FLibrary = nullptr;
};

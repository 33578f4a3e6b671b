// The base of every device action: one object per host call. It carries the
// call's host handle and device data, and gives every operation its message
// lines, progress, stop polling, parameter access and the last-resort handler
// that turns any failure into error lines for the host.
#pragma once

#include <memory>
#include <vector>

#include "classes.h"
#include "dttools.h"
#include "mlgexttools.h"
#include "orvdll.h"

class TMacSetOfIntegers;
class TVelLibrary;
class TVelStawkiKolejne;

class TVelActionBase {
public:
    TVelActionBase(TVelLibrary* library, HORVCBARG2 arg2);
    virtual ~TVelActionBase();
    TVelActionBase(const TVelActionBase&) = delete;
    TVelActionBase& operator=(const TVelActionBase&) = delete;

    virtual AnsiString NazwaZasobuDzielonego() = 0;
    virtual bool JakSzukacParagonu(int32_t* a, int32_t* b, int32_t* c);
    virtual void Operacja(HORVDLLSRODOWISKO* environment, int operation, int parameter);
    virtual AnsiString WlasciwosciUrzadzenia(int number);
    virtual int IleMaxStawekKolejnych();

    HORVCBARG2 GetArg2() const { return FArg2; }
    TVelLibrary* GetLibrary() const { return FLibrary; }
    const TMLgExtTools* GetLgLink() const;

    // Message lines. A step is the last line added by MsgAdd; MsgP and MsgS
    // rewrite it. A line sent on its own after it (a warning, an error, a
    // list) and a warning added by MsgAdd are never rewritten: the step's
    // progress or state then shows the step again below them.
    void DodajKomunikat(int kind, const AnsiString& text);
    AnsiString ZmienOstatniKomunikat(int kind, const AnsiString& text);
    AnsiString PodajOstatniKomunikat(bool cut) const;
    // Before the first step there is none: MsgP and MsgS show nothing.
    void MsgAdd(const AnsiString& text, LPVState state, int max);
    void MsgP(int value);
    void MsgS(LPVState state);
    // The step as it stands, and the same step taken up again once the lines
    // of a clean-up were shown below it: a failure marked after the clean-up
    // is then the failed step's, not the clean-up's last line.
    struct Step {
        AnsiString text;
        LPVState state = LPV_None;
        int max = 100;
        int progress = 0;
        // Steps are numbered from 1 as they are added; 0 is none.
        int number = 0;
    };
    Step CurrentStep() const;
    void ResumeStep(const Step& step);

    // Stop polling.
    bool CzyPrzerwac();
    void SprawdzCzyPrzerwac();

    void UstawParametrOperacji(int parameter) { FOperParam = parameter; }
    int GetOperParam() const { return FOperParam; }

    // The last-resort handler: every failure of a device call ends here as
    // error lines. A null exception stands for a failure nothing is known of.
    void OstatecznePrzechwycenieBledu(const AnsiString& operationName, const Exception* exception);

    // Parameters and host data.
    AnsiString WartoscParametru(const AnsiString& name);
    AnsiString ParamAsString(const AnsiString& name) { return WartoscParametru(name); }
    int32_t ParamAsInt(const AnsiString& name);
    TDateTime ParamAsDate(const AnsiString& name);
    AnsiString ParamAsDir(const AnsiString& name);
    // The exchange folder the host gave, as a path of this system; every
    // exchange file is named from it. A Windows drive is refused.
    AnsiString KatalogWymiany() const;
    void ReadParamEx(const AnsiString& shortName, AnsiString& value);
    void WriteParamEx(const AnsiString& shortName, const AnsiString& value);
    AnsiString ReadLongParamEx(const AnsiString& shortName, int count);
    void WriteLongParamEx(const AnsiString& shortName, const AnsiString& value, int count);
    void ZmienParametr(const AnsiString& name, const AnsiString& value);
    void OdswiezParametry();
    TStringList* GetFormatyWazone();
    void ZapiszWynikEksportu();
    void ZapiszKasaImp();
    void ZapiszParagonImp();
    AnsiString OdczytajTowar(const AnsiString& key);
    int DodajTowarZKasy(const AnsiString& t1, int i1, const AnsiString& t2, int i2, const AnsiString& t3,
                        const AnsiString& t4, int i3, double d1, double d2, double d3, double d4, int i4, int i5,
                        const AnsiString& t5);
    void ZajmijZasobSterownika(const AnsiString& name);
    void ZwolnijZasobSterownika(const AnsiString& name);
    void KasujFlageAlarmu();
    int WstrzymajOperacje(const AnsiString& text, int value);
    void ZapiszStanLicznika(int32_t* values, int count);
    void ZapiszStanICzasLicznika(int32_t* values, int count, const AnsiString& text);

    // The register's VAT-rate order: the host's available rates and the
    // register's slots, in whole percent and in hundredths of a percent.
    TMacSetOfIntegers* GetStawkiDostepne();
    TMacSetOfIntegers* GetStawkiDostepnePrec();
    TVelStawkiKolejne* GetStawkiKolejne();
    TVelStawkiKolejne* GetStawkiKolejnePrec();
    void OdczytajStawkiKolejne();
    void OdczytajStawkiKolejnePrec();
    void ZapiszStawkiKolejne();
    void ZapiszStawkiKolejnePrec();
    // The slot dialog: name is the first slot's name, special the name of a
    // row shown but never read back (none when empty). OK stores the order
    // when editable.
    void WyswietlOknoStawekNaKasie(const AnsiString& name, bool editable, const AnsiString& special);
    void WyswietlOknoStawekNaKasiePrec(const AnsiString& name, bool editable, const AnsiString& special);

    // The longest part of a long value.
    static constexpr int LongParamPartSize = 250;

protected:
    TVelLibrary* FLibrary;
    HORVCBARG2 FArg2;
    int32_t FIdUrzadzenia = -1;
    int32_t FNrUrzadzenia = 0;
    AnsiString FNazwaUrzadzenia;
    AnsiString FNazwaStanowiska;
    AnsiString FKatalogWymiany;
    std::unique_ptr<TStringList> FFormatyWazone;
    std::unique_ptr<TMacSetOfIntegers> FStawkiDostepne;
    std::unique_ptr<TVelStawkiKolejne> FStawkiKolejne;
    std::unique_ptr<TMacSetOfIntegers> FStawkiDostepnePrec;
    std::unique_ptr<TVelStawkiKolejne> FStawkiKolejnePrec;

    // A user text of this layer, translated by the host when it can.
    AnsiString Txt(const AnsiString& text) const;

private:
    Step FStep;
    int FSteps = 0;
    int FOperParam = 0;
    AnsiString FOstatniKomunikat;
    // Whether the host's last line is the step's own.
    bool FStepIsLast = false;

    // The step's line with its progress or state: in place of the host's last
    // line when that is the step's, else added below.
    void ShowStep(int kind, const AnsiString& line);
};

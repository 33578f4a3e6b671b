// The action frame: message lines, progress, stop polling and the last-resort handler.
#include "VelActionBase.h"

#include "VelLib.h"
#include "StawkiKolejne.h"
#include "emexception.h"
#include "setofintegers.h"

namespace {
const char* kSection = "veltools_VelLib";
const char kStateMark = '\x01';

AnsiString Percent(int progress, int max)
{
    // In 64 bits: a large record count times 100 must not wrap.
    return IntToStr(static_cast<int64_t>(progress) * 100 / max) + " %";
}
}  // namespace

TVelActionBase::TVelActionBase(TVelLibrary* library, HORVCBARG2 arg2) : FLibrary(library), FArg2(arg2)
{
    if (FLibrary)
        FLibrary->WypelnijDaneUrzadzenia(this, FIdUrzadzenia, FNrUrzadzenia, FNazwaUrzadzenia, FNazwaStanowiska,
                                         FKatalogWymiany);
}

TVelActionBase::~TVelActionBase() = default;

const TMLgExtTools* TVelActionBase::GetLgLink() const { return FLibrary ? FLibrary->GetLgLink() : nullptr; }

AnsiString TVelActionBase::Txt(const AnsiString& text) const { return LgText(GetLgLink(), kSection, text); }

bool TVelActionBase::JakSzukacParagonu(int32_t*, int32_t*, int32_t*) { return false; }

void TVelActionBase::Operacja(HORVDLLSRODOWISKO*, int, int)
{
    throw Exception(Txt("Urządzenie nie obsługuje zleconego typu operacji"));
}

AnsiString TVelActionBase::WlasciwosciUrzadzenia(int number)
{
    return (number == 1101 || number == 1103) ? "0" : "";
}

int TVelActionBase::IleMaxStawekKolejnych() { return 10; }

void TVelActionBase::DodajKomunikat(int kind, const AnsiString& text)
{
    if (FLibrary) FLibrary->DodajKomunikat(this, kind, text);
    FOstatniKomunikat = text;
    FStepIsLast = false;
}

AnsiString TVelActionBase::ZmienOstatniKomunikat(int kind, const AnsiString& text)
{
    AnsiString previous = FOstatniKomunikat;
    if (FLibrary) FLibrary->ZmienOstatniKomunikat(this, kind, text);
    FOstatniKomunikat = text;
    return previous;
}

AnsiString TVelActionBase::PodajOstatniKomunikat(bool cut) const
{
    if (!cut) return FOstatniKomunikat;
    const size_t mark = FOstatniKomunikat.find(kStateMark);
    return mark == AnsiString::npos ? FOstatniKomunikat : FOstatniKomunikat.substr(0, mark);
}

void TVelActionBase::MsgAdd(const AnsiString& text, LPVState state, int max)
{
    TStringList lines;
    lines.SetText(text);
    const int n = lines.Count();
    for (int i = 0; i < n; ++i) {
        const bool last = i == n - 1;
        AnsiString line = lines[i];
        int kind = zkNormalny;
        switch (state) {
            case LPV_Ok:
                if (last) line += AnsiString(1, kStateMark) + "OK";
                break;
            case LPV_Error: kind = zkBlad; break;
            case LPV_Warning: kind = zkOstrzezenie; break;
            case LPV_Percent:
                if (last) line += ":" + AnsiString(1, kStateMark) + "0 %";
                break;
            case LPV_Value:
                if (last) line += ":";
                line += AnsiString(1, kStateMark) + "0";
                break;
            case LPV_None: break;
        }
        DodajKomunikat(kind, line);
    }
    // A warning stands on its own: the step before it stays the step.
    if (n == 0 || state == LPV_Warning) return;
    FStepIsLast = true;
    FStep = {lines[n - 1], state, max < 1 ? 1 : max, 0, ++FSteps};
}

void TVelActionBase::MsgP(int value)
{
    if (FStep.number == 0 || value == FStep.progress) return;
    FStep.progress = value;
    if (FStep.state == LPV_Value)
        ShowStep(zkNormalny, FStep.text + ":" + AnsiString(1, kStateMark) + IntToStr(value));
    else if (FStep.state == LPV_Percent)
        ShowStep(zkNormalny, FStep.text + ":" + AnsiString(1, kStateMark) + Percent(value, FStep.max));
}

void TVelActionBase::MsgS(LPVState state)
{
    if (FStep.number == 0 || state == FStep.state) return;
    FStep.state = state;
    const AnsiString mark(1, kStateMark);
    switch (state) {
        case LPV_Ok:
            ShowStep(zkNormalny, FStep.text + mark + "OK");
            break;
        case LPV_Error:
            ShowStep(zkBlad, FStep.text);
            break;
        case LPV_Warning:
            ShowStep(zkOstrzezenie, FStep.text);
            break;
        case LPV_Percent:
            ShowStep(zkNormalny, FStep.text + ":" + mark + Percent(FStep.progress, FStep.max));
            break;
        case LPV_Value:
            ShowStep(zkNormalny, FStep.text + ":" + mark + IntToStr(FStep.progress));
            break;
        case LPV_None:
            ShowStep(zkNormalny, FStep.text);
            break;
    }
}

TVelActionBase::Step TVelActionBase::CurrentStep() const { return FStep; }

void TVelActionBase::ResumeStep(const Step& step)
{
    // Once another step was added, the host's last line is not this one's.
    if (FStep.number != step.number) FStepIsLast = false;
    FStep = step;
}

void TVelActionBase::ShowStep(int kind, const AnsiString& line)
{
    if (FStepIsLast) {
        ZmienOstatniKomunikat(kind, line);
        return;
    }
    DodajKomunikat(kind, line);
    FStepIsLast = true;
}

bool TVelActionBase::CzyPrzerwac() { return !FLibrary || FLibrary->CzyPrzerwac(this); }

void TVelActionBase::SprawdzCzyPrzerwac()
{
    if (CzyPrzerwac()) throw EAbort();
}

void TVelActionBase::OstatecznePrzechwycenieBledu(const AnsiString& operationName, const Exception* exception)
{
    AnsiString text;
    if (!exception) {
        text = Txt("Podczas wykonywania operacji '") + operationName + Txt("' wystąpił nierozpoznawalny błąd");
    } else if (dynamic_cast<const EAbort*>(exception)) {
        text = Txt("Operacja '") + operationName + Txt("' została przerwana");
    } else {
        text = Txt("Podczas wykonywania operacji '") + operationName + Txt("' wystąpił błąd:") + "\r\n";
        if (const auto* em = dynamic_cast<const EMException*>(exception)) {
            for (int i = 0; i < em->GetTopicCount(); ++i) {
                const EMTopic& topic = em->GetTopics(i);
                // The topic's code names the code that failed, for a
                // programmer: the user is shown what failed and why.
                text += topic.Title + "\r\n" + topic.Description + "\r\n";
            }
        } else {
            text += exception->Message();
        }
    }
    MsgAdd(text, LPV_Error, 100);
}

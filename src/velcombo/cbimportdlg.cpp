#include "cbimportdlg.h"

#include "VelActionBase.h"

namespace {
const char* kSection = "velcombo_fImportCombo";
const char* kOverwrite = "ComboImportOverWrite";
const char* kLogSave = "ComboImportLogSave";

AnsiString Flag(bool on) { return on ? "TRUE" : "FALSE"; }
}  // namespace

Tfrm_import::Tfrm_import(void*, const TMLgExtTools* lgTools) : FLgTools(lgTools)
{
    for (AnsiString* text : {&Caption, &KontynuujCaption, &RezygnujCaption, &RezygnujShortCut, &OverwriteCaption,
                             &LogFileCaption})
        *text = LgText(FLgTools, kSection, *text);
}

int Tfrm_import::Show(TVelActionBase* action)
{
    WczytajOpcje(action);
    const int result = ShowModal();
    if (result == mrOk) ZapiszOpcje();
    return result;
}

void Tfrm_import::WczytajOpcje(TVelActionBase* action)
{
    FAction = action;
    OverwriteChecked = action->WartoscParametru(kOverwrite) == "TRUE";
    LogFileChecked = action->WartoscParametru(kLogSave) == "TRUE";
}

void Tfrm_import::ZapiszOpcje()
{
    FAction->ZmienParametr(kOverwrite, Flag(OverwriteChecked));
    FAction->ZmienParametr(kLogSave, Flag(LogFileChecked));
}

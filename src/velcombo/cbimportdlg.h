// The options dialog of the goods import (the driver's window 6): whether
// the host may overwrite an article with the same code, and whether the
// import is logged to "import.log". This is its model; the view
// (cbimportdlgview.cpp) draws it and lets the user tick the boxes.
#pragma once

#include "mlgexttools.h"
#include "sysutils.h"

class TVelActionBase;

class Tfrm_import {
public:
    static constexpr int mrOk = 1;
    static constexpr int mrCancel = 2;

    Tfrm_import(void* owner, const TMLgExtTools* lgTools);
    virtual ~Tfrm_import() = default;

    // Ticks the boxes from the stored options, shows the form modally and,
    // when the user confirmed, stores the boxes; the modal result.
    int Show(TVelActionBase* action);
    // The boxes from the stored options: ticked only by the exact text "TRUE".
    void WczytajOpcje(TVelActionBase* action);
    // The boxes stored as "TRUE" or "FALSE" under the options' names.
    void ZapiszOpcje();

    // What the view shows and changes.
    AnsiString Caption = "Import towarów z kasy";
    AnsiString KontynuujCaption = "Kontynuuj";
    AnsiString KontynuujShortCut = "F2";
    AnsiString RezygnujCaption = "Rezygnuj";
    AnsiString RezygnujShortCut = "Esc";
    AnsiString OverwriteCaption = "Nadpisywać towary o takim samym kodzie";
    AnsiString LogFileCaption = "Tworzyć plik logu - 'import.log'";
    bool OverwriteChecked = false;
    bool LogFileChecked = true;

private:
    const TMLgExtTools* FLgTools;
    TVelActionBase* FAction = nullptr;

    // The form shown modally; mrOk for Kontynuuj, mrCancel otherwise.
    int ShowModal();
};

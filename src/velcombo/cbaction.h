// The Combo/NEO driver: its library object and its device action.
#pragma once

#include "VelAction.h"
#include "VelLib.h"

class TVelComboLibrary : public TVelLibrary {
public:
    explicit TVelComboLibrary(HORVCBARG1 arg1) : TVelLibrary(arg1) {}
    TVelActionBase* UtworzAkcje(HORVCBARG2 arg2) override;
    int PokazOkno(TVelActionBase* action, int window, bool flag, int32_t* code, char* text) override;
};

class TVelComboAction : public VelAction {
public:
    TVelComboAction(TVelComboLibrary* library, HORVCBARG2 call);
    ~TVelComboAction() override;

    AnsiString NazwaZasobuDzielonego() override;
    AnsiString WlasciwosciUrzadzenia(int number) override;
    int IleMaxStawekKolejnych() override { return 7; }
    AnsiString FNameLOG() const override { return FKatalogWymiany + "import.log"; }
    AnsiString FNameEXP() const { return FKatalogWymiany + "combo.exp"; }

protected:
    // The export buffer compares the host's prices at the action's level.
    friend class TVelComboExpBuf;

    int PoziomCen = 0;
};

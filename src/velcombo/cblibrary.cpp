// The library's face before and after registration: properties, window
// names, registration and the driver's windows.

#include "cbaction.h"
#include "LTools.h"
#include "cbcatalog.h"
#include "cbimportdlg.h"
#include "cbtexts.h"
#include "process_state.h"

AnsiString TVelLibrary::Wlasciwosci(int number)
{
    switch (number) {
        case 1: return "Norvik Combo, NEO";
        case 2: return "Vel_Combo";
        case 3:
            return "Combo wer. 1.01, 1.02, 1.03 (L EU)\nMobile HS EJ 1.01\nBingo HS EJ 4.02\nBingo XL HS EJ 1.01\n"
                   "NEO wer. 1.01, 1.02\nNEO EJ wer. 1.01\nNEO XL EJ 2.01\nNEO XL 3.01\nREVO 1.01\nREVO 1.02\n"
                   "Serwer Kasowy Norvik (SKP) wer. 1.0.206";
        case 102:
        case 103:
        case 104:
        case 105: return "1";
        default: return "";
    }
}

AnsiString TVelLibrary::OpisOkna(int window)
{
    static const char* const names[] = {"Tablica stawek VAT",         "Zerowanie sprzedaży",
                                        "Usuwanie wszystkich towarów", "Konfiguruj modem kasy",
                                        "Rozłącz modem",               "Raport komunikacji",
                                        "Import towarów do programu"};
    if (window < 0 || window > 6) return "";
    return ComboText(names[window]);
}

int TVelLibrary::Parametr(int group, int index, AnsiString& name, AnsiString& description, AnsiString& defaultValue,
                          AnsiString& minimum, AnsiString& maximum, int32_t& flag)
{
    return ComboParametr(group, index, name, description, defaultValue, minimum, maximum, flag, TLTools::WczytajSciezkeDoBinariow());
}

AnsiString TVelLibrary::TekstListyParametru(const AnsiString& name, int index)
{
    return ComboTekstListyParametru(name, index);
}

TVelLibrary* TVelLibrary::RejestrujBiblioteke(HORVCBARG1 host)
{
    return Issue(new TVelComboLibrary(host));
}

TVelActionBase* TVelComboLibrary::UtworzAkcje(HORVCBARG2 arg2) { return new TVelComboAction(this, arg2); }

int TVelComboLibrary::PokazOkno(TVelActionBase* action, int window, bool flag, int32_t* code, char* text)
{
    static const char* const services[] = {nullptr,
                                           "Zerowanie danych o sprzedaży",
                                           "Czyszczenie bazy towarów",
                                           "Konfiguracja modemu kasy",
                                           "Rozłączanie modemu",
                                           "Raport komunikacji",
                                           "Import towarów do programu"};
    if (window == 0) {
        action->WyswietlOknoStawekNaKasiePrec("A", flag, "");
        return 0;
    }
    if (window < 1 || window > 6) return 0;
    CopyTextResult(text, ComboText(services[window]));
    if (code) *code = window;
    if (window == 6) return Tfrm_import(nullptr, Process().DriverTextTool).Show(action) == Tfrm_import::mrOk ? 1 : 0;
    return 1;
}

// The library's face before and after registration: properties, window
// names, registration and the driver's windows.
#include <cstring>

#include "cbaction.h"
#include "LTools.h"
#include "cbcatalog.h"
#include "process_state.h"

namespace {
const char* kSection = "velcombo_cbaction";

AnsiString DriverText(const AnsiString& text) { return LgText(Process().DriverTextTool, kSection, text); }

// Copies a text into a host buffer of 301 bytes: at most 300 bytes, the rest zero.
void CopyToHost(char* buffer, const AnsiString& text)
{
    if (!buffer) return;
    std::strncpy(buffer, text.c_str(), ORV_TEXT_SIZE - 1);
    buffer[ORV_TEXT_SIZE - 1] = 0;
}
}  // namespace

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
    return DriverText(names[window]);
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
    auto* library = new TVelComboLibrary(host);
    Process().Library = library;
    Process().DriverTextTool = library->GetLgLink();
    return library;
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
    (void)action;
    (void)flag;
    if (window == 0) return 0;  // the VAT-rate window: a cancelled dialog until it lands
    if (window < 1 || window > 6) return 0;
    CopyToHost(text, DriverText(services[window]));
    if (code) *code = window;
    if (window == 6) return 0;  // the goods-import options: a cancelled dialog until it lands
    return 1;
}

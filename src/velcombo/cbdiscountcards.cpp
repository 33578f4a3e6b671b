// Discount cards for the card server: the card patterns of the driver's
// settings and the cards of the host's customers, in the input file the card
// server reads by itself. Nothing goes to the register.
#include <algorithm>
#include <climits>
#include <cmath>

#include "LJWords.h"
#include "VelExpBuf.h"
#include "cbaction.h"
#include "sysfiles.h"

namespace {
// Tabs and line ends would split the card server's fields and lines.
AnsiString FieldText(AnsiString text)
{
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
}

int32_t WholeDiscount(double discount)
{
    return static_cast<int32_t>(std::clamp(std::trunc(discount), double{INT32_MIN}, double{INT32_MAX}));
}
}  // namespace

AnsiString TVelComboAction::FNameSKPCard(bool working)
{
    AnsiString folder = ParamAsDir("ComboSkpDane");
    if (!EndsWithPathDelimiter(folder)) folder += "/";
    folder += "wejscie/" + IntToStr(FNrUrzadzenia - 1) + "/";
    return folder + (working ? "dcrd_in.tmp" : "dcrd_in.txt");
}

void TVelComboAction::SendDiscountCards()
{
    const int use = ParamAsInt("ComboSkpUse");
    const int toReb = ParamAsInt("ComboSkpAddToReb");
    const int toAddon = ParamAsInt("ComboSkpAddToAddon");
    if (use == 0) return;
    MsgAdd(DriverText("Programowanie kart rabatowych..."), LPV_None, 100);
    AnsiString text = Format("@%d\r\n@1\r\n@\r\n@\r\n", FNrUrzadzenia - 1);
    int lines = 0;

    TLJWords patterns;
    patterns.FSeparator = ",";
    patterns.Init(WartoscParametru("ComboSkpPatterns"));
    for (int i = 0; i < patterns.GetCount(); ++i) {
        const AnsiString pattern = Trim(patterns[i]);
        if (pattern.empty()) continue;
        TLJWords parts;
        parts.FSeparator = "/";
        parts.Init(pattern);
        const AnsiString prefix = FieldText(parts[0]);
        int32_t length = -1;
        if (!TryStrToInt(Trim(parts[1]), length)) length = -1;
        int32_t value = 0;
        bool valid = true;
        try {
            value = TLTools::Str2Int(Trim(parts[2]), 2);
        } catch (const Exception&) {
            valid = false;
        }
        if (prefix.empty() || prefix.size() > 16 || length < 0 || length > 50 || (value == 0 && length == 0))
            valid = false;
        if (!valid) {
            DodajKomunikat(zkOstrzezenie, DriverText("Nieprawidłowy wzorzec karty: ") + pattern);
            continue;
        }
        if (value == 0)
            text += Format("#!%s\t0\t%d\r\n", prefix.c_str(), length);
        else
            text += Format("#!%s\t0\t0\t0\twg wzorca: %s\t%d\t%d\t%d\r\n", prefix.c_str(), prefix.substr(0, 13).c_str(),
                           value, toAddon, toReb);
        ++lines;
    }

    VelKontrRec customer;
    for (int i = 0; i < exp_buf->CountKontrahents(); ++i) {
        exp_buf->CzytajRec(i, &customer);
        if (use == 1 && customer.KartaAktywna) continue;
        const AnsiString code = FieldText(TLTools::StrMax(customer.KodKarty, 16, false));
        const int inactive = customer.KartaAktywna ? 0 : 1;
        if (customer.RabatOdbiorcy != 0)
            text += Format("#%s\t%d\t0\t0\t%s\t%d\t%d\t%d\r\n", code.c_str(), inactive,
                           FieldText(TLTools::StrMax(customer.Nazwa, 24, true)).c_str(),
                           WholeDiscount(customer.RabatOdbiorcy), toAddon, toReb);
        else
            text += Format("#%s\t%d\t%d\r\n", code.c_str(), inactive, customer.PoziomRabatu);
        ++lines;
    }

    if (lines > 0) {
        const AnsiString path = FNameSKPCard(false);
        const AnsiString folder = ExtractFilePath(path);
        if (!ForceDirectories(folder))
            throw Exception(DriverText("Nie można utworzyć katalogu serwera kart ") + "\"" + folder + "\"");
        // Written whole under the working name first: the card server never
        // reads half a file.
        TLTools::BufToFileEx(text, path, FNameSKPCard(true), GetLgLink(), false);
    }
    MsgS(LPV_Ok);
}

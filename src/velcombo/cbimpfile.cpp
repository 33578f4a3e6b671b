// The lines of the intermediate sales file "combo.imp", each made from the
// register's answer in DataSet, and the header of its archive "arch.imp".
//
// Fields are separated by ";" and carry no quoting, so a text of the
// register never brings its own ";" or line end into a line: one odd name
// would shift the fields of its line and stop every later import at it.
#include "cbaction.h"

namespace {

AnsiString Field(const AnsiString& text)
{
    AnsiString clean;
    clean.reserve(text.size());
    for (char c : text) {
        if (c == ';') continue;
        clean += c == '\r' || c == '\n' ? ' ' : c;
    }
    return clean;
}

// The 17-digit form of a register date with hour and minute.
AnsiString Minutes(int year, int month, int day, int hour, int minute)
{
    return Format("%04d%02d%02d%02d%02d00000", year, month, day, hour, minute);
}

}  // namespace

// --- Sales statistics ----------------------------------------------------------

AnsiString TVelComboAction::ParsePluStatLine() const
{
    return Format("SPT;%d;%d;%d;%d;%02d-%02d-%04d\r\n", DataSet[0].AsV(), DataSet[1].AsN(), DataSet[2].AsN(),
                  DataSet[3].AsN(), DataSet[4].AsB(), DataSet[5].AsB(), DataSet[6].AsV());
}

AnsiString TVelComboAction::ParsePackStatLine() const
{
    return Format("SPO;%d;%d;%d;%d;%d;%d\r\n", DataSet[0].AsV(), DataSet[1].AsN(), DataSet[2].AsN(), DataSet[3].AsN(),
                  DataSet[4].AsN(), DataSet[5].AsN());
}

// --- Receipt records -----------------------------------------------------------

void TVelComboAction::Par_ParsePlu()
{
    const int type = DataSet[2].AsV();
    const AnsiString line = Format("P_PLU;%d;%d;%s;%s;%d;%d;%d\r\n", DataSet[3].AsB(), DataSet[4].AsV(),
                                   Field(DataSet[5].AsS()).c_str(), Field(DataSet[6].AsS()).c_str(), DataSet[7].AsN(),
                                   DataSet[8].AsN(), type >= 13 && type <= 15 ? 1 : 0);
    ReceiptLineToIMPFile(line, rp_Line);
}

void TVelComboAction::Par_ParseOpak()
{
    const AnsiString line = Format("P_OPA;%d;%d;%s;%d;%d\r\n", DataSet[2].AsV(), DataSet[3].AsV(),
                                   Field(DataSet[4].AsS()).c_str(), DataSet[5].AsN(), DataSet[6].AsN());
    ReceiptLineToIMPFile(line, rp_Line);
}

void TVelComboAction::Par_ParseAcceptTrn()
{
    // A Combo does not number its printouts.
    const int32_t printout = protType == pt_Combo ? -1 : static_cast<int32_t>(DataSet[14].AsL());
    const AnsiString line =
        Format("P_TRN;%d;%s;%s;%s;%d;%d;%d;%d\r\n", static_cast<int32_t>(DataSet[3].AsL()),
               Minutes(DataSet[6].AsV(), DataSet[5].AsB(), DataSet[4].AsB(), DataSet[7].AsB(), DataSet[8].AsB()).c_str(),
               Field(DataSet[9].AsS()).c_str(), Field(DataSet[10].AsS()).c_str(), DataSet[11].AsV(), DataSet[12].AsN(),
               DataSet[13].AsN(), printout);
    ReceiptLineToIMPFile(line, rp_Close);
}

void TVelComboAction::Par_ParseAnulTrn()
{
    const AnsiString line =
        Format("P_ANU;%s;%s;%s;%d;%d;%d;%d\r\n",
               Minutes(DataSet[5].AsV(), DataSet[4].AsB(), DataSet[3].AsB(), DataSet[6].AsB(), DataSet[7].AsB()).c_str(),
               Field(DataSet[8].AsS()).c_str(), Field(DataSet[9].AsS()).c_str(), DataSet[10].AsV(), DataSet[11].AsV(),
               DataSet[12].AsN(), DataSet[13].AsN());
    ReceiptLineToIMPFile(line, rp_Close);
}

void TVelComboAction::Par_ParseFormPl()
{
    const int type = DataSet[2].AsV();
    AnsiString description, registerNumber, cashierName;
    int cashier = -1;
    if (protType > pt_Neo && DataSet.Count() > 10) {
        description = Field(DataSet[7].AsS());
        registerNumber = Field(DataSet[8].AsS());
        cashierName = Field(DataSet[9].AsS());
        cashier = DataSet[10].AsV();
    }
    const AnsiString line =
        Format("P_PLA;%d;%d;%s;%d;%d;%s;%s;%s;%d\r\n", type, DataSet[3].AsV(), Field(DataSet[4].AsS()).c_str(),
               DataSet[5].AsB(), DataSet[6].AsN(), description.c_str(), registerNumber.c_str(), cashierName.c_str(),
               cashier);
    ReceiptLineToIMPFile(line, ReceiptPartOf("P_PLA", type));
}

void TVelComboAction::Par_ParseWaluta()
{
    const AnsiString line = Format("P_WAL;%d;%d;%s;%d;%d;%d\r\n", DataSet[2].AsV(), DataSet[3].AsV(),
                                   Field(DataSet[4].AsS()).c_str(), DataSet[5].AsN(), DataSet[6].AsN(), DataSet[7].AsN());
    ReceiptLineToIMPFile(line, rp_Line);
}

void TVelComboAction::Par_ParseRapfisk()
{
    AnsiString line = Format("P_FSK;%04d%02d%02d000000000;%d;", DataSet[5].AsV(), DataSet[4].AsB(), DataSet[3].AsB(),
                             DataSet[6].AsV());
    for (int total = 9; total <= 15; ++total) line += Format("%d;", DataSet[total].AsN());
    ReceiptLineToIMPFile(line + "\r\n", rp_Alone);
}

void TVelComboAction::Par_ParseRabat()
{
    const int type = DataSet[2].AsV();
    // Only a card discount names its card.
    const AnsiString card = type == 23 ? Field(DataSet[7].AsS()) : AnsiString();
    const AnsiString line = Format("P_RAB;%d;%s;%d;%d;%d;%s\r\n", type, Field(DataSet[3].AsS()).c_str(),
                                   DataSet[4].AsB(), DataSet[5].AsV(), DataSet[6].AsN(), card.c_str());
    ReceiptLineToIMPFile(line, rp_Line);
}

void TVelComboAction::Par_ParseZam()
{
    ReceiptLineToIMPFile(Format("P_ZAM;%d;%d;%s;%d;%s\r\n", DataSet[2].AsV(), DataSet[3].AsV(),
                                Field(DataSet[4].AsS()).c_str(), DataSet[5].AsN(), Field(DataSet[6].AsS()).c_str()),
                         rp_Alone);
}

// Goods, packages, payments, currencies and discounts belong to the receipt
// in progress, which its close or its cancellation ends (the cancelled
// receipt's lines go with it: carried on, they would become part of the next
// receipt). Pay-ins, pay-outs, daily reports and orders stand alone: carried
// on, they would be handed over a second time.
TVelComboAction::e_ReceiptPart TVelComboAction::ReceiptPartOf(std::string_view kind, int64_t type)
{
    if (kind == "P_TRN" || kind == "P_ANU") return rp_Close;
    if (kind == "P_PLA") return type == 4 || type == 5 ? rp_Alone : rp_Line;
    if (kind == "P_PLU" || kind == "P_OPA" || kind == "P_WAL" || kind == "P_RAB") return rp_Line;
    return rp_Alone;
}

// The first record of a run may be the one an earlier run read last without
// its confirmation being answered. Served again with the same line, the
// register never took that confirmation, and the line is in the files
// already: it is kept once. A different record means it was confirmed.
// (Two records with the same line in a row cannot be told apart this way:
// the second is then taken for the first served again.)
void TVelComboAction::ReceiptLineToIMPFile(const AnsiString& line, e_ReceiptPart part)
{
    Log("<-", line);
    const bool servedAgain = !receiptServedAgain.empty() && line == receiptServedAgain + "\r\n";
    receiptServedAgain.clear();
    if (!servedAgain) {
        LineToIMPFile(line);
        if (part == rp_Line) receiptTemp.Add(line);
        if (part == rp_Close) receiptTemp.Clear();
    }
    receiptDoubt = line.substr(0, line.size() - 2);
}

void TVelComboAction::RecordWithoutLine(int type)
{
    receiptServedAgain.clear();
    LineToIMPFile(kRecordWithoutLine + IntToStr(type) + "\r\n");
    receiptDoubt.clear();
}

// --- Cashier state -------------------------------------------------------------

AnsiString TVelComboAction::CompressedTime(int year, int month, int day, int hour, int minute, int second)
{
    return Format("%04d%02d%02d%02d%02d%02d000", year, month, day, hour, minute, second);
}

namespace {

// The register counts a login in seconds from 2000-01-01 00:00.
AnsiString LoginTime(uint32_t seconds)
{
    int year, month, day;
    DecodeDate(EncodeDate(2000, 1, 1) + static_cast<double>(seconds / 86400), year, month, day);
    const uint32_t time = seconds % 86400;
    return TVelComboAction::CompressedTime(year, month, day, static_cast<int>(time / 3600),
                                           static_cast<int>(time / 60 % 60), static_cast<int>(time % 60));
}

}  // namespace

void TVelComboAction::WriteCashierStatus(int cashier, const AnsiString& name, const AnsiString& now, int32_t euroRate)
{
    if (cashier == 0) {
        LineToIMPFile("KAS;0\r\n");
        return;
    }
    LineToIMPFile(Format("KAS;%d;%s;%d;%d;%s;%s;%d;%d;%d;%d;%d;%u;%u;%d;%u;%d\r\n", cashier, Field(name).c_str(),
                         DataSet[1].AsN(), DataSet[2].AsN(), LoginTime(DataSet[3].AsL()).c_str(), now.c_str(),
                         DataSet[6].AsN(), DataSet[7].AsN(), DataSet[8].AsN(), DataSet[9].AsN(), DataSet[10].AsN(),
                         DataSet[11].AsL(), DataSet[12].AsL(), DataSet[13].AsN(), DataSet[14].AsL(),
                         DataSet[15].AsN()));

    static const char* const names[] = {"Gotówka", "Karta płatnicza", "Euro", "Bon", "Czek", "Inna"};
    const int forms = DataSet[16].AsB();
    for (int i = 0; i < forms; ++i) {
        const int form = DataSet[18 + 2 * i].AsV();
        if (form < 1 || form > 6) continue;
        LineToIMPFile(Format("KPL;%d;%s;%d;%d\r\n", form, Field(DriverText(names[form - 1])).c_str(),
                             DataSet[19 + 2 * i].AsN(), form == 3 ? euroRate : 10000));
    }
}

// --- The archive's header ------------------------------------------------------

void TVelComboAction::SetStatFileHeader(AnsiString& text)
{
    static const char* const lines[] = {
        "#",
        "# SPT;<plu>;<wart_sprzed>;<il_sprzed>;<stan_mag>;<data_ost_sprz>",
        "# SPO;<nr_opak>;<il_sprzed>;<il_zwrot>;<wart_sprzed>;<wart_zwrot>;<stan_mag>",
        "# KAS;0 - jesli nikt nie jest zalogowany",
        "# KAS;<nr_kasjera>;<nazwisko>;<kw_rabatow>;<kw_narzutow>;<czas_zalogow>;<czas_biez>;<opak_sprz>;<opak_zwr>;"
        "<wplaty>;<wyplaty>;<sprzedaz>;<paragonow>;<il_par_anul>;<wart_par_anul>;<il_storno>;<wart_storno>",
        "# KPL;<nr_form_pl>;<nazwa>;<stan>;<kurs>",
        "# P_PLU;<vat>;<nr_plu>;<kod_kresk>;<nazwa>;<ilość>;<wartość_po_rab>;<storno>",
        "# P_OPA;<zwrot>;<nr_opak>;<kod_kresk>;<ilosc>;<wartosc>",
        "# P_TRN;<nr_par>;<data>;<nr_kasy>;<nazwa_kasjera>;<nr_kasjera>;<wart_fisk>;<wart_total>;<nr_wydruku>",
        "# P_ANU;<data>;<nr_kasy>;<nazwa_kasjera>;<nr_kasjera>;<nr_kasjera_autor>;<wart_fisk>;<wart_total>",
        "# P_PLA;<typ_oper>;<nr_fplatn>;<nazwa_fplatn>;<typ_fplatn>;<wart_fplatn>;<opis_wyplaty>;<numer_kasy>;"
        "<nazwa_kasjera>;<numer_kasjera>",
        "# P_WAL;<typ_oper>;<nr_rekordu>;<nazwa_wal>;<wart_PLN>;<wart_wal>;<kurs>",
        "# P_FSK;<data>;<nr_rapf>;<tot_A>;<tot_B>;<tot_C>;<tot_D>;<tot_E>;<tot_F>;<tot_G>",
        "# P_RAB;<typ_oper>;<nazwa_rab>;<typ_rab>;<nr_rab>;<wart_rab>;<kod_karty>",
        "# P_ZAM;<typ_oper>;<plu>;<kod>;<ilosc>;<opis>",
        "#",
    };
    text.clear();
    for (const char* line : lines) text += AnsiString(line) + "\r\n";
}

// The export buffer's tables, counters and lists.
#include "VelExpBuf.h"

#include <algorithm>
#include <cstring>

#include "KartaRab.h"
#include "VelAction.h"

namespace {
const char* const Section = "veltools_VelExpBuf";
}  // namespace

VelExpBuf::VelExpBuf(VelAction* action)
    : velaction(action), LgLink(action ? action->GetLgLink() : nullptr)
{
    Sorted = false;
}

VelExpBuf::~VelExpBuf() { Clear(); }

AnsiString VelExpBuf::Text(const char* key, const char* fallback) const
{
    return GetString(LgLink, Section, key, 0, fallback);
}

void VelExpBuf::Clear()
{
    ds_plu.clear();
    ds_inplu.clear();
    ds_index.clear();
    ds_asort.clear();
    ds_kontr.clear();
    stawki.Clear();
    stawkiPrec.Clear();
    jmiary.Clear();
    kasjerzy.clear();
    waluty.clear();
    il_rec = il_dod = il_akt = il_cen = il_usu = il_opak = 0;
    // The index is gone with the rows it pointed to.
    Sorted = false;
}

// --- Goods rows ----------------------------------------------------------------

VelTowRec& VelExpBuf::Rows::emplace_back()
{
    if (FSize == FBlocks.size() * Block) FBlocks.push_back(std::make_unique<VelTowRec[]>(Block));
    return (*this)[FSize++];
}

void VelExpBuf::Rows::push_back(const VelTowRec& rec)
{
    VelTowRec& row = emplace_back();
    try {
        row = rec;
    } catch (...) {
        pop_back();
        throw;
    }
}

void VelExpBuf::Rows::pop_back()
{
    back() = VelTowRec();
    --FSize;
}

void VelExpBuf::Rows::clear()
{
    FBlocks.clear();
    FSize = 0;
}

VelTowRec& VelExpBuf::Row(int row)
{
    if (row < 0 || static_cast<size_t>(row) >= ds_plu.size())
        throw Exception(Format("Nieprawidłowy numer wiersza towaru: %d", row));
    return ds_plu[static_cast<size_t>(row)];
}

const VelTowRec& VelExpBuf::Row(int row) const { return const_cast<VelExpBuf*>(this)->Row(row); }

void VelExpBuf::CountStatus(stTow status, int delta)
{
    switch (status) {
        case stDod: il_dod += delta; break;
        case stAkt: il_akt += delta; break;
        case stCen: il_cen += delta; break;
        case stUsu: il_usu += delta; break;
        case stNull: break;
    }
}

void VelExpBuf::DodajRec(const VelTowRec* rec)
{
    ds_plu.push_back(*rec);
    CountNewRow();
}

void VelExpBuf::CountNewRow()
{
    VelTowRec& row = ds_plu.back();
    row.nr_buf = static_cast<int32_t>(ds_plu.size() - 1);
    ++il_rec;
    CountStatus(row.status, 1);
    if (row.opakowanie) ++il_opak;
    if (row.tow_z_kontr) ++il_tow_z_kontr;
}

void VelExpBuf::CzytajRec(int row, VelTowRec* rec) const
{
    *rec = Row(row);
    rec->nr_buf = row;
}

void VelExpBuf::ZapiszRec(int row, const VelTowRec* rec)
{
    VelTowRec& stored = Row(row);
    const stTow old = stored.status;
    stored = *rec;
    CountStatus(old, -1);
    CountStatus(rec->status, 1);
}

size_t VelExpBuf::CzytajPluRec(int row, char* buffer, size_t size) const
{
    const AnsiString& text = Row(row).plu_rec;
    const size_t n = std::min(size, text.size());
    if (n > 0) std::memcpy(buffer, text.data(), n);
    return n;
}

void VelExpBuf::ResetFlags(bool value)
{
    for (size_t row = 0; row < ds_plu.size(); ++row) ds_plu[row].flag = value;
}

void VelExpBuf::SetTrOk(int row, bool value) { Row(row).tr_ok = value; }

int VelExpBuf::PluStatus(int row) const { return Row(row).status; }

void VelExpBuf::AddInPlu(const AnsiString& kod, const AnsiString& dodinfo) { ds_inplu.push_back({kod, dodinfo}); }

// --- Customers and groups ------------------------------------------------------

void VelExpBuf::DodajRec(const VelKontrRec* rec)
{
    ds_kontr.push_back(*rec);
    ds_kontr.back().nr_buf = static_cast<int32_t>(ds_kontr.size() - 1);
    ++il_kontr;
}

void VelExpBuf::CzytajRec(int row, VelKontrRec* rec) const
{
    if (row < 0 || row >= CountKontrahents())
        throw Exception(Format("Nieprawidłowy numer wiersza kontrahenta: %d", row));
    *rec = ds_kontr[static_cast<size_t>(row)];
    rec->nr_buf = row;
}

void VelExpBuf::DodajAsort(const VelAsort* rec) { ds_asort.push_back(*rec); }

void VelExpBuf::CzytajAsort(int row, VelAsort* rec) const
{
    if (row < 0 || row >= CountAsort()) throw Exception(Format("Nieprawidłowy numer wiersza grupy: %d", row));
    *rec = ds_asort[static_cast<size_t>(row)];
}

// --- Goods from customers' discount cards ------------------------------------------

int VelExpBuf::UtworzTowaryZKontrahentow(int przedrostek, const AnsiString& format, AnsiString& debug)
{
    // The conversion of so many customers is written out; more would only
    // hide the first ones in a long text.
    constexpr int kDebugCustomers = 3000;
    if (velaction)
        velaction->MsgAdd(Text("ufUtworzTovelactionMsgAdd", "Przygotowanie kart stałego klienta..."), LPV_Value, 100);
    try {
        debug = Text("VelExpBufUtworzTo_debug",
                     "----------- [DEBUG KONWERSJI DANYCH KONTRAHENTA NA KOD KARTY RABATOWEJ] ------------\r\n");
        VelKontrRec customer;
        VelTowRec tow;
        TKartaRab card;
        for (int i = 0; i < CountKontrahents(); ++i) {
            if (velaction && i % 100 == 0) velaction->MsgP(i);
            CzytajRec(i, &customer);
            tow.Clear();
            tow.nazwa = customer.Nazwa;
            card.Czysc();
            card.DataWaznosci = customer.TermWaznKarty;
            card.PoziomRabatu = customer.PoziomRabatu;
            card.KodKlienta = customer.KodKarty;
            tow.kod = card.Poskladaj(format, LgLink);
            if (i < kDebugCustomers)
                debug += Format(
                    "%2d(przedrostek) + %10s(termin ważn.) + %1d(poziom rab.) + %13s(kod karty) ---> %13s "
                    "(format)\r\n%92s%13s (kod po konwersji)\r\n",
                    card.Przedrostek, TdtTools(card.DataWaznosci).ToString(fmt4YDate).c_str(), card.PoziomRabatu,
                    card.KodKlienta.c_str(), format.c_str(), "", tow.kod.c_str());
            else if (i == kDebugCustomers)
                debug += Text("VelExpBufUtworzTo_debug_00001", "itd...\r\n");

            const int64_t plu = int64_t{customer.KontrId} + przedrostek;
            if (plu < INT32_MIN || plu > INT32_MAX)
                throw Exception(
                    Format("Numer PLU kontrahenta %d z przedrostkiem %d poza zakresem", customer.KontrId, przedrostek));
            tow.plu = static_cast<int32_t>(plu);
            tow.cena = tow.cena_hurt = tow.cena_noc = tow.cena_dod = customer.IloscPunktow * 100.0;
            tow.tow_z_kontr = true;
            // A card is sold in the first unit at the first rate the host listed.
            if (jmiary.Count() == 0 || stawki.Count() == 0)
                throw Exception(
                    Text("VelExpBufUtworzToExceptio", "Konwersja kontrahentów na towary - błąd stawki VAT"));
            tow.jedn = IdxJednId(0);
            tow.stawka = StrToIntDef(Trim(stawki[0]), 0);
            DodajRec(&tow);
        }
        if (velaction) velaction->MsgS(LPV_Ok);
    } catch (...) {
        if (velaction) velaction->MsgS(LPV_Error);
        throw;
    }
    return il_tow_z_kontr;
}

// --- Cashiers, currencies, units, rates ------------------------------------------

VelKasjer* VelExpBuf::GetKasjer(int i)
{
    if (i < 0 || i >= CountKasjer()) throw Exception(Text("VelExpBufGetKasjeExceptio", "Nieprawidłowy numer kasjera"));
    return kasjerzy[static_cast<size_t>(i)].get();
}

VelWaluta* VelExpBuf::GetWaluta(int i)
{
    if (i < 0 || i >= CountWaluta()) throw Exception(Text("VelExpBufGetWalutExceptio", "Nieprawidłowy numer waluty"));
    return waluty[static_cast<size_t>(i)].get();
}

TLJWords VelExpBuf::Jednostka(int i, const char* key) const
{
    if (i < 0 || i >= jmiary.Count()) throw Exception(Text(key, "Indeks jednostki miary poza zakresem"));
    return ExpWords(jmiary[i]);
}

int VelExpBuf::IdxJednId(int i) const { return StrToIntDef(Jednostka(i, "VelExpBufIdxJednIExceptio")[0], 1); }

int VelExpBuf::IdxJednPrec(int i) const { return StrToIntDef(Jednostka(i, "VelExpBufIdxJednPExceptio")[1], 0); }

AnsiString VelExpBuf::IdxJednNazwa(int i) const { return Jednostka(i, "VelExpBufIdxJednNExceptio")[2]; }

AnsiString VelExpBuf::NazwaJedn(int jedn) const
{
    for (int i = 0; i < jmiary.Count(); ++i)
        if (IdxJednId(i) == jedn) return IdxJednNazwa(i);
    return "szt.";
}

namespace {
int LastPlaceOf(const TStringList& rates, int rate)
{
    for (int i = rates.Count() - 1; i >= 0; --i) {
        int32_t value = 0;
        if (TryStrToInt(Trim(rates[i]), value) && value == rate) return i + 1;
    }
    return 0;
}
}  // namespace

int VelExpBuf::NumerStawki(int rate) const { return LastPlaceOf(stawki, rate); }

int VelExpBuf::NumerStawkiPrec(int rate) const { return LastPlaceOf(stawkiPrec, rate); }

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
    FLinie.clear();
    FLinieJednostek.clear();
    odrzucone.clear();
    ds_inplu.clear();
    FZalegle.clear();
    FUsuwanyDla.clear();
    FTakze.clear();
    FListaZKasy = false;
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

namespace {

// Every field of a goods record beside its place in a stored row: the numbers
// and flags through number(row's, record's), the texts in their fixed order
// through text(record's). The barcode comes first.
template <typename Row, typename Rec, typename Number, typename Text>
void EachField(Row& row, Rec& rec, Number number, Text text)
{
    number(row.plu, rec.plu);
    number(row.koldod, rec.koldod);
    number(row.cena, rec.cena);
    number(row.cena_hurt, rec.cena_hurt);
    number(row.cena_noc, rec.cena_noc);
    number(row.cena_dod, rec.cena_dod);
    number(row.stawka, rec.stawka);
    number(row.stawkaPrec, rec.stawkaPrec);
    number(row.jedn, rec.jedn);
    number(row.czy_wazony, rec.czy_wazony);
    number(row.precyzja, rec.precyzja);
    number(row.wagowo_ilosciowy, rec.wagowo_ilosciowy);
    number(row.opakowanie, rec.opakowanie);
    number(row.cena_otwarta, rec.cena_otwarta);
    number(row.plu_opakowania, rec.plu_opakowania);
    number(row.nr_asort, rec.nr_asort);
    number(row.status, rec.status);
    number(row.TerminW, rec.TerminW);
    number(row.poziom_cen, rec.poziom_cen);
    number(row.ile_w_kodzie, rec.ile_w_kodzie);
    number(row.dod_rabat_tow, rec.dod_rabat_tow);
    number(row.ile_jedn, rec.ile_jedn);
    number(row.nr_buf, rec.nr_buf);
    number(row.tr_ok, rec.tr_ok);
    number(row.flag, rec.flag);
    number(row.add_rec, rec.add_rec);
    number(row.org_status, rec.org_status);
    number(row.nr_src_buf, rec.nr_src_buf);
    number(row.from_ecr, rec.from_ecr);
    number(row.tow_z_kontr, rec.tow_z_kontr);
    text(rec.kod);
    text(rec.nazwa);
    text(rec.kod_opakowania);
    text(rec.opis1);
    text(rec.opis2);
    text(rec.opis3);
    text(rec.opis4);
    text(rec.PKWiU);
    text(rec.SWW);
    text(rec.nazwa_pelna);
    text(rec.plu_rec);
    text(rec.org_barcode);
}

// A text as a row keeps it: its length seven bits a byte (the high bit set
// on all but the last), then its bytes.
size_t TextRoom(const AnsiString& text)
{
    size_t room = text.size() + 1;
    for (size_t size = text.size(); size >= 0x80; size >>= 7) ++room;
    return room;
}

void PutText(char*& at, const AnsiString& text)
{
    size_t size = text.size();
    for (; size >= 0x80; size >>= 7) *at++ = static_cast<char>(size | 0x80);
    *at++ = static_cast<char>(size);
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    at += text.size();
}

std::string_view TakeText(const char*& at)
{
    size_t size = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*at++);
        size |= static_cast<size_t>(byte & 0x7F) << shift;
        if (byte < 0x80) break;
    }
    const std::string_view text(at, size);
    at += size;
    return text;
}

}  // namespace

std::string_view VelExpBuf::Rows::Row::Kod() const
{
    const char* at = texts.get();
    return TakeText(at);
}

void VelExpBuf::Rows::Write(Row& row, const VelTowRec& rec)
{
    // The barcode the host gave is as a rule the barcode itself, and is then
    // not kept twice: a long one would take its room twice over.
    const bool orgIsKod = rec.org_barcode == rec.kod;
    const AnsiString empty;
    auto kept = [&](const AnsiString& text) -> const AnsiString& {
        return orgIsKod && &text == &rec.org_barcode ? empty : text;
    };
    // The texts first: nothing of the row changes when their room cannot be
    // had. They are put straight into their room, which a long text alone
    // then takes once.
    size_t size = 0;
    auto none = [](auto&, const auto&) {};
    EachField(row, rec, none, [&](const AnsiString& text) { size += TextRoom(kept(text)); });
    bool same = row.texts && row.textSize == size;
    if (same) {
        const char* at = row.texts.get();
        EachField(row, rec, none, [&](const AnsiString& text) { same = same && TakeText(at) == kept(text); });
    }
    if (!same) {
        auto texts = std::make_unique_for_overwrite<char[]>(size);
        char* at = texts.get();
        EachField(row, rec, none, [&](const AnsiString& text) { PutText(at, kept(text)); });
        row.texts = std::move(texts);
        row.textSize = static_cast<uint32_t>(size);
    }
    EachField(row, rec, [](auto& stored, const auto& value) { stored = value; }, [](const AnsiString&) {});
    row.orgIsKod = orgIsKod;
}

void VelExpBuf::Rows::push_back(const VelTowRec& rec)
{
    if (FSize == FBlocks.size() * Block) FBlocks.push_back(std::make_unique<Row[]>(Block));
    Write((*this)[FSize], rec);
    ++FSize;
}

void VelExpBuf::Rows::clear()
{
    FBlocks.clear();
    FSize = 0;
}

void VelExpBuf::Rows::Read(const Row& row, VelTowRec& rec)
{
    const char* at = row.texts.get();
    EachField(row, rec, [](const auto& stored, auto& value) { value = stored; },
              [&at](AnsiString& text) { text.assign(TakeText(at)); });
    if (row.orgIsKod) rec.org_barcode = rec.kod;
}

VelExpBuf::Rows::Row& VelExpBuf::StoredRow(int row)
{
    if (row < 0 || static_cast<size_t>(row) >= ds_plu.size())
        throw Exception(Format("Nieprawidłowy numer wiersza towaru: %d", row));
    return ds_plu[static_cast<size_t>(row)];
}

const VelExpBuf::Rows::Row& VelExpBuf::StoredRow(int row) const { return const_cast<VelExpBuf*>(this)->StoredRow(row); }

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

void VelExpBuf::SetStatus(size_t row, stTow status)
{
    Rows::Row& stored = ds_plu[row];
    CountStatus(stored.status, -1);
    stored.status = status;
    CountStatus(status, 1);
}

void VelExpBuf::DodajRec(const VelTowRec* rec)
{
    ds_plu.push_back(*rec);
    CountNewRow();
}

void VelExpBuf::CountNewRow()
{
    Rows::Row& row = ds_plu.back();
    row.nr_buf = static_cast<int32_t>(ds_plu.size() - 1);
    ++il_rec;
    CountStatus(row.status, 1);
    if (row.opakowanie) ++il_opak;
    if (row.tow_z_kontr) ++il_tow_z_kontr;
}

void VelExpBuf::CzytajRec(int row, VelTowRec* rec) const
{
    Rows::Read(StoredRow(row), *rec);
    rec->nr_buf = row;
}

void VelExpBuf::ZapiszRec(int row, const VelTowRec* rec)
{
    Rows::Row& stored = StoredRow(row);
    const stTow old = stored.status;
    ds_plu.Write(stored, *rec);
    CountStatus(old, -1);
    CountStatus(rec->status, 1);
}

size_t VelExpBuf::CzytajPluRec(int row, char* buffer, size_t size) const
{
    VelTowRec rec;
    Rows::Read(StoredRow(row), rec);
    const AnsiString& text = rec.plu_rec;
    const size_t n = std::min(size, text.size());
    if (n > 0) std::memcpy(buffer, text.data(), n);
    return n;
}

void VelExpBuf::ResetFlags(bool value)
{
    for (size_t row = 0; row < ds_plu.size(); ++row) ds_plu[row].flag = value;
}

void VelExpBuf::SetTrOk(int row, bool value) { StoredRow(row).tr_ok = value; }

int VelExpBuf::PluStatus(int row) const { return StoredRow(row).status; }

namespace {
int LineOf(const std::vector<int32_t>& lines, int i)
{
    return i >= 0 && static_cast<size_t>(i) < lines.size() ? lines[static_cast<size_t>(i)] : 0;
}
}  // namespace

int VelExpBuf::LiniaPliku(int row) const
{
    return LineOf(FLinie, row);
}

AnsiString VelExpBuf::OpisLinii(int row) const
{
    return Text("ufReadFromRejectedLine", "linia ") + IntToStr(LiniaPliku(row)) +
           Text("ufReadFromLineError_00001", " pliku ") + FPlik + ": ";
}

const VelExpBuf::Odrzucony& VelExpBuf::OdrzucWiersz(int row, const AnsiString& powod)
{
    VelTowRec rec;
    CzytajRec(row, &rec);
    SetStatus(static_cast<size_t>(row), stNull);
    odrzucone.push_back({rec.OpisOdrzuconego(), OpisLinii(row) + powod});
    return odrzucone.back();
}

int VelExpBuf::LiniaJednostki(int i) const
{
    return LineOf(FLinieJednostek, i);
}

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

// The intermediate file parsed into one import buffer per sales day, and each
// day written, archived and handed to the host.
//
// Totals mode takes the sales from the statistics lines into one buffer of
// the import date; receipt mode takes them from the receipts, each into the
// buffer of the day it closed. A receipt counts only once its close line is
// read: a receipt cancelled as a whole, or one cut off at the end of the
// file, leaves nothing behind. In receipt mode only what belongs to a day
// makes one (a closed receipt, a pay-in, pay-out or cancellation, the
// cashier lines): a file without such lines hands no day over; in totals
// mode a file without any line of the register hands none over either.
#include <optional>

#include "cbaction.h"
#include "cbtexts.h"
#include "mfile.h"
#include "sysfiles.h"

// The open "combo.imp" while it is parsed (the reading held by the pass, or
// one opened for the parse alone), its lines counted so that a bad line is
// named, and the one splitter its lines go through.
struct TVelComboAction::ImpFileReader {
    TMFile own;
    TMFile* file = &own;
    int lineNo = 0;
    TLJWords words;

    ImpFileReader() { words.FSeparator = ";"; }
    bool Next(std::string_view& line)
    {
        if (!file->ReadLine(line)) return false;
        ++lineNo;
        return true;
    }
};

namespace {

std::string_view TrimView(std::string_view text)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// Lines every reader of the driver's files passes over.
bool IsSkipped(std::string_view line)
{
    const std::string_view t = TrimView(line);
    return t.empty() || t[0] == '#' || t[0] == '-';
}

bool IsReceiptKind(std::string_view kind) { return kind.substr(0, 2) == "P_"; }

}  // namespace

// One line of "combo.imp" split at ";" by the pass's splitter (valid until
// the next line), with readers that name the line and the field when a field
// does not hold what it must.
struct TVelComboAction::ImpLine {
    TLJWords& words;
    int lineNo = 0;

    ImpLine(TLJWords& splitter, std::string_view line, int number) : words(splitter), lineNo(number)
    {
        words.Init(line);
    }
    std::string_view Kind() { return TrimView(words.View(0)); }
    AnsiString Text(int i) { return AnsiString(words.View(i)); }
    AnsiString Trimmed(int i) { return AnsiString(TrimView(words.View(i))); }
    // Every number of this file comes from a 32-bit field of the register:
    // a larger one is no line the driver wrote, and must not wrap into
    // another amount.
    int32_t Int(int i)
    {
        const std::string_view text = TrimView(words.View(i));
        const std::optional<int64_t> value = Parse(text);
        if (!value) Bad(i, text, "nie jest liczbą");
        return InRange(i, text, *value);
    }
    // The number with its sign turned, where it goes into a field of the same size.
    int32_t Negated(int i) { return InRange(i, TrimView(words.View(i)), -static_cast<int64_t>(Int(i))); }
    // A field that may hold something else than a number: the fallback then.
    int32_t IntOr(int i, int32_t fallback)
    {
        const std::string_view text = TrimView(words.View(i));
        const std::optional<int64_t> value = Parse(text);
        return value ? InRange(i, text, *value) : fallback;
    }
    TdtTools Date(int i)
    {
        TdtTools date(0.0);
        const std::string_view text = TrimView(words.View(i));
        if (!date.TryFromString(AnsiString(text), fmtDateTimeCompressed)) Bad(i, text, "nie jest datą i czasem");
        return date;
    }
    [[noreturn]] void Bad(int field, std::string_view text, const char* what) const
    {
        throw Exception(Format("Plik combo.imp, wiersz %d, pole %d: \"%s\" %s", lineNo, field,
                               AnsiString(text).c_str(), what));
    }

private:
    // A whole number's value (past what 64 bits hold, kept just past 32
    // bits); none for a text that is not one.
    static std::optional<int64_t> Parse(std::string_view text)
    {
        const bool negative = !text.empty() && text[0] == '-';
        if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
        if (text.empty()) return std::nullopt;
        int64_t value = 0;
        for (char c : text) {
            if (c < '0' || c > '9') return std::nullopt;
            if (value <= INT64_C(0xFFFFFFFF)) value = value * 10 + (c - '0');
        }
        return negative ? -value : value;
    }
    int32_t InRange(int field, std::string_view text, int64_t value) const
    {
        if (value < INT32_MIN || value > INT32_MAX) Bad(field, text, "jest poza zakresem liczby 32-bitowej");
        return static_cast<int32_t>(value);
    }
};

void TVelComboAction::ReadFromFile()
{
    TKodWazony formats(GetFormatyWazone());
    if (!cardPatternKnown) CardPatternFromConfig();
    if (!Sprzedaz_z_paragonow) PodstawImpBuf(ParamAsDate("DataImportu"));
    MsgAdd(DriverText("Analiza pliku combo.imp..."), LPV_Value, 100);
    ImpFileReader reader;
    if (f_combo)
        reader.file = f_combo.get();
    else {
        reader.own.SetPath(impPath);
        reader.own.SetReadOnly(true);
    }
    int counter = 0;
    parRecordsRead = false;
    parCarryText.clear();
    parCarryDoubt.clear();
    parSetAside = 0;
    parHandedOver.clear();
    parUnnotedDays.clear();
    parOrdersKept = false;
    parReadingId.clear();
    parOrderRecords = 0;
    parArchived = false;
    parLastHandedOver = LastReceiptHandedOver();
    try {
        if (reader.file == &reader.own)
            reader.own.Open();
        else
            reader.file->SetPointer(0);
        std::string_view text;
        while (reader.Next(text)) {
            if (IsSkipped(text)) {
                NoteMarker(AnsiString(text));
                continue;
            }
            Progress(counter);
            ImpLine line(reader.words, text, reader.lineNo);
            const std::string_view kind = line.Kind();
            if (kind == "SPT") {
                if (!Sprzedaz_z_paragonow)
                    imp_buf->AddPlu(line.Trimmed(1), static_cast<double>(line.Int(3)),
                                    static_cast<double>(line.Int(2)), id_plu);
            } else if (kind == "SPO") {
                if (!Sprzedaz_z_paragonow) {
                    const double sold = static_cast<double>(line.Int(4));
                    const double returned = static_cast<double>(line.Int(5));
                    imp_buf->AddPlu(line.Trimmed(1), static_cast<double>(int64_t{line.Int(2)} - line.Int(3)), sold - returned,
                                    id_barcode);
                    if (sold != 0) imp_buf->AddBottlesSaled(sold);
                    if (returned != 0) imp_buf->AddBottlesTurned(returned);
                }
            } else if (IsReceiptKind(kind)) {
                ReadParagsFromFile(formats, &line);
                NoteReceiptLine(text, line);
            } else if (kind == "KAS") {
                if (!imp_buf) PodstawImpBuf(ParamAsDate("DataImportu"));
                const int32_t number = static_cast<int32_t>(line.Int(1));
                imp_buf->Kas_SetNumer(number);
                if (number != 0) {
                    imp_buf->Kas_SetNazwisko(line.Text(2));
                    imp_buf->Kas_SetZmstart(line.Date(5));
                    imp_buf->Kas_SetBiez(line.Date(6));
                    imp_buf->Kas_SetParagonow(static_cast<int32_t>(line.Int(12)));
                    imp_buf->Kas_SetIlParAnulowanych(static_cast<int32_t>(line.Int(13)));
                    imp_buf->Kas_SetWartParAnulowanych(static_cast<double>(line.Int(14)));
                    imp_buf->Kas_SetIlStorno(static_cast<int32_t>(line.Int(15)));
                    imp_buf->Kas_SetWartStorno(static_cast<double>(line.Int(16)));
                }
                imp_buf->Kas_ActiveKasjerSection();
            } else if (kind == "KPL") {
                if (!imp_buf) PodstawImpBuf(ParamAsDate("DataImportu"));
                const int64_t amount = line.Int(3);
                const auto held = static_cast<double>(amount);
                switch (line.Int(1)) {
                    case 1:
                        imp_buf->Kas_SetStankasy(held);
                        break;
                    case 2:
                        imp_buf->Kas_SetKarty(held);
                        break;
                    case 3: {
                        const int64_t rate = line.Int(4);
                        const auto value = static_cast<double>(static_cast<__int128>(amount) * rate / 10000);
                        imp_buf->Kas_AddWaluta("EUR", static_cast<double>(rate), held, value);
                        break;
                    }
                    case 4:
                        imp_buf->Kas_SetBony(held);
                        break;
                    case 5:
                        imp_buf->Kas_SetCzeki(held);
                        break;
                    case 6:
                        imp_buf->Kas_SetInnefplat(held);
                        break;
                    default:
                        break;
                }
            }
        }
        ReadParagsFromFile(formats, nullptr);
        // A reading without a line of the register (a run refused before it
        // read anything) is no sales day, in totals mode either.
        if (counter == 0) DeleteImpBufs();
        MsgS(LPV_Ok);
        reader.own.Close();
    } catch (...) {
        MsgS(LPV_Error);
        parReceipt.reset();
        parOthers.clear();
        throw;
    }
}

// The notes of the file (see kRecordsStart and kDayHandedOver). A receipt
// still open at the end of the file (its close not read yet) and the record
// in doubt go on to the next run, but only from a file that holds a reading
// of receipt records: one cut off before that holds at most part of the
// receipt carried in, and "receipt.tmp" still has the whole of it.
void TVelComboAction::NoteMarker(const AnsiString& line)
{
    auto after = [&line](const char* marker) -> std::optional<AnsiString> {
        if (!line.starts_with(marker)) return std::nullopt;
        return line.substr(std::char_traits<char>::length(marker));
    };
    if (const auto doubt = after(kRecordsStart)) {
        parRecordsRead = true;
        parCarryDoubt = *doubt;
    } else if (line == kNothingInDoubt || after(kRecordWithoutLine)) {
        parCarryDoubt.clear();
    } else if (const auto day = after(kDayHandedOver)) {
        parHandedOver.insert(StrToIntDef(day->substr(0, day->find(';')), 0));
    } else if (const auto id = after(kReadingId)) {
        parReadingId = *id;
    } else if (line == kOrdersKept) {
        parOrdersKept = true;
    } else if (line == kArchived) {
        parArchived = true;
    } else if (line == kReadingComplete) {
        passOrdersWait = false;
    }
}

// A note of the save for a later pass over the same file. The sales are with
// the host already: a note that cannot be written only warns, and the pass
// goes on to remove the file, so that no later pass needs the note.
bool TVelComboAction::MarkIMPFile(const AnsiString& note)
{
    try {
        AppendNote(note);
        return true;
    } catch (const Exception& e) {
        MsgAdd(e.Message(), LPV_Warning, 100);
        return false;
    }
}

void TVelComboAction::NoteReceiptLine(std::string_view text, ImpLine& line)
{
    const std::string_view kind = line.Kind();
    switch (ReceiptPartOf(kind, kind == "P_PLA" ? line.IntOr(1, -1) : -1)) {
        case rp_Line:
            parCarryText.append(text).append("\r\n");
            break;
        case rp_Close:
            parCarryText.clear();
            break;
        case rp_Alone:
            break;
    }
    parCarryDoubt = text;
}

void TVelComboAction::PodstawImpBuf(const TdtTools& date)
{
    const TDateTime day = date.Date();
    for (const std::unique_ptr<VelImpBuf>& buffer : imp_bufs)
        if (buffer->data.Date() == day) {
            imp_buf = buffer.get();
            return;
        }
    imp_bufs.push_back(std::make_unique<VelImpBuf>());
    imp_buf = imp_bufs.back().get();
    imp_buf->data = date;
    SetImpBufParams();
}

void TVelComboAction::SetImpBufParams()
{
    imp_buf->fisk_z_plu = true;
    imp_buf->nadpisz_fisk = false;
    imp_buf->nadpisz_opak = false;
    imp_buf->nadpisz_plu = false;
    imp_buf->doklej_plu = ParamAsInt("ComboDokPlu") != 0;
    imp_buf->ident_barcode = true;
    imp_buf->par_szczeg = ParamAsInt("ComboImpReceipts") != 0;
    imp_buf->sprzedaz_z_paragonow = Sprzedaz_z_paragonow;
}

// A receipt's day is on its close line; what stood alone before it goes
// with it, into the same day.
void TVelComboAction::SearchForImpBufDate(ImpLine& line)
{
    if (Sprzedaz_z_paragonow) PodstawImpBuf(line.Date(2));
    if (!imp_buf) PodstawImpBuf(ParamAsDate("DataImportu"));
}

namespace {

formy PaymentKind(int64_t form)
{
    switch (form) {
        case 1:
            return FP_GOT;
        case 2:
            return FP_KARTA;
        case 4:
            return FP_BON;
        case 5:
            return FP_CZEK;
        default:
            return FP__INNE;
    }
}

std::unique_ptr<ORVPayment> ClosingPayment(int64_t value, TDateTime when)
{
    auto payment = std::make_unique<ORVPayment>();
    payment->Fwartosc = value;
    payment->Fkurs = 100;
    payment->Fkonczaca = true;
    payment->Fdata_czas = when;
    return payment;
}

}  // namespace

void TVelComboAction::ReadParagsFromFile(TKodWazony& formats, ImpLine* line)
{
    if (!line) {
        parReceipt.reset();
        CommitOthers();
        return;
    }
    if (!parReceipt) {
        parReceipt = std::make_unique<ReceiptInProgress>();
        parReceipt->receipt = std::make_unique<ORVParagon>();
    }
    ORVParagon& receipt = *parReceipt->receipt;
    const std::string_view kind = line->Kind();
    if (kind == "P_PLU") {
        auto position = std::make_unique<ORVPosition>();
        if (towIdParag == id_Plu)
            position->Fplu = static_cast<int32_t>(line->Int(2));
        else
            position->Fkod = FormatujBarkodKodZBufparKasy(formats, line->Trimmed(3));
        position->Filosc = static_cast<int32_t>(line->Int(5));
        position->Fwartosc = line->Int(6);
        if (line->Int(7) == 1) {
            if (!parReceipt->cancelled) parReceipt->cancelled = std::make_unique<ORVOther>();
            parReceipt->cancelled->Add(std::move(position));
        } else {
            receipt + std::move(position);
        }
    } else if (kind == "P_OPA") {
        auto position = std::make_unique<ORVPosition>();
        position->Fkod = IntToStr(line->Int(2));
        const bool returned = line->Int(1) != 0;
        position->FTyp = returned ? ptBottleReturn : ptBottleSale;
        position->Filosc = returned ? line->Negated(4) : line->Int(4);
        position->Fwartosc = returned ? -int64_t{line->Int(5)} : line->Int(5);
        receipt + std::move(position);
    } else if (kind == "P_RAB") {
        const int64_t type = line->Int(1);
        const int32_t value = line->Negated(5);
        if (type == 21) {
            if (receipt.GetnPosCount() > 0) receipt.GetPozycje(receipt.GetnPosCount() - 1).Frabat = value;
            parReceipt->discounts += value;
        } else if (type == 22 || type == 23) {
            receipt.Frabat = value;
            receipt.FnrKlienta = ParseDiscountCardCode(line->Trimmed(6));
            if (!Sprzedaz_z_paragonow) parReceipt->discounts += value;
        }
    } else if (kind == "P_PLA") {
        const int64_t type = line->Int(1);
        if (type == 2 || type == 3) {
            auto payment = std::make_unique<ORVPayment>();
            const formy form = PaymentKind(line->Int(2));
            payment->Fkod = form;
            payment->Frodzaj = form;
            payment->Fwartosc = type == 3 ? -int64_t{line->Int(5)} : line->Int(5);
            payment->Fkurs = 100;
            receipt + std::move(payment);
        } else if ((type == 4 || type == 5) && line->Int(2) == 1) {
            const int64_t value = line->Int(5);
            PendingOther pending{nullptr, type == 4 ? static_cast<double>(value) : 0.0,
                                 type == 5 ? static_cast<double>(value) : 0.0};
            const int64_t cashier = line->IntOr(9, -1);
            if (cashier != -1) {
                pending.other = std::make_unique<ORVOther>();
                pending.other->typOperacji = type == 4 ? op_wpl : op_wypl;
                pending.other->nrKasjera = static_cast<int32_t>(cashier);
                auto payment = ClosingPayment(value, pending.other->dataCzas.Value());
                payment->Frodzaj = FP_GOT;
                pending.other->Add(std::move(payment));
            }
            parOthers.push_back(std::move(pending));
        }
    } else if (kind == "P_WAL") {
        const int64_t type = line->Int(1);
        if (type == 6 || type == 7) {
            auto payment = std::make_unique<ORVPayment>();
            payment->Fkod = FP__INNE;
            payment->Frodzaj = FP__INNE;
            payment->Fwartosc = type == 6 ? line->Int(5) : -int64_t{line->Int(5)};
            // At the full rate, like every other payment: a receipt's
            // payments count in the day's totals through its own rate.
            payment->Fkurs = 100;
            payment->Fkod_f_plat_ext = 7;
            payment->Fkod_waluty = line->Int(2) == 3 ? AnsiString("EUR") : line->Text(3);
            payment->Fkurs_prec = static_cast<int32_t>(line->Int(6));
            payment->Fwartosc_pln = type == 6 ? line->Int(4) : line->Negated(4);
            receipt + std::move(payment);
        }
    } else if (kind == "P_ANU") {
        auto other = std::make_unique<ORVOther>();
        other->typOperacji = op_anul;
        other->dataCzas = line->Date(1);
        other->nrKasy = static_cast<int32_t>(line->IntOr(2, -1));
        other->nrKasjera = static_cast<int32_t>(line->Int(4));
        other->Add(ClosingPayment(line->Int(7), other->dataCzas.Value()));
        parOthers.push_back({std::move(other), 0, 0});
        // The cancelled receipt's lines go with it.
        parReceipt.reset();
    } else if (kind == "P_TRN") {
        SearchForImpBufDate(*line);
        CloseReceipt(*line);
    } else if (kind == "P_ZAM") {
        ++parOrderRecords;
        const int64_t type = line->Int(1);
        if (type == 32)
            AddToZamEDIDoc(line->Text(5), line->Text(3), static_cast<int>(line->Int(4)));
        else if (type == 33)
            CorrectZamEDIDoc(line->Text(5), line->Text(3), static_cast<int>(line->Int(4)));
    }
}

void TVelComboAction::CloseReceipt(ImpLine& line)
{
    std::unique_ptr<ReceiptInProgress> closing = std::move(parReceipt);
    ORVParagon& receipt = *closing->receipt;
    receipt.FnrPar = static_cast<int32_t>(line.Int(1));
    const TdtTools when = line.Date(2);
    receipt.Fdata_czas = when.Value();
    receipt.FnrKasy = static_cast<int32_t>(line.IntOr(3, -1));
    receipt.FnrKasjera = static_cast<int32_t>(line.Int(5));
    receipt.FnrTrans = static_cast<int32_t>(line.IntOr(8, -1));
    receipt.FwoDetails = false;

    // A receipt the host already has comes again after a re-read: on a
    // register that numbers its printouts, its number tells.
    // So were the pay-ins, pay-outs and cancellations read before it.
    if (Sprzedaz_z_paragonow && receipt.FnrTrans != -1 && receipt.FnrTrans <= parLastHandedOver) {
        parOthers.clear();
        ++parSetAside;
        return;
    }
    CommitOthers();

    for (int i = 0; i < receipt.GetnPosCount(); ++i) receipt.GetPozycje(i).Fdata_czas = receipt.Fdata_czas;
    for (int i = 0; i < receipt.GetnPaymentCount(); ++i) receipt.GetPlatnosci(i).Fdata_czas = receipt.Fdata_czas;
    if (receipt.GetnPaymentCount() > 0) receipt.GetPlatnosci(receipt.GetnPaymentCount() - 1).Fkonczaca = true;

    const int lines = receipt.GetnPosCount();
    imp_buf->AddLiniaPar(lines);
    imp_buf->AddDiscount(closing->discounts, false);
    if (!Sprzedaz_z_paragonow) {
        for (int i = 0; i < receipt.GetnPaymentCount(); ++i) {
            const ORVPayment& payment = receipt.GetPlatnosci(i);
            const auto value = static_cast<double>(payment.Fwartosc);
            switch (payment.Frodzaj) {
                case FP_BON:
                    imp_buf->AddBony(value);
                    break;
                case FP_CZEK:
                    imp_buf->AddCzeki(value);
                    break;
                case FP_KARTA:
                    imp_buf->AddKarty(value);
                    break;
                case FP__INNE:
                    imp_buf->AddInne(value);
                    break;
                default:
                    break;
            }
        }
    }
    int hour = 0, minute = 0, second = 0, ms = 0;
    DecodeTime(receipt.Fdata_czas, hour, minute, second, ms);
    const int32_t number = receipt.FnrTrans;
    const int32_t par = receipt.FnrPar;
    const int32_t cashier = receipt.FnrKasjera;
    const int32_t till = receipt.FnrKasy;
    imp_buf->AddKoszyk(1);
    imp_buf->AddReceipt(std::move(closing->receipt));

    if (closing->cancelled) {
        ORVOther& other = *closing->cancelled;
        other.typOperacji = op_storno;
        other.nrTrans = IntToStr(number);
        other.nrPar = IntToStr(par);
        other.nrKasjera = cashier;
        other.nrKasy = till;
        other.dataCzas = when;
        int64_t sum = 0;
        for (int i = 0; i < other.GetPozycjeTowCount(); ++i) {
            other.GetPozycjeTow(i).Fdata_czas = when.Value();
            sum += other.GetPozycjeTow(i).Fwartosc;
        }
        other.Add(ClosingPayment(sum, when.Value()));
        imp_buf->AddReceiptOtherInfo(std::move(closing->cancelled));
    }
    if (!Sprzedaz_z_paragonow) imp_buf->AddGodzinowy(hour, static_cast<double>(line.Int(7)), 1, lines);
}

void TVelComboAction::CommitOthers()
{
    if (parOthers.empty()) return;
    if (!imp_buf) PodstawImpBuf(ParamAsDate("DataImportu"));
    for (PendingOther& pending : parOthers) {
        imp_buf->AddPayIn(pending.payIn);
        imp_buf->AddPayOut(pending.payOut);
        if (pending.other) imp_buf->AddReceiptOtherInfo(std::move(pending.other));
    }
    parOthers.clear();
}

AnsiString TVelComboAction::FormatujBarkodKodZBufparKasy(TKodWazony& formats, const AnsiString& code)
{
    const AnsiString incomplete = formats.NormalizujNiepelny(code, GetLgLink());
    if (incomplete != code) return incomplete;
    const int32_t number = StrToIntDef(code, -1);
    if (KwKodPocz <= number && number <= KwKodKonc && !KwFormat.empty()) {
        AnsiString format = KwFormat;
        formats.Przedrostek = KwFormat.substr(0, 2);
        formats.KodZZerami = code;
        format.replace(0, 2, "xx");
        return formats.Poskladaj(format, GetLgLink());
    }
    return formats.NormalizujPelny(code, GetLgLink());
}

int32_t TVelComboAction::LastReceiptHandedOver()
{
    return std::max(ParamAsInt("ComboLastReceipt"), lastReceiptThisRun);
}

void TVelComboAction::SaveImpBufs()
{
    const int32_t last = parLastHandedOver;
    int32_t newest = 0;
    int day = 0;
    for (const std::unique_ptr<VelImpBuf>& buffer : imp_bufs) {
        imp_buf = buffer.get();
        ++day;
        // Days go over in the order of their first line, not of their
        // dates: the number kept never goes back to an older receipt's.
        if (const std::optional<int32_t> trans = imp_buf->LastReceiptTrans()) newest = std::max(newest, *trans);
        // An earlier pass over this file handed the day over before it was
        // cut short (the host refused a later day, or its process ended).
        if (parHandedOver.count(day)) continue;
        // A receipt without a printout number (-1) says nothing of what the
        // host has: it never lowers the number handed over.
        const bool handsOver = newest > last || !Sprzedaz_z_paragonow;
        if (handsOver) imp_buf->AddParameter("ComboLastReceipt", IntToStr(newest));
        imp_buf->Save(FNameKIMP(), false);
        if (!FileExists(FNameKTMP())) CopyFile(FNameKIMP(), FNameKTMP(), false);
        TLTools::ArchiveFile(FNameKIMP(), FNameKARC(), GetLgLink(), false, 0, true, "");
        ShowTotalValue(imp_buf);
        DodajKomunikat(zkNormalny, DriverText("Zapis do bazy ") + imp_buf->data.ToString(fmtDate) + " (" +
                                       imp_buf->data.DayOfWeekNamePl() + "):");
        ZapiszKasaImp();
        if (handsOver) lastReceiptThisRun = std::max(lastReceiptThisRun, newest);
        if (!MarkIMPFile(kDayHandedOver + IntToStr(day) + ";" + imp_buf->data.ToString(fmtDate)))
            parUnnotedDays.push_back(imp_buf->data.ToString(fmtDate));
    }
    // A register whose printout numbers began again lower would lose every
    // receipt to the guard, so the user is told. A leftover file parsed
    // again after the host refused a day meets the guard as it should.
    if (parFromRegister && parSetAside > 0)
        DodajKomunikat(zkOstrzezenie, Format(DriverText("Pominięto paragonów: %d - ich numery wydruku nie są większe "
                                                        "niż numer ostatniego przekazanego paragonu "
                                                        "(ComboLastReceipt = %d)")
                                                 .c_str(),
                                             parSetAside, last));
    // What goes on to the next run is safe before "combo.imp" goes.
    if (parRecordsRead) WriteReceiptCarry(parCarryText, parCarryDoubt, false);
    KeepOrdersOfPass();
    if (!parArchived) {
        // The archive takes the file by its name: not someone else's file
        // put under it meanwhile (the pass ends putting the reading back).
        // Whether it is still the reading is its identity's to say, whatever
        // write to it failed.
        if (!ReadingInPlace() && !PutBackOverItsCopy(DriverText("przed archiwizacją odczytu")))
            throw Exception(DriverText("Plik ") + impPath + DriverText(" zniknął przed archiwizacją odczytu"));
        if (!FileExists(FNameARC())) {
            AnsiString header;
            SetStatFileHeader(header);
            TLTools::BufToAppendFile(header, FNameARC());
        }
        TLTools::ArchiveFile(impPath, FNameARC(), GetLgLink(), false, 0, true, "");
        MarkIMPFile(kArchived);
    }
    // A file that stays would take in the next reading (see Import); one put
    // in its place meanwhile is someone else's, and stays for the next run,
    // unless it is a copy of this reading.
    if (ReadingInPlace() || CopyUnderItsName()) RemoveExchangeFile(impPath);
    DeleteFile(FNameKTMP());
}

// Receipts are found by the printout and receipt numbers the host keeps
// under these two parameters.
bool TVelComboAction::JakSzukacParagonu(int32_t* a, int32_t* b, int32_t* c)
{
    auto number = [this](const char* name) {
        const int32_t value = StrToIntDef(Trim(WartoscParametru(name)), -1);
        return value == 0 ? -1 : value;
    };
    *b = -1;
    *a = number("ComboNrWydr");
    *c = number("ComboNrParag");
    return true;
}

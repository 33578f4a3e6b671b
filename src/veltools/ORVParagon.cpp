#include "ORVParagon.h"

#include <charconv>
#include <cstring>
#include <ostream>
#include <string_view>

#include "mfile.h"

namespace {

AnsiString Compressed(TDateTime value)
{
    return TdtTools(value).ToString(fmtDateTimeCompressed);
}

// A block's text as it is formatted: bytes gather in a small buffer of
// their own and join the text a record at a time, as a dozen small appends
// to a long text for each record cost more than the formatting itself.
// Nothing reaches the text before Done.
class BlockText {
public:
    explicit BlockText(AnsiString& text) : FText(text) {}
    BlockText& operator<<(std::string_view bytes)
    {
        if (bytes.size() > Room()) {
            Done();
            if (bytes.size() > sizeof FBytes) {
                FText.append(bytes);
                return *this;
            }
        }
        std::memcpy(FEnd, bytes.data(), bytes.size());
        FEnd += bytes.size();
        return *this;
    }
    BlockText& operator<<(char c)
    {
        if (Room() == 0) Done();
        *FEnd++ = c;
        return *this;
    }
    BlockText& operator<<(int64_t value)
    {
        if (Room() < 20) Done();
        FEnd = std::to_chars(FEnd, FBytes + sizeof FBytes, value).ptr;
        return *this;
    }
    // A number the register did not give is an empty field, not "-1".
    BlockText& UnlessUnset(int32_t value) { return value == -1 ? *this : *this << int64_t{value}; }
    void Done()
    {
        FText.append(FBytes, FEnd);
        FEnd = FBytes;
    }

private:
    size_t Room() const { return static_cast<size_t>(FBytes + sizeof FBytes - FEnd); }
    AnsiString& FText;
    char FBytes[256];
    char* FEnd = FBytes;
};

// The 17-digit dates of a block's records: each date is formatted once and
// given again for the records that follow with the same one, which in a
// receipt is nearly all of them.
class RecordDates {
public:
    const AnsiString& Of(TDateTime value)
    {
        if (FText.empty() || value != FValue) {
            FValue = value;
            FText = Compressed(value);
        }
        return FText;
    }

private:
    TDateTime FValue = 0;
    AnsiString FText;
};

// An item's "ZAW;" record and a payment's "PMT;" record, each with its date
// as text already.
void AppendPosition(BlockText& out, const ORVPosition& p, const AnsiString& date)
{
    out << "ZAW;";
    out.UnlessUnset(p.Fplu) << ';' << p.Fkod;
    for (const int64_t number : {int64_t{p.Filosc}, p.Fwartosc, int64_t{p.Frabat}, int64_t{p.FnrParagonu}})
        out << ';' << number;
    out << ';' << date << '\n';
}

void AppendPayment(BlockText& out, const ORVPayment& p, const AnsiString& date)
{
    out << "PMT;" << int64_t{p.Fkod};
    for (const int64_t number :
         {p.Fwartosc, int64_t{p.Fkurs}, int64_t{p.FnrDokWplaty}, int64_t{p.Ftransfer}, int64_t{p.Frodzaj}})
        out << ';' << number;
    out << (p.Fkonczaca ? ";1;" : ";0;") << (p.Fterminowa ? "1;" : "0;") << p.Ftytul << ';' << date;
    if (p.Fkod_f_plat_ext != -1)
        out << ';' << int64_t{p.Fkod_f_plat_ext} << ';' << p.Fkod_waluty << ';' << int64_t{p.Fkurs_prec} << ';'
            << int64_t{p.Fwartosc_pln};
    out << '\n';
}

// The fields of a head line after its tag, separated by ';'. Receipts and
// other operations share the order: transaction, receipt, counts of items and
// payments, cashier, register, customer, discount code, date, discount, shift.
class HeadFields {
public:
    explicit HeadFields(BlockText& out) : FOut(out) {}
    HeadFields& Text(std::string_view text)
    {
        Separate() << text;
        return *this;
    }
    HeadFields& Number(int64_t value)
    {
        Separate() << value;
        return *this;
    }
    HeadFields& UnlessUnset(int32_t value)
    {
        Separate().UnlessUnset(value);
        return *this;
    }

private:
    BlockText& Separate()
    {
        if (!FFirst) FOut << ';';
        FFirst = false;
        return FOut;
    }
    BlockText& FOut;
    bool FFirst = true;
};

}  // namespace

AnsiString ORVPosition::ToString() const
{
    AnsiString line;
    BlockText out(line);
    AppendPosition(out, *this, Compressed(Fdata_czas));
    out.Done();
    return line;
}

AnsiString ORVPayment::ToString() const
{
    AnsiString line;
    BlockText out(line);
    AppendPayment(out, *this, Compressed(Fdata_czas));
    out.Done();
    return line;
}

TMFile& operator<<(TMFile& file, const ORVPosition& position)
{
    file.WriteLine(position.ToString(), "");
    return file;
}

TMFile& operator<<(TMFile& file, const ORVPayment& payment)
{
    file.WriteLine(payment.ToString(), "");
    return file;
}

void ORVParagon::ProcessFirstPosition(ORVPosition& position)
{
    if (FnrPar == -1) FnrPar = position.FnrParagonu;
    if (Fdata_czas == 0) Fdata_czas = position.Fdata_czas;
}

ORVParagon& ORVParagon::operator+(std::unique_ptr<ORVPosition> position)
{
    ProcessEachPosition(*position);
    // Room for a common receipt's items at once rather than grown step by
    // step; an import buffer frees the receipt as it takes it, for the next
    // receipt to have the same room again.
    if (Fpos.empty()) Fpos.reserve(8);
    Fpos.push_back(std::move(*position));
    if (Fpos.size() == 1) ProcessFirstPosition(Fpos.front());
    return *this;
}

ORVParagon& ORVParagon::operator+(std::unique_ptr<ORVPayment> payment)
{
    ProcessEachPayment(*payment);
    if (Fpymnt.empty()) Fpymnt.reserve(2);
    Fpymnt.push_back(std::move(*payment));
    if (Fpymnt.size() == 1) ProcessFirstPayment(Fpymnt.front());
    return *this;
}

void ORVParagon::operator>>(TMFile& file)
{
    file << *this;
}

void ORVParagon::AppendBlock(AnsiString& text)
{
    RecordDates dates;
    BlockText out(text);
    // The head has no length limit: a long customer text must not cut off
    // the line end and run the head into the first item.
    out << "\r\n[Paragon nr " << int64_t{FnrPar} << "]\r\n" << (FwoDetails ? "VelK;" : "TRN;");
    HeadFields(out)
        .Number(FnrTrans)
        .Number(FnrPar)
        .Number(GetnPosCount())
        .Number(GetnPaymentCount())
        .UnlessUnset(FnrKasjera)
        .UnlessUnset(FnrKasy)
        .Text(FnrKlienta)
        .UnlessUnset(FkodRabatu)
        .Text(dates.Of(Fdata_czas))
        .Number(Frabat)
        .Number(FnrZmiany);
    out << "\r\n";
    if (!FwoDetails)
        for (const ORVPosition& position : Fpos) AppendPosition(out, position, dates.Of(position.Fdata_czas));
    for (ORVPayment& payment : Fpymnt) {
        if (&payment == &Fpymnt.back()) payment.Fkonczaca = true;
        AppendPayment(out, payment, dates.Of(payment.Fdata_czas));
    }
    out.Done();
}

TMFile& operator<<(TMFile& file, ORVParagon& receipt)
{
    AnsiString block;
    receipt.AppendBlock(block);
    file.Write(block.data(), static_cast<int64_t>(block.size()));
    return file;
}

void ORVOther::Add(std::unique_ptr<ORVPosition> position)
{
    pozycjeTow.push_back(std::move(position));
}

void ORVOther::Add(std::unique_ptr<ORVPayment> payment)
{
    platnosci.push_back(std::move(payment));
}

AnsiString ORVOther::ToString() const
{
    static const char* const tags[] = {"OP_WPL;", "OP_WYPL;", "OP_STORNO;", "OP_ANUL;", "OP_OTW_ZW;", "OP_ZAMK_ZM;"};
    RecordDates dates;
    AnsiString text;
    BlockText out(text);
    out << "\n[INNA_OPER]\n";
    if (typOperacji >= op_wpl && typOperacji <= op_zamk_zm) out << tags[typOperacji];
    HeadFields(out)
        .Text(nrTrans)
        .Text(nrPar)
        .Number(GetPozycjeTowCount())
        .Number(GetPaymentCount())
        .Number(nrKasjera)
        .Number(nrKasy)
        .Text("")
        .Text("0")
        .Text(dates.Of(dataCzas.Value()))
        .Text("")
        .Text(nrZmiany);
    out << "\r\n";
    for (const auto& position : pozycjeTow) AppendPosition(out, *position, dates.Of(position->Fdata_czas));
    for (const auto& payment : platnosci) AppendPayment(out, *payment, dates.Of(payment->Fdata_czas));
    out.Done();
    return text;
}

void ORVOther::operator>>(TMFile& file) const
{
    file.WriteLine(ToString(), "");
}

void ORVOther::operator>>(std::ostream& stream) const
{
    const AnsiString text = ToString();
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!stream) throw Exception("Błąd zapisu operacji kasjera do strumienia");
}

#include "ORVParagon.h"

#include <charconv>
#include <ostream>

#include "mfile.h"

namespace {

AnsiString Compressed(TDateTime value)
{
    return TdtTools(value).ToString(fmtDateTimeCompressed);
}

void AppendInt(AnsiString& out, int64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// A number the register did not give is an empty field, not "-1".
void AppendUnlessUnset(AnsiString& out, int32_t value)
{
    if (value != -1) AppendInt(out, value);
}

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
void AppendPosition(AnsiString& out, const ORVPosition& p, const AnsiString& date)
{
    out += "ZAW;";
    AppendUnlessUnset(out, p.Fplu);
    out += ';';
    out += p.Fkod;
    for (const int64_t number : {int64_t{p.Filosc}, p.Fwartosc, int64_t{p.Frabat}, int64_t{p.FnrParagonu}}) {
        out += ';';
        AppendInt(out, number);
    }
    out += ';';
    out += date;
    out += '\n';
}

void AppendPayment(AnsiString& out, const ORVPayment& p, const AnsiString& date)
{
    out += "PMT;";
    AppendInt(out, p.Fkod);
    for (const int64_t number :
         {p.Fwartosc, int64_t{p.Fkurs}, int64_t{p.FnrDokWplaty}, int64_t{p.Ftransfer}, int64_t{p.Frodzaj}}) {
        out += ';';
        AppendInt(out, number);
    }
    out += p.Fkonczaca ? ";1;" : ";0;";
    out += p.Fterminowa ? "1;" : "0;";
    out += p.Ftytul;
    out += ';';
    out += date;
    if (p.Fkod_f_plat_ext != -1) {
        out += ';';
        AppendInt(out, p.Fkod_f_plat_ext);
        out += ';';
        out += p.Fkod_waluty;
        out += ';';
        AppendInt(out, p.Fkurs_prec);
        out += ';';
        AppendInt(out, p.Fwartosc_pln);
    }
    out += '\n';
}

// The fields of a head line after its tag, separated by ';'. Receipts and
// other operations share the order: transaction, receipt, counts of items and
// payments, cashier, register, customer, discount code, date, discount, shift.
AnsiString HeadFields(std::initializer_list<AnsiString> fields)
{
    AnsiString line;
    bool first = true;
    for (const AnsiString& field : fields) {
        if (!first) line += ';';
        line += field;
        first = false;
    }
    return line;
}

AnsiString UnlessUnset(int32_t value)
{
    AnsiString text;
    AppendUnlessUnset(text, value);
    return text;
}

}  // namespace

AnsiString ORVPosition::ToString() const
{
    AnsiString line;
    AppendPosition(line, *this, Compressed(Fdata_czas));
    return line;
}

AnsiString ORVPayment::ToString() const
{
    AnsiString line;
    AppendPayment(line, *this, Compressed(Fdata_czas));
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
    Fpos.push_back(std::move(position));
    if (Fpos.size() == 1) ProcessFirstPosition(*Fpos.front());
    return *this;
}

ORVParagon& ORVParagon::operator+(std::unique_ptr<ORVPayment> payment)
{
    ProcessEachPayment(*payment);
    Fpymnt.push_back(std::move(payment));
    if (Fpymnt.size() == 1) ProcessFirstPayment(*Fpymnt.front());
    return *this;
}

void ORVParagon::operator>>(TMFile& file)
{
    file << *this;
}

TMFile& operator<<(TMFile& file, ORVParagon& receipt)
{
    RecordDates dates;
    // The head has no length limit: a long customer text must not cut off
    // the line end and run the head into the first item.
    AnsiString block =
        "\r\n[Paragon nr " + IntToStr(receipt.FnrPar) + "]\r\n" + (receipt.FwoDetails ? "VelK;" : "TRN;") +
        HeadFields({IntToStr(receipt.FnrTrans), IntToStr(receipt.FnrPar), IntToStr(receipt.GetnPosCount()),
                    IntToStr(receipt.GetnPaymentCount()), UnlessUnset(receipt.FnrKasjera), UnlessUnset(receipt.FnrKasy),
                    receipt.FnrKlienta, UnlessUnset(receipt.FkodRabatu), dates.Of(receipt.Fdata_czas),
                    IntToStr(receipt.Frabat), IntToStr(receipt.FnrZmiany)}) +
        "\r\n";
    if (!receipt.FwoDetails)
        for (int i = 0; i < receipt.GetnPosCount(); ++i) {
            const ORVPosition& position = receipt.GetPozycje(i);
            AppendPosition(block, position, dates.Of(position.Fdata_czas));
        }
    const int payments = receipt.GetnPaymentCount();
    for (int i = 0; i < payments; ++i) {
        ORVPayment& payment = receipt.GetPlatnosci(i);
        if (i == payments - 1) payment.Fkonczaca = true;
        AppendPayment(block, payment, dates.Of(payment.Fdata_czas));
    }
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
    AnsiString text = "\n[INNA_OPER]\n";
    if (typOperacji >= op_wpl && typOperacji <= op_zamk_zm) text += tags[typOperacji];
    text += HeadFields({nrTrans, nrPar, IntToStr(GetPozycjeTowCount()), IntToStr(GetPaymentCount()),
                        IntToStr(nrKasjera), IntToStr(nrKasy), "", "0", dates.Of(dataCzas.Value()), "", nrZmiany}) +
            "\r\n";
    for (const auto& position : pozycjeTow) AppendPosition(text, *position, dates.Of(position->Fdata_czas));
    for (const auto& payment : platnosci) AppendPayment(text, *payment, dates.Of(payment->Fdata_czas));
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

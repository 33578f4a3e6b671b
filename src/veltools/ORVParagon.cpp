#include "ORVParagon.h"

#include <ostream>

#include "mfile.h"

namespace {

AnsiString Compressed(TDateTime value)
{
    return TdtTools(value).ToString(fmtDateTimeCompressed);
}

// A number the register did not give is an empty field, not "-1".
AnsiString UnlessUnset(int32_t value)
{
    return value == -1 ? AnsiString() : IntToStr(value);
}

AnsiString Flag(bool value)
{
    return value ? "1" : "0";
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

}  // namespace

AnsiString ORVPosition::ToString() const
{
    return "ZAW;" + UnlessUnset(Fplu) + ";" + Fkod + ";" + IntToStr(Filosc) + ";" + IntToStr(Fwartosc) + ";" +
           IntToStr(Frabat) + ";" + IntToStr(FnrParagonu) + ";" + Compressed(Fdata_czas) + "\n";
}

AnsiString ORVPayment::ToString() const
{
    AnsiString line = "PMT;" + IntToStr(Fkod) + ";" + IntToStr(Fwartosc) + ";" + IntToStr(Fkurs) + ";" +
                      IntToStr(FnrDokWplaty) + ";" + IntToStr(Ftransfer) + ";" + IntToStr(Frodzaj) + ";" +
                      Flag(Fkonczaca) + ";" + Flag(Fterminowa) + ";" + Ftytul + ";" + Compressed(Fdata_czas);
    if (Fkod_f_plat_ext != -1)
        line += ";" + IntToStr(Fkod_f_plat_ext) + ";" + Fkod_waluty + ";" + IntToStr(Fkurs_prec) + ";" +
                IntToStr(Fwartosc_pln);
    return line + "\n";
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
    // The head has no length limit: a long customer text must not cut off
    // the line end and run the head into the first item.
    const AnsiString head =
        "\r\n[Paragon nr " + IntToStr(receipt.FnrPar) + "]\r\n" + (receipt.FwoDetails ? "VelK;" : "TRN;") +
        HeadFields({IntToStr(receipt.FnrTrans), IntToStr(receipt.FnrPar), IntToStr(receipt.GetnPosCount()),
                    IntToStr(receipt.GetnPaymentCount()), UnlessUnset(receipt.FnrKasjera), UnlessUnset(receipt.FnrKasy),
                    receipt.FnrKlienta, UnlessUnset(receipt.FkodRabatu), Compressed(receipt.Fdata_czas),
                    IntToStr(receipt.Frabat), IntToStr(receipt.FnrZmiany)}) +
        "\r\n";
    file.WriteLine(head, "");
    if (!receipt.FwoDetails)
        for (int i = 0; i < receipt.GetnPosCount(); ++i) file << receipt.GetPozycje(i);
    const int payments = receipt.GetnPaymentCount();
    for (int i = 0; i < payments; ++i) {
        ORVPayment& payment = receipt.GetPlatnosci(i);
        if (i == payments - 1) payment.Fkonczaca = true;
        file << payment;
    }
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
    AnsiString text = "\n[INNA_OPER]\n";
    if (typOperacji >= op_wpl && typOperacji <= op_zamk_zm) text += tags[typOperacji];
    text +=
        HeadFields({nrTrans, nrPar, IntToStr(GetPozycjeTowCount()), IntToStr(GetPaymentCount()), IntToStr(nrKasjera),
                    IntToStr(nrKasy), "", "0", dataCzas.ToString(fmtDateTimeCompressed), "", nrZmiany}) +
        "\r\n";
    for (const auto& position : pozycjeTow) text += position->ToString();
    for (const auto& payment : platnosci) text += payment->ToString();
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

// The host's import file of one sale date: sections of goods, parameters,
// hours, currencies, finances, cashier state and flags, then the receipts.
// Amounts are whole units as the register gives them (grosze), so they are
// written without decimals.
#include "LTools.h"
#include "VelImpBuf.h"
#include "mfile.h"
#include "sysfiles.h"

namespace {

constexpr size_t SaveBufferBytes = 1 << 16;

AnsiString Amount(double value)
{
    return Format("%.0Lf", static_cast<long double>(value));
}

}  // namespace

void VelImpBuf::Save(const AnsiString& path, bool strip)
{
    // The new file is complete before it takes the old one's place, so its
    // lines may gather in memory and go out in large writes: a failure on
    // the way leaves the old file as it was and nothing else.
    const AnsiString work = WorkingFileName(path);
    try {
        TMFile file;
        file.SetPath(work);
        file.SetReadOnly(false);
        file.SetWriteBuffer(SaveBufferBytes);
        file.Open();
        file.SetPointer(0);
        file.SetEof();
        WriteToFile(file, strip);
        file.Close();
        TLTools::RenFile(work, path, nullptr);
    } catch (...) {
        DeleteFile(work);
        throw;
    }
}

void VelImpBuf::WritePluSection(TMFile& file, bool strip)
{
    for (const PluRow& row : ds_plu) {
        if (row.save != 0 && row.quantity != 0) {
            const e_identifier identifier = Resolved(row.identifier);
            AnsiString plu, barcode;
            if (identifier == id_barcode) {
                barcode = strip ? TLTools::BezZerWiodacych(row.plu, 1) : row.plu;
            } else if (identifier == id_plu) {
                plu = row.plu;
            } else {
                throw Exception("VelExpBuf::WriteToFile() - nieprawidłowy ident");
            }
            file.WriteLine("PLU;" + plu + ";" + barcode + ";" + Amount(row.quantity) + ";" + Amount(row.value));
        }
    }
}

void VelImpBuf::WriteWymiany(TMFile& file) const
{
    for (int i = 0; i < FWymiany.Count(); ++i) file.WriteLine("WALUTA;" + FWymiany.GetTexts(i));
}

void VelImpBuf::WriteToFile(TMFile& file, bool strip)
{
    auto section = [&file](const char* head) { file.WriteLine(AnsiString("\r\n") + head); };

    file.WriteLine("[TOWAROWE]");
    WritePluSection(file, strip);

    section("[OPERACJE]");
    for (const AnsiString& entry : FParametry) {
        AnsiString line = "KASPAR;" + entry;
        for (char& c : line)
            if (c == '=') c = ';';
        file.WriteLine(line);
    }

    section("[RAPORT_GODZINOWY]");
    for (int h = 0; h < 24; ++h)
        if (godzinowy[h] != 0)
            file.WriteLine(Format("GODZ;%d;%.0Lf;%d;%d", h, static_cast<long double>(godzinowy[h]), godz_ilkoszykow[h],
                                  godz_il_liniipar[h]));

    section("[RAPORT_WALUTOWY]");
    WriteWymiany(file);

    section("[FINANSOWE]");
    if (!fisk_z_plu)
        for (const TaxRow& row : ds_tax)
            file.WriteLine("VAT;" + IntToStr(row.taxno) + ";" + Amount(row.netto) + ";" + Amount(row.vat) + ";" +
                           Amount(row.brutto));
    file.WriteLine("WPLATY;" + Amount(payin));
    file.WriteLine("WYPLATY;" + Amount(payout));
    file.WriteLine("RABATY;" + Amount(discount));
    file.WriteLine("ZWROT_OPAKOWAN;" + Amount(bottles_turned));
    file.WriteLine("SPRZEDAZ_OPAKOWAN;" + Amount(bottles_saled));
    file.WriteLine("FPLATN_BON;" + Amount(fp_bony));
    file.WriteLine("FPLATN_CZEK;" + Amount(fp_czeki));
    file.WriteLine("FPLATN_KARTA;" + Amount(fp_karty));
    file.WriteLine("FPLATN_INNE;" + Amount(fp_inne));
    file.WriteLine("IL_KOSZYKOW;" + IntToStr(il_koszykow));
    file.WriteLine("IL_LINII_PAR;" + IntToStr(il_linii_par));

    if (kas_active) MakeStanKasyStr();
    if (!StanKasyStr.empty()) {
        section("[STAN_KASY]");
        AnsiString block = StanKasyStr;
        while (!block.empty() && (block.back() == '\r' || block.back() == '\n')) block.pop_back();
        file.WriteLine(block);
    }

    section("[FLAGI]");
    file.WriteLine("DATA_SPRZEDAZY;" + data.ToString(fmtDateTimeCompressed));
    auto flag = [&file](const char* name, bool value) { file.WriteLine(AnsiString(name) + ";" + (value ? "T" : "N")); };
    flag("FISK_Z_PLU", fisk_z_plu);
    flag("NADPISZ_FISK", nadpisz_fisk);
    flag("NADPISZ_OPAK", nadpisz_opak);
    flag("PODSUMUJ_OPAK", podsumuj_opak);
    flag("NADPISZ_PLU", nadpisz_plu);
    flag("DOKLEJ_PLU", doklej_plu);

    if (par_szczeg)
        for (const AnsiString& blocks : FReceiptBlocks) file.Write(blocks.data(), static_cast<int64_t>(blocks.size()));
    FReceiptBlocks.clear();
    FLastReceiptTrans.reset();
    for (auto& other : FReceiptsOther) {
        if (!other) continue;
        if (par_szczeg) *other >> file;
        other.reset();
    }
}

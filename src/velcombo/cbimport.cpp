// The import run (operations -3 and -6): a leftover intermediate file is
// handed over first, the register's sales are read into a fresh "combo.imp",
// and that is parsed into day buffers and handed to the host.
//
// No sale may be lost or handed over twice, whatever fails and whenever:
// "combo.imp" is written line by line and deleted only after every day was
// handed over, so a failed run leaves it for the next one; a receipt cut off
// by a failure is dropped from it by the parser and lives on in
// "receipt.tmp" until the next run reads receipts again.
#include "cbaction.h"

#include "sysfiles.h"

namespace {

bool IsSpillLine(const AnsiString& line)
{
    const AnsiString trimmed = Trim(line);
    return !trimmed.empty() && trimmed[0] != '#' && trimmed[0] != '-';
}

const char* const kFirstLineRepeated = "FIRST_LINE_REPEATED";

AnsiString MessageOf(const std::exception& e)
{
    const auto* framework = dynamic_cast<const Exception*>(&e);
    return framework ? framework->Message() : AnsiString(e.what());
}

}  // namespace

void TVelComboAction::Import()
{
    imp_buf = nullptr;
    ediLines.Clear();
    receiptTemp.Clear();
    receiptSpillWaiting = false;
    receiptSpill.Clear();
    try {
        if (Medium == md_file) {
            if (!FileExists(FNameIMP()))
                throw Exception(DriverText("Ustawione złącze na PLIK, a brak pliku combo.imp!"));
            ImportFromFile();
        } else {
            if (FileExists(FNameIMP())) {
                MsgAdd(DriverText("Import z zaległego pliku combo.imp! Coś się nie udało przy ostatnim imporcie!"),
                       LPV_Warning, 100);
                ImportFromFile();
            }
            OpenPort();
            ReadSalesToIMPFile();
            if (FileExists(FNameIMP())) ImportFromFile();
        }
    } catch (...) {
        ClosePortAfterFailure();
        DeleteImpBufs();
        throw;
    }
    ClosePort();
    DeleteImpBufs();
}

void TVelComboAction::ReadSalesToIMPFile()
{
    try {
        OpenIMPFile();
        if (!CheckNumber()) throw Exception(DriverText("Niezgodny numer urządzenia!"));
        if (ParamAsInt("ComboFiscalReport") != 0) DoFiscalReport();
        ReadPluSale(rs_Plu);
        ReadPluSale(rs_Pack);
        ReadDiscountCardCfg();
        const bool keepsReceipts = protType != pt_Mobile && protType != pt_MobileHS && protType != pt_Bingo &&
                                   protType != pt_BingoHS && protType != pt_BingoHS2;
        if (keepsReceipts) {
            AddReceiptPositions();
            ReadParags();
        }
        ReadCashierStatus();
        CloseIMPFile();
    } catch (const std::exception& e) {
        MsgAdd(MessageOf(e), LPV_Error, 100);
        CloseIMPFile();
        // The spill's own failure is shown, but the failure that ended the
        // reading is the one the run ends with.
        try {
            SaveReceipt();
        } catch (const std::exception& spill) {
            MsgAdd(MessageOf(spill), LPV_Error, 100);
        }
        throw;
    }
}

void TVelComboAction::ImportFromFile()
{
    imp_bufs.clear();
    imp_buf = nullptr;
    // Each pass writes the orders it found itself: a leftover pass and a
    // fresh one never write the same order twice.
    ediLines.Clear();
    ReadFromFile();
    SaveImpBufs();
    SaveEDIOrder();
}

void TVelComboAction::DeleteImpBufs()
{
    imp_buf = nullptr;
    imp_bufs.clear();
}

// --- "combo.imp" ------------------------------------------------------------------

void TVelComboAction::OpenIMPFile()
{
    CloseIMPFile();
    // Each run's lines begin on a line of their own, whatever an earlier run
    // left at the end.
    LineToIMPFile("\r\n");
}

void TVelComboAction::LineToIMPFile(const AnsiString& line)
{
    if (!f_combo) {
        auto file = std::make_unique<TMFile>();
        file->SetPath(FNameIMP());
        file->SetReadOnly(false);
        file->Open();
        f_combo = std::move(file);
    }
    int64_t end = 0;
    try {
        end = f_combo->GetSize();
        f_combo->SetPointer(end);
        f_combo->Write(line.data(), static_cast<int64_t>(line.size()));
        f_combo->Flush();
    } catch (...) {
        // Half a line would join the next run's first line into one that no
        // parse can read.
        try {
            f_combo->SetPointer(end);
            f_combo->SetEof();
        } catch (...) {
        }
        f_combo.reset();
        throw;
    }
}

void TVelComboAction::CloseIMPFile() { f_combo.reset(); }

// --- The spill of an unfinished receipt ---------------------------------------

void TVelComboAction::SaveReceipt()
{
    if (isSaleRecGetCompleted) return;
    AnsiString text;
    for (const AnsiString& line : receiptTemp)
        if (IsSpillLine(line)) text += line;
    // Nothing of a receipt was read: a spill waiting from an earlier run
    // stays as it is.
    if (text.empty()) return;
    if (firstLineRepeated) text += kFirstLineRepeated;
    const AnsiString path = FNameRECEIPT();
    try {
        TLTools::BufToFileEx(text, path, WorkingFileName(path), GetLgLink(), false);
    } catch (const Exception& e) {
        throw Exception(DriverText("Błąd zapisu niedokończonego paragonu do pliku ") + path + ": " + e.Message());
    }
    receiptTemp.Clear();
}

void TVelComboAction::AddReceiptPositions()
{
    const AnsiString path = FNameRECEIPT();
    if (!FileExists(path)) return;
    MsgAdd(DriverText("Analiza pliku receipt.tmp..."), LPV_Warning, 100);
    TStringList lines;
    TMFile::ReadStringsFromFile(path, lines, 0);
    receiptSpill.Clear();
    for (const AnsiString& line : lines)
        if (IsSpillLine(line) && Trim(line) != kFirstLineRepeated) receiptSpill.Add(line + "\r\n");
    receiptSpillWaiting = true;
    // A spill without a receipt line has nothing to wait for.
    if (receiptSpill.Count() == 0) SpliceReceiptSpill();
}

// The spill goes in front of the first receipt record of the run, which
// continues the receipt it holds. Until then it stays in "receipt.tmp": a run
// that reads no receipt record leaves it for the next one.
void TVelComboAction::SpliceReceiptSpill()
{
    if (!receiptSpillWaiting) return;
    receiptSpillWaiting = false;
    TStringList lines;
    std::swap(lines, receiptSpill);
    // In the receipt in progress before it is written, so that a failure
    // from here on spills it again.
    for (const AnsiString& line : lines) receiptTemp.Add(line);
    for (const AnsiString& line : lines) LineToIMPFile(line);
    const AnsiString path = FNameRECEIPT();
    TLTools::ArchiveFile(path, FNameRECEIPT_ARCH(), GetLgLink(), false, 0, true, "");
    if (!DeleteFile(path) && FileExists(path))
        throw Exception(DriverText("Błąd usunięcia pliku ") + path);
}

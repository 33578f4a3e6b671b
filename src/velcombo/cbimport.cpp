// The import run (operations -3 and -6): a leftover intermediate file is
// handed over first, the register's sales are read into a fresh "combo.imp",
// and that is parsed into day buffers and handed to the host.
//
// No sale may be lost or handed over twice, whatever stops a run and
// whenever, the host process killed included. The register deletes a receipt
// record when the next request confirms it, so:
// - a record's line is in "combo.imp" (written to the file, not held in the
//   process) before the request that confirms it goes out;
// - "combo.imp" is deleted only after every day was handed over, and the
//   receipt still open at its end is carried into "receipt.tmp" first;
// - the files say which record, if any, was read last without its
//   confirmation being answered; the next run keeps it once whether the
//   register serves it again or not (see ReceiptLineToIMPFile).
#include "cbaction.h"

#include "sysfiles.h"

namespace {

bool IsSpillLine(const AnsiString& line)
{
    const AnsiString trimmed = Trim(line);
    return !trimmed.empty() && trimmed[0] != '#' && trimmed[0] != '-';
}

const char* const kFirstLineRepeated = "FIRST_LINE_REPEATED";

}  // namespace

void TVelComboAction::Import()
{
    imp_buf = nullptr;
    ediLines.Clear();
    receiptTemp.Clear();
    receiptDoubt.clear();
    receiptServedAgain.clear();
    ediFailure = nullptr;
    try {
        // Orders an earlier run could not write go first; a folder that
        // still refuses them must not keep the sales from the host.
        SaveEDIOrderKeepingFailure();
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
            parFromRegister = true;
            if (FileExists(FNameIMP())) ImportFromFile();
        }
    } catch (...) {
        ClosePortAfterFailure();
        DeleteImpBufs();
        ShowEDIFailure();
        throw;
    }
    ClosePort();
    DeleteImpBufs();
    if (ediFailure) std::rethrow_exception(ediFailure);
}

void TVelComboAction::SaveEDIOrderKeepingFailure()
{
    try {
        SaveEDIOrder();
    } catch (...) {
        ediFailure = std::current_exception();
    }
}

// Another failure ends the run: the EDI one is shown beside it.
void TVelComboAction::ShowEDIFailure()
{
    if (!ediFailure) return;
    try {
        std::rethrow_exception(ediFailure);
    } catch (const std::exception& e) {
        MsgAdd(e.what(), LPV_Error, 100);
    }
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
        MsgAdd(e.what(), LPV_Error, 100);
        // A failure of the clean-up is shown, but the failure that ended the
        // reading is the one the run ends with.
        auto shown = [this](const std::function<void()>& step) {
            try {
                step();
            } catch (const std::exception& failure) {
                MsgAdd(failure.what(), LPV_Error, 100);
            }
        };
        // The register answered the last request, but its record is not in
        // the file: the record before it is confirmed, and the register
        // serves this one again as a record of its own.
        if (receiptServedUnwritten) shown([this] { NothingInDoubt(); });
        CloseIMPFile();
        shown([this] { SaveReceipt(); });
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
    SaveEDIOrderKeepingFailure();
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
    // While the file is open nobody else writes it: its end is where the
    // last line ended.
    if (!f_combo) {
        auto file = std::make_unique<TMFile>();
        file->SetPath(FNameIMP());
        file->SetReadOnly(false);
        file->Open();
        file->SetPointer(file->GetSize());
        f_combo = std::move(file);
    }
    const int64_t end = f_combo->GetPointer();
    try {
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

void TVelComboAction::NothingInDoubt()
{
    receiptDoubt.clear();
    LineToIMPFile(AnsiString(kNothingInDoubt) + "\r\n");
}

// --- The receipt carried from run to run ---------------------------------------

TVelComboAction::ReceiptCarry TVelComboAction::ReadReceiptCarry() const
{
    ReceiptCarry carry;
    TStringList lines;
    TMFile::ReadStringsFromFile(FNameRECEIPT(), lines, 0);
    for (const AnsiString& line : lines) {
        if (line.starts_with(kCarriedDoubt))
            carry.doubt = line.substr(std::char_traits<char>::length(kCarriedDoubt));
        else if (IsSpillLine(line) && Trim(line) != kFirstLineRepeated)
            carry.lines.Add(line + "\r\n");
    }
    return carry;
}

void TVelComboAction::WriteReceiptCarry(AnsiString text, const AnsiString& doubt, bool firstLineMarker)
{
    const AnsiString path = FNameRECEIPT();
    if (!doubt.empty()) text += kCarriedDoubt + doubt + "\r\n";
    if (text.empty()) {
        // Nothing open and nothing in doubt: a carry of an earlier run, taken
        // up into "combo.imp" already, must not come back.
        if (!DeleteFile(path) && FileExists(path))
            throw Exception(DriverText("Błąd usunięcia pliku ") + path);
        return;
    }
    if (firstLineMarker) text += kFirstLineRepeated;
    try {
        TLTools::BufToFileEx(text, path, WorkingFileName(path), GetLgLink(), false);
    } catch (const Exception& e) {
        throw Exception(DriverText("Błąd zapisu niedokończonego paragonu do pliku ") + path + ": " + e.Message());
    }
}

void TVelComboAction::SaveReceipt()
{
    if (isSaleRecGetCompleted) return;
    AnsiString lines;
    for (const AnsiString& line : receiptTemp)
        if (IsSpillLine(line)) lines += line;
    WriteReceiptCarry(lines, receiptDoubt, firstLineRepeated);
    receiptTemp.Clear();
}

// The receipt carried from earlier runs goes in front of this run's receipt
// records, followed by the line that opens them; only then is "receipt.tmp"
// retired. A run cut off before that line leaves "receipt.tmp" in charge,
// one cut off after it leaves "combo.imp" in charge (see ReadFromFile).
void TVelComboAction::AddReceiptPositions()
{
    const AnsiString path = FNameRECEIPT();
    const bool carried = FileExists(path);
    ReceiptCarry carry;
    if (carried) {
        MsgAdd(DriverText("Analiza pliku receipt.tmp..."), LPV_Warning, 100);
        carry = ReadReceiptCarry();
    }
    // The receipt in progress from here on, so that a failure spills it again.
    receiptTemp = carry.lines;
    receiptDoubt = carry.doubt;
    receiptServedAgain = carry.doubt;
    AnsiString block;
    for (const AnsiString& line : carry.lines) block += line;
    LineToIMPFile(block + kRecordsStart + carry.doubt + "\r\n");
    if (!carried) return;
    TLTools::ArchiveFile(path, FNameRECEIPT_ARCH(), GetLgLink(), false, 0, true, "");
    if (!DeleteFile(path) && FileExists(path)) throw Exception(DriverText("Błąd usunięcia pliku ") + path);
}

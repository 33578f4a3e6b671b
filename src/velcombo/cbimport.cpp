// The import run (operations -3 and -6): a leftover intermediate file is
// handed over first, the register's sales are read into a fresh "combo.imp",
// and that is parsed into day buffers and handed to the host.
//
// No sale may be lost or handed over twice, whatever stops a run and
// whenever, the host process killed included. The register deletes a receipt
// record when the next request confirms it, so:
// - a record's line is in "combo.imp" (written to the file, not held in the
//   process) before the request that confirms it goes out, and on the disk
//   within a bound (see SyncRecords): a power cut takes at most the last
//   group of records, never a note or a file the next step relies on;
// - "combo.imp" is deleted only after every day was handed over, and the
//   receipt still open at its end is carried into "receipt.tmp" first;
// - the files say which record, if any, was read last without its
//   confirmation being answered; the next run keeps it once whether the
//   register serves it again or not (see ReceiptLineToIMPFile);
// - a reading is held open from its first line to the end of its pass, and
//   notes in itself what of it is done: whatever becomes of its name or its
//   folder meanwhile, it is put back with those notes, and the next pass
//   does only the rest;
// - a reading carries its id from its first line: a copy of it put back
//   under its name is the reading still, never a leftover of its own, and
//   someone else's file found there is moved to a name no leftover search
//   takes.
#include "cbaction.h"

#include <cerrno>
#include <random>

#include "clock.h"
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
    impPath = FNameIMP();
    ediLines.Clear();
    receiptTemp.Clear();
    receiptDoubt.clear();
    receiptServedAgain.clear();
    ediFailure = nullptr;
    keptOrders.reset();
    try {
        // A file of an earlier run that could not be taken out would take in
        // what this run reads, and hand it over as done already; a reading
        // that cannot go, or cannot take the notes of what of it is done,
        // would be handed over again by every run.
        RefuseUnremovable(FNameRECEIPT());
        RefuseUnremovable(FNameZAM());
        SetAsideDamagedKeptOrders();
        const std::vector<AnsiString> leftovers = LeftoverReadings();
        for (const AnsiString& path : leftovers) {
            RefuseUnremovable(path);
            RefuseUnwritable(path);
        }
        // Orders an earlier run could not write go first; a folder that
        // still refuses them must not keep the sales from the host.
        SaveEDIOrderKeepingFailure();
        if (Medium == md_file) {
            if (leftovers.empty())
                throw Exception(DriverText("Ustawione złącze na PLIK, a brak pliku combo.imp!"));
            // No reading of the register follows: each pass's orders are a
            // document of their own.
            for (const AnsiString& path : leftovers) ImportFromFile(path, false);
        } else {
            // A leftover may be a reading cut short: an order in it may be
            // corrected by a record the register still holds. One that got
            // to its end says so (kReadingComplete).
            for (const AnsiString& path : leftovers) {
                MsgAdd(path == FNameIMP()
                           ? DriverText("Import z zaległego pliku combo.imp! Coś się nie udało przy ostatnim imporcie!")
                           : DriverText("Import z zaległego pliku ") + ExtractFileName(path) + "!",
                       LPV_Warning, 100);
                ImportFromFile(path, true);
            }
            // A fresh reading begins a file of its own: one that still carries
            // an earlier reading's notes would take its days for handed over.
            if (FileExists(FNameIMP()))
                throw Exception(DriverText("Plik ") + FNameIMP() +
                                DriverText(" pozostał w katalogu wymiany po przekazaniu zaległego odczytu - import "
                                           "wstrzymany przed odczytem z kasy, aby nic nie zginęło"));
            OpenPort();
            ReadSalesToIMPFile();
            parFromRegister = true;
            ImportFromFile(KeepReading(DriverText("podczas odczytu z kasy")), false);
        }
    } catch (...) {
        CloseIMPFile();
        ClosePortAfterFailure();
        DeleteImpBufs();
        ShowEDIFailure();
        if (Medium != md_file) ShowWaitingOrders();
        if (!keptOrdersSetAside.empty()) MsgAdd(DamagedKeptOrdersText(), LPV_Error, 100);
        throw;
    }
    ClosePort();
    DeleteImpBufs();
    if (ediFailure) {
        if (!keptOrdersSetAside.empty()) MsgAdd(DamagedKeptOrdersText(), LPV_Error, 100);
        std::rethrow_exception(ediFailure);
    }
    if (!keptOrdersSetAside.empty()) throw Exception(DamagedKeptOrdersText());
}

// The kept-orders file is the exchange folder's: one that cannot be
// rewritten ends the run, or the documents written would come again.
void TVelComboAction::SaveEDIOrderKeepingFailure()
{
    try {
        SaveEDIOrder();
    } catch (const KeptOrdersFailure&) {
        throw;
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

void TVelComboAction::ShowWaitingOrders()
{
    try {
        if (const int lines = WaitingOrderLines(); lines > 0)
            DodajKomunikat(zkOstrzezenie,
                           Format(DriverText("Zamówienia z przerwanego odczytu z kasy (wierszy: %d) czekają w pliku "
                                             "%s na następny pełny odczyt")
                                      .c_str(),
                                  lines, FNameZAM().c_str()));
    } catch (const KeptOrdersFailure&) {
        // The run ends with this failure already.
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
        LineToIMPFile(AnsiString(kReadingComplete) + "\r\n");
        // The register keeps none of it now: on the disk before any of it is
        // handed over. Left open: KeepReading finds the reading through it.
        SyncRecords(true);
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
        shown([this] { KeepReading(DriverText("podczas odczytu z kasy")); });
        CloseIMPFile();
        shown([this] { SaveReceipt(); });
        throw;
    }
}

void TVelComboAction::ImportFromFile(const AnsiString& path, bool ordersWait)
{
    HoldReading(path);
    imp_bufs.clear();
    imp_buf = nullptr;
    passOrdersWait = ordersWait;
    bool parsed = false;
    try {
        // The orders waiting for this reading are one set with its own: its
        // corrections apply to them too.
        TakeWaitingOrders();
        ReadFromFile();
        parsed = true;
        SaveImpBufs();
    } catch (...) {
        bool inPlace = ReadingInPlace();
        try {
            inPlace = inPlace || PutBackOverItsCopy(DriverText("podczas przekazywania sprzedaży do bazy"));
        } catch (const std::exception&) {
        }
        if (inPlace) {
            CloseIMPFile();
            ShowUnnotedDays();
            throw;
        }
        RescueReading(std::current_exception(), parsed);
    }
    CloseIMPFile();
    SaveEDIOrderKeepingFailure();
}

void TVelComboAction::HoldReading(const AnsiString& path)
{
    if (f_combo && impPath == path) return;
    CloseIMPFile();
    impPath = path;
    auto file = std::make_unique<TMFile>();
    file->SetPath(path);
    file->SetReadOnly(false);
    // A reading gone since it was found is not made again empty.
    file->SetCreate(false);
    file->Open();
    HoldFile(std::move(file));
}

void TVelComboAction::HoldFile(std::unique_ptr<TMFile> file)
{
    // The file opened, not what its name leads to a moment later.
    readingId = {};
    file->Identity(readingId.first, readingId.second);
    f_combo = std::move(file);
}

// By the identity taken when the reading was opened: a reading the run no
// longer holds open (a write to it failed) is still the file it was.
bool TVelComboAction::ReadingInPlace() const
{
    std::pair<uint64_t, uint64_t> named;
    return readingId != std::pair<uint64_t, uint64_t>{} && FileIdentity(impPath, named.first, named.second) &&
           named == readingId;
}

// Days whose note could not be written: where the reading stays, the next
// pass hands them over again, and the user is told which.
void TVelComboAction::ShowUnnotedDays()
{
    if (parUnnotedDays.empty()) return;
    AnsiString days;
    for (const AnsiString& day : parUnnotedDays) days += (days.empty() ? "" : ", ") + day;
    MsgAdd(DriverText("Nie odnotowano w pliku ") + impPath + DriverText(" przekazania do bazy dni: ") + days +
               DriverText(" - następny import przekaże je ponownie"),
           LPV_Error, 100);
}

// What the pass handed over is noted in the reading held; the days not
// handed over and the orders not written are in it and in memory. The
// reading goes back under a name first, then its orders are kept by it, and
// only then are the documents written: a stop at any point leaves them to
// the next run once.
void TVelComboAction::RescueReading(std::exception_ptr failure, bool parsed)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        MsgAdd(e.what(), LPV_Error, 100);
    } catch (...) {
    }
    const AnsiString name = impPath;
    const AnsiString folder = ExtractFilePath(name);
    const bool folderWent = !folder.empty() && !DirectoryExists(folder);
    const AnsiString when = DriverText("podczas przekazywania sprzedaży do bazy");
    AnsiString where;
    // Documents written while the kept-orders file does not say so would
    // come again with the reading put back: none are written then.
    bool ordersSafe = false;
    try {
        where = KeepReading(when);
        // The kept-orders file went with the folder, or was never written.
        StoreKeptOrders();
        if (parsed) KeepOrdersOfPass();
        ordersSafe = true;
    } catch (const std::exception& e) {
        MsgAdd(e.what(), LPV_Error, 100);
    }
    CloseIMPFile();
    if (!where.empty()) ShowUnnotedDays();
    if (where.empty()) {
        // The reading is lost, the kept-orders file maybe with it: the
        // orders known are written at once, the waiting ones among them.
        if (!parsed || OrdersOfPassKept()) TakeWaitingOrders();
        if (!ediLines.Empty()) {
            try {
                KeepEDIOrder(false);
            } catch (const KeptOrdersFailure&) {
            }
        }
        ordersSafe = true;
    }
    if (ordersSafe) {
        try {
            SaveEDIOrderKeepingFailure();
        } catch (const std::exception& e) {
            MsgAdd(e.what(), LPV_Error, 100);
        }
    }
    const AnsiString what = folderWent ? DriverText("Katalog wymiany \"") + folder + "\""
                                       : DriverText("Plik ") + name;
    throw Exception(what + DriverText(" zniknął ") + when +
                    (where.empty() ? DriverText(" - odczytu nie udało się zapisać ponownie; dni nieprzekazanych "
                                                "do bazy nie przekaże żaden import")
                                   : DriverText(" - odczyt z zapisem dni już przekazanych zapisano ponownie w pliku ") +
                                         where + DriverText("; resztę przekaże następny import")));
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
    impPath = FNameIMP();
    // Each run's lines begin on a line of their own, whatever an earlier run
    // left at the end; the reading's id comes first, so that any copy of it
    // says whose it is.
    LineToIMPFile("\r\n" + AnsiString(kReadingId) + NewReadingId() + "\r\n");
}

void TVelComboAction::LineToIMPFile(const AnsiString& line)
{
    // While the file is open nobody else writes it: its end is where the
    // last line ended.
    if (!f_combo) {
        auto file = std::make_unique<TMFile>();
        file->SetPath(impPath);
        file->SetReadOnly(false);
        file->Open();
        file->SetPointer(file->GetSize());
        HoldFile(std::move(file));
        // Its name is what the next run finds it by.
        TMFile::SyncFolderOf(impPath);
    }
    const int64_t end = f_combo->GetPointer();
    try {
        f_combo->Write(line.data(), static_cast<int64_t>(line.size()));
        f_combo->Flush();
    } catch (...) {
        // Half a line would join the next line into one that no parse can
        // read. The file stays held: it is still the reading.
        try {
            f_combo->SetPointer(end);
            f_combo->SetEof();
        } catch (...) {
        }
        throw;
    }
}

void TVelComboAction::CloseIMPFile()
{
    f_combo.reset();
    readingId = {};
}

// The register forgets a record once the next request confirms it: what it
// forgot reaches the disk within a bound rather than at every record (a sync
// costs more than a record's round trip on a fast link), and all of it
// before `now`. A failed sync is never taken for done: the reading stops.
void TVelComboAction::SyncRecords(bool now)
{
    if (!f_combo) return;
    if (!now) {
        if (unsyncedRecords++ == 0) unsyncedSince = RealMs();
        if (unsyncedRecords < kRecordsPerSync && RealMs() - unsyncedSince < kSyncAfterMs) return;
    }
    try {
        f_combo->Sync();
    } catch (const Exception& e) {
        // The last record read is not confirmed yet, unless the register
        // said no more follow.
        const int forgotten = now ? unsyncedRecords : unsyncedRecords - 1;
        throw Exception(DriverText("Błąd zapisu odczytu z kasy na dysk (") + e.Message() +
                        Format(DriverText(") - odczyt przerwany; przy zaniku zasilania może zginąć rekordów: %d")
                                   .c_str(),
                               forgotten));
    }
    unsyncedRecords = 0;
}

// The register deleted what it served, and a pass notes in the reading what
// it handed over: the reading stays in the file this run holds, whatever
// became of its name meanwhile (another program archived, deleted or
// replaced it, or the folder went).
AnsiString TVelComboAction::KeepReading(const AnsiString& when)
{
    const AnsiString name = impPath;
    if (!f_combo || ReadingInPlace()) return name;
    AnsiString text;
    try {
        text = HeldReadingText();
    } catch (...) {
        CloseIMPFile();
        throw;
    }
    CloseIMPFile();
    const AnsiString folder = ExtractFilePath(name);
    if (!folder.empty() && !DirectoryExists(folder)) {
        if (!ForceDirectories(folder))
            throw Exception(DriverText("Katalog wymiany \"") + folder + DriverText("\" zniknął ") + when +
                            DriverText(" i nie można go utworzyć ponownie: odczytu z kasy nie zapisano"));
        DodajKomunikat(zkOstrzezenie, DriverText("Katalog wymiany \"") + folder + DriverText("\" zniknął ") + when +
                                          DriverText(" - utworzono go ponownie"));
    }
    // Written whole under a working name, held from then on, and never put
    // over a file of someone else's: a file under the name is moved off it
    // first, and dropped when it is a copy of the reading; only when the
    // name cannot be had does the reading go beside it.
    const AnsiString work = WorkingFileName(name);
    auto file = std::make_unique<TMFile>();
    file->SetPath(work);
    try {
        file->Open();
        file->Write(text.data(), static_cast<int64_t>(text.size()));
        file->SetEof();
        file->Sync();
    } catch (...) {
        file.reset();
        DeleteFile(work);
        throw;
    }
    auto held = [&](const AnsiString& path) {
        file->SetPath(path);
        impPath = path;
        HoldFile(std::move(file));
        TMFile::SyncFolderOf(path);
        return path;
    };
    bool copyFound = false;
    AnsiString setAside;
    for (int tries = 0; tries < 3; ++tries) {
        if (RenameFile(work, name)) {
            const AnsiString done = DriverText(" - odczyt zapisano w nim ponownie");
            if (!setAside.empty())
                DodajKomunikat(zkOstrzezenie, DriverText("Plik ") + name + DriverText(" został podmieniony ") + when +
                                                  DriverText(" - tamten plik przeniesiono do pliku ") + setAside +
                                                  DriverText(", którego import nie bierze, a odczyt zapisano ponownie "
                                                             "pod nazwą ") +
                                                  ExtractFileName(name));
            else if (copyFound)
                DodajKomunikat(zkOstrzezenie, DriverText("Plik ") + name +
                                                  DriverText(" został podmieniony kopią odczytu ") + when + done);
            else
                DodajKomunikat(zkOstrzezenie, DriverText("Plik ") + name + DriverText(" zniknął ") + when + done);
            return held(name);
        }
        AnsiString aside;
        for (int n = 1; n <= kReadingsBeside && aside.empty(); ++n)
            if (!FileExists(FNameSetAside(n)) && !DirectoryExists(FNameSetAside(n))) aside = FNameSetAside(n);
        if (aside.empty()) break;
        if (!RenameFile(name, aside)) continue;
        if (CopyOfReading(aside, text) && DeleteFile(aside)) {
            copyFound = true;
        } else {
            setAside += (setAside.empty() ? "" : ", ") + aside;
        }
    }
    for (int n = 1; n <= kReadingsBeside; ++n) {
        const AnsiString beside = FNameIMPBeside(n);
        if (!RenameFile(work, beside)) continue;
        DodajKomunikat(zkOstrzezenie, DriverText("Plik ") + name + DriverText(" został podmieniony ") + when +
                                          DriverText(" - odczyt zapisano w pliku ") + ExtractFileName(beside) +
                                          DriverText(", a tamten plik pozostawiono"));
        return held(beside);
    }
    throw Exception(DriverText("Brak wolnej nazwy na zapisanie odczytu z kasy obok pliku ") + name +
                    DriverText(" - odczyt jest w pliku ") + work);
}

AnsiString TVelComboAction::HeldReadingText()
{
    AnsiString text;
    const int64_t end = f_combo->GetPointer();
    try {
        f_combo->SetPointer(0);
        char chunk[65536];
        for (int64_t n; (n = f_combo->Read(chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<size_t>(n));
    } catch (...) {
        f_combo->SetPointer(end);
        throw;
    }
    f_combo->SetPointer(end);
    return text;
}

AnsiString TVelComboAction::ReadingIdIn(const AnsiString& text)
{
    const std::string_view note = kReadingId;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line(text.data() + at, end - at);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.starts_with(note)) return AnsiString(line.substr(note.size()));
        at = end + 1;
    }
    return {};
}

// It carries the reading's id, or (a copy of a file of an older version,
// or one cut before its id) holds the reading's first bytes.
bool TVelComboAction::CopyOfReading(const AnsiString& path, const AnsiString& reading)
{
    AnsiString text;
    try {
        text = TMFile::ReadWholeFile(path, 0);
    } catch (const std::exception&) {
        return false;
    }
    const AnsiString id = ReadingIdIn(reading);
    return (!id.empty() && ReadingIdIn(text) == id) || reading.starts_with(text);
}

bool TVelComboAction::CopyUnderItsName()
{
    return f_combo && FileExists(impPath) && CopyOfReading(impPath, HeldReadingText());
}

bool TVelComboAction::PutBackOverItsCopy(const AnsiString& when)
{
    if (!CopyUnderItsName()) return false;
    KeepReading(when);
    return ReadingInPlace();
}

std::vector<AnsiString> TVelComboAction::LeftoverReadings()
{
    std::vector<AnsiString> paths;
    if (FileExists(FNameIMP())) paths.push_back(FNameIMP());
    for (int n = 1; n <= kReadingsBeside; ++n)
        if (FileExists(FNameIMPBeside(n))) paths.push_back(FNameIMPBeside(n));
    return paths;
}

void TVelComboAction::RemoveExchangeFile(const AnsiString& path)
{
    if (DeleteFile(path)) {
        // Back after a power cut, it would be taken up again.
        TMFile::SyncFolderOf(path);
        return;
    }
    const int error = errno;
    if (FileExists(path))
        throw Exception(DriverText("Błąd usunięcia pliku ") + path + ": " + SysErrorMessage(error));
}

void TVelComboAction::RefuseUnremovable(const AnsiString& path)
{
    if (FileExists(path) && !MayRemove(path))
        throw Exception(DriverText("Nie można usunąć pliku ") + path +
                        DriverText(" - import wstrzymany przed odczytem z kasy, aby nic nie zginęło"));
}

void TVelComboAction::RefuseUnwritable(const AnsiString& path)
{
    int error = 0;
    if (FileExists(path) && !MayWrite(path, error))
        throw Exception(DriverText("Nie można dopisać do pliku ") + path + ": " + SysErrorMessage(error) +
                        DriverText(" - import wstrzymany przed odczytem z kasy, aby nic nie zginęło"));
}

void TVelComboAction::AppendNote(const AnsiString& note)
{
    if (!f_combo) HoldReading(impPath);
    f_combo->SetPointer(f_combo->GetSize());
    LineToIMPFile(note + "\r\n");
    // A note lost to a power cut would bring its step again.
    f_combo->Sync();
}

AnsiString TVelComboAction::NewReadingId()
{
    std::random_device random;
    return Format("%08x%08x%08x", random(), random(), random());
}

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
        RemoveExchangeFile(path);
        return;
    }
    if (firstLineMarker) text += kFirstLineRepeated;
    try {
        TLTools::BufToFileEx(text, path, WorkingFileName(path), GetLgLink(), false, true);
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
    // "combo.imp" holds the receipt carried in before "receipt.tmp" goes.
    f_combo->Sync();
    TLTools::ArchiveFile(path, FNameRECEIPT_ARCH(), GetLgLink(), false, 0, true, "");
    RemoveExchangeFile(path);
}

// The Combo/NEO driver: its library object and its device action.
#pragma once

#include <array>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "LJWords.h"
#include "LTools.h"
#include "VelAction.h"
#include "VelImpBuf.h"
#include "mfile.h"
#include "VelLib.h"
#include "cbcommands.h"
#include "cbexchange.h"
#include "cbframe.h"
#include "folderlock.h"
#include "serialport.h"
#include "wazony.h"

class TClientSocket;
class TComboLink;
class TModemPort;
class VelTowRec;
class TWinSocketStream;

class TVelComboLibrary : public TVelLibrary {
public:
    explicit TVelComboLibrary(HORVCBARG1 arg1) : TVelLibrary(arg1) {}
    TVelActionBase* UtworzAkcje(HORVCBARG2 arg2) override;
    int PokazOkno(TVelActionBase* action, int window, bool flag, int32_t* code, char* text) override;
};

// The link to the register.
enum e_Medium { md_file = 0, md_rs232 = 1, md_tcpip = 2 };
// The register's family; pt_Neo and above speak the newer command set.
enum e_ProtocolType {
    pt_Combo = 0,
    pt_Mobile = 1,
    pt_MobileHS = 2,
    pt_Bingo = 3,
    pt_BingoHS = 4,
    pt_Neo = 5,
    pt_Combo102 = 6,
    pt_Neo102 = 7,
    pt_Neo201 = 8,
    pt_BingoHS2 = 9,
    pt_BingoXL = 10,
    pt_Neo301 = 11,
    pt_Revo = 12
};
enum e_FiscalMode { fm_NotFiscal = 0, fm_Fiscal = 1, fm_ReadOnly = 2 };
// How receipt lines name goods.
enum e_TowIdParag { id_Plu = 0, id_Barcode = 1 };

// The exchange's fields (packet_out, packet_in, token, fld_num, cmd_id,
// last_err_trn, last_err_wyk, firstLineRepeated and DataSet) are the action's
// own, shared by every run.
class TVelComboAction : public VelAction, protected TComboExchangeState {
public:
    TVelComboAction(TVelComboLibrary* library, HORVCBARG2 call);
    ~TVelComboAction() override;

    AnsiString NazwaZasobuDzielonego() override;
    void Operacja(HORVDLLSRODOWISKO* environment, int operation, int parameter) override;
    AnsiString WlasciwosciUrzadzenia(int number) override;
    int IleMaxStawekKolejnych() override { return 7; }
    AnsiString FNameLOG() const override { return KatalogWymiany() + "import.log"; }
    AnsiString FNameEXP() const { return KatalogWymiany() + "combo.exp"; }

    // Runs service function n; any other number does nothing.
    void DodFuncExecute(int n);

    // Settings and the protocol trace of one operation.
    void ReadParams();
    void LogInit();
    bool TraceWanted() const;
    void Log(const AnsiString& prefix, const AnsiString& data);
    void WarnTraceOff();

    // One command to the register; the answer is in DataSet afterwards, a
    // quiet execution error in last_err_wyk.
    void SendAndReceive(int cmd);
    void SendAndReceive(int cmd, int n, const AnsiString* fields);
    // The field builders.
    static AnsiString DataB(uint8_t value) { return ComboDataB(value); }
    static AnsiString DataV(uint16_t value) { return ComboDataV(value); }
    static AnsiString DataL(uint32_t value) { return ComboDataL(value); }
    static AnsiString DataN(int32_t value) { return ComboDataN(value); }
    static AnsiString DataS(const AnsiString& value) { return ComboDataS(value); }
    // The register ends a text at its first NUL byte and takes the rest for
    // further fields: such a text is never sent.
    static bool HasNul(const AnsiString& text) { return text.find('\0') != AnsiString::npos; }
    // Ends the run when the user asked to stop.
    void ThrowPrzerwac();
    // Ends the run with the text of a quiet refusal of the last command: for
    // a command that has no record to pass over.
    void FailOnQuietRefusal();
    // Reads one of the register's lists: the context command with its fields,
    // then the read command with its fields until the register ends it with
    // one of the end codes. onRecord runs with each record's answer in DataSet.
    // Any other quiet code ends the read with its text: never taken for a record.
    void ReadList(int contextCmd, const std::vector<AnsiString>& contextFields, int readCmd,
                  const std::vector<AnsiString>& readFields, std::initializer_list<int> endCodes,
                  const std::function<void()>& onRecord);
    // A list without a context command, whose first read says so by its fields.
    void ReadList(int readCmd, const std::vector<AnsiString>& firstFields, const std::vector<AnsiString>& nextFields,
                  std::initializer_list<int> endCodes, const std::function<void()>& onRecord);

    // The session: the link to the register, the card server's lock, the
    // register's model and number.
    void OpenPort();
    void ClosePort();
    // Closes the session while a failure is on its way: a second failure
    // must not hide the first, and is shown as an error line of its own.
    void ClosePortAfterFailure();
    bool CheckNumber();
    TMBaudRate Speed();

    // Operation -1.
    void TestConnection();
    // Operation -4: always refused.
    void ImportParagonu();
    // The payment forms a fiscal register must have: warns of each that
    // differs, then throws when any did.
    void VerifyFPlatn();

    // The service functions of operation -8.
    // A service function's work in a session of its own, closed also when
    // the work fails.
    void InOwnSession(void (TVelComboAction::*work)());
    void ResetSaleF7();
    void ResetAllPluF7();
    void ModemKonfigF7();
    void ModemDisconnectF7();
    void RepCommF7();
    void ImportPluF7();
    // The register's goods and packages read into "combo.tow" in a session
    // of their own; no host call reaches it.
    void ImportTowF7();
    // With ComboImpTow set, the register's goods and packages read in the
    // session already open into "NN_combo.tow" (NN the device number),
    // noted in "NN_combo_tow.log"; a failed reading is noted, not thrown.
    // No host call reaches it.
    void ReadPluList();
    // A debug file's name that nothing writes.
    AnsiString FNameDBG() const { return KatalogWymiany() + "combo.dbg"; }

    // Goods and packages programmed, the register's goods read back and
    // cleared (the export run calls these).
    enum e_SendType { st_delPlu = 0, st_delOpak = 1, st_prgPlu = 2, st_prgOpak = 3 };
    void SendPluRecs(e_SendType pass);
    // Deletes every goods item, then every package. Any failure ends it, the
    // session closed, but a quiet refusal of the packages: the goods are
    // deleted then, the session stays open, and the refusal's text is
    // returned; "" when both were deleted.
    AnsiString ResetAllPlu();
    void CancelPluList();

    // The goods programming and the read-back and clearing of the register's
    // goods (cbgoods.cpp, cbgoodsread.cpp). One row's command: the answer's
    // quiet code is left in last_err_wyk; a row that cannot be put into the
    // register's fields at all is not sent and its refusal text returned.
    // With ProgressTow, the line of the row sent: its kind ("PRG_TOW" ...),
    // its barcode and name.
    void PokazWiersz(const char* rodzaj, const VelTowRec& rec);
    AnsiString SendPluRec(VelTowRec rec);
    AnsiString SendOpakRec(VelTowRec rec);
    AnsiString DeletePluRec(VelTowRec rec);
    AnsiString DeleteOpakRec(VelTowRec rec);
    // The fields of the PLUINS that programs goods whole, and of the PACKINS
    // that programs a package, or why the row cannot be put into them.
    AnsiString PluInsFields(const VelTowRec& rec, std::array<AnsiString, 16>& fields);
    AnsiString PackInsFields(const VelTowRec& rec, std::array<AnsiString, 8>& fields);
    // Why a command of these fields cannot be sent: the register takes no
    // frame that long.
    static AnsiString FrameRefusal(int n, const AnsiString* fields);
    // Sends the command unless its frame is refused; the refusal, or "".
    AnsiString SendWhole(int cmd, int n, const AnsiString* fields);
    AnsiString PluRecRefusal(const VelTowRec& rec, int32_t* price);
    AnsiString OpakRecRefusal(const VelTowRec& rec, int32_t& number, int32_t* price);
    // A row programmed whole also carries its name and code as texts.
    static AnsiString TextsRefusal(const VelTowRec& rec);
    // The name cut to the register family's length; the host group's byte
    // from the group map; the barcode as the register takes it.
    AnsiString NazwaNaKase(const AnsiString& nazwa) const;
    int GrupaNaKase(int32_t nrAsort) const;
    AnsiString FormatujBarkodNaKase(const AnsiString& kod) const;
    // The register's goods and packages read into the text buffer as the
    // lines of "combo.tow" (FNameTOW), each handed to the export buffer.
    void ReadArticles();
    void ReadPackages();
    // Both read under the header of "combo.tow" and written to path whole,
    // with what was read also when the reading fails.
    void ReadTowToFile(const AnsiString& path);
    void SetTowFileHeader(AnsiString& text);
    AnsiString ParsePluLine();
    AnsiString ParseOpakLine();
    AnsiString FNameTOW() const;
    // Zeroes the sales of every goods item and package.
    void ResetSale();
    // One clearing command under its line; any refusal ends it with its text.
    void ClearAll(const AnsiString& text, int cmd, const std::vector<AnsiString>& fields);
    // The same, a quiet refusal's text returned, its line left unmarked.
    AnsiString TryClearAll(const AnsiString& text, int cmd, const std::vector<AnsiString>& fields);

    // Reading the register's sales into the intermediate file (the import
    // run calls these).
    enum e_ReadStat { rs_Plu = 0, rs_Pack = 1 };
    void DoFiscalReport();
    void ReadPluSale(e_ReadStat kind);
    void ReadDiscountCardCfg();
    void ReadParags();
    void ReadCashierStatus();

    // The intermediate file parsed into day buffers, handed over, and the
    // orders found in it written as EDI documents (one parse pass).
    void ReadFromFile();
    void SaveImpBufs();
    void AddToZamEDIDoc(const AnsiString& description, const AnsiString& code, int quantity);
    void CorrectZamEDIDoc(const AnsiString& description, const AnsiString& code, int quantity);
    // Writes the documents kept, then the orders of ediLines.
    void SaveEDIOrder();

    // The EDI writer: an order line's code as the ordering system knows it,
    // and the document's file name in the EDI folder.
    AnsiString FormatBarcodeIn(const AnsiString& code);
    AnsiString FNameEDI(const AnsiString& stamp, int n);

    // --- The import run (cbimport.cpp) and the lines of its intermediate
    // file "combo.imp" (cbimpfile.cpp) ---------------------------------------
    AnsiString FNameIMP() const { return KatalogWymiany() + "combo.imp"; }
    AnsiString FNameARC() const { return KatalogWymiany() + "arch.imp"; }
    AnsiString FNameRECEIPT() const { return KatalogWymiany() + "receipt.tmp"; }
    AnsiString FNameRECEIPT_ARCH() const { return KatalogWymiany() + "arch2.imp"; }
    // A reading kept beside a "combo.imp" that is not this run's (n from 1).
    AnsiString FNameIMPBeside(int n) const { return KatalogWymiany() + Format("combo-%d.imp", n); }
    static constexpr int kReadingsBeside = 99;
    // Someone else's file found under the reading's name, moved off it
    // (n from 1): no leftover search takes it.
    AnsiString FNameSetAside(int n) const { return KatalogWymiany() + Format("combo-obcy-%d.imp", n); }

    // Operations -3 and -6.
    void Import();
    // One parse pass over a reading ("combo.imp" or one kept beside it):
    // day buffers, hand-over, EDI orders. ordersWait: the reading may be one
    // cut short, whose orders wait for the reading that completes them
    // (unless it says it got to its end).
    void ImportFromFile(const AnsiString& path, bool ordersWait);
    // The readings left by earlier runs: "combo.imp", then those beside it.
    std::vector<AnsiString> LeftoverReadings();
    // Makes sure the name of the reading held open (impPath) leads to it,
    // putting the reading back under a name when it does not (`when` says
    // in which step it went); the reading stays held; answers its name.
    AnsiString KeepReading(const AnsiString& when);
    // The whole text of the reading held; its end stays where lines go.
    AnsiString HeldReadingText();
    // Whether the file at path is a copy of the reading whose text is given
    // (see PutBackOverItsCopy).
    static bool CopyOfReading(const AnsiString& path, const AnsiString& reading);
    // The id a reading's text carries (its first kReadingId note); empty
    // when none.
    static AnsiString ReadingIdIn(const AnsiString& text);
    // Whether the name of the reading held leads to a copy of it (put back
    // by a sync or backup tool), which is the reading still.
    bool CopyUnderItsName();
    // A copy of the reading under its name: the reading goes back over it.
    // Whether the name leads to the reading now.
    bool PutBackOverItsCopy(const AnsiString& when);
    // Removes a file of the exchange folder; throws naming it when it stays.
    void RemoveExchangeFile(const AnsiString& path);
    // Throws naming the file when it is there and cannot be removed, or
    // cannot be written to.
    void RefuseUnremovable(const AnsiString& path);
    void RefuseUnwritable(const AnsiString& path);
    void OpenIMPFile();
    // Appends whole lines (their "\r\n" included) to "combo.imp", opening it
    // when needed, with one write to the file. A failed write takes back
    // what it wrote.
    void LineToIMPFile(const AnsiString& line);
    void CloseIMPFile();
    // The unfinished receipt of a failed read, kept in "receipt.tmp".
    void SaveReceipt();
    // The receipt carried from earlier runs in "receipt.tmp", taken up in
    // front of the receipt records about to be read.
    void AddReceiptPositions();
    void DeleteImpBufs();
    void AfterImport() {}

    // Comment lines of "combo.imp" and "receipt.tmp" (every reader passes
    // over lines that begin with "#") by which the next run knows where a
    // cut-off reading stood:
    // - kRecordsStart and a line: the receipt records of a run begin here,
    //   after the lines of the receipt carried in; the line is that of the
    //   record in doubt carried in (empty: none);
    // - kRecordWithoutLine and its type: a record that makes no line;
    // - kNothingInDoubt: the register confirmed every record written so far;
    // - kCarriedDoubt and a line, in "receipt.tmp": the record in doubt.
    // The record in doubt is the one read last, whose confirming request got
    // no answer: the register may have deleted it or may serve it again.
    static constexpr const char* kRecordsStart = "#PARAGONY;";
    static constexpr const char* kRecordWithoutLine = "#BEZ_WIERSZA;";
    static constexpr const char* kNothingInDoubt = "#BEZ_WATPLIWOSCI";
    static constexpr const char* kCarriedDoubt = "#WATPLIWY;";
    // The reading's id, its first line since it was begun (a file of an
    // older version gets it at the save of its orders): any copy of it says
    // whose it is, and its orders are kept under it.
    static constexpr const char* kReadingId = "#ODCZYT;";
    // Notes of a parse pass's save, for a later pass over the same file: the
    // n-th day (counted from 1, with its date) is with the host; the orders
    // are kept (see KeepOrdersOfPass).
    static constexpr const char* kDayHandedOver = "#PRZEKAZANO;";
    static constexpr const char* kOrdersKept = "#ZAMOWIENIA_ZACHOWANE";
    // The file is in "arch.imp" already; only its removal failed.
    static constexpr const char* kArchived = "#ZARCHIWIZOWANO";
    // The register was read to its end: no later reading completes this
    // one, and its orders wait for none (see KeepOrdersOfPass).
    static constexpr const char* kReadingComplete = "#ODCZYT_PELNY";

    // The lines of the sales statistics, from the PLUSTATREAD and
    // PACKSTATREAD answers in DataSet.
    AnsiString ParsePluStatLine() const;
    AnsiString ParsePackStatLine() const;
    // One receipt record (the SALERECGET answer in DataSet) written as its
    // "P_" line; each also keeps receiptTemp, the lines of the receipt in
    // progress.
    void Par_ParsePlu();
    void Par_ParseOpak();
    void Par_ParseAcceptTrn();
    void Par_ParseAnulTrn();
    void Par_ParseFormPl();
    void Par_ParseWaluta();
    void Par_ParseRapfisk();
    void Par_ParseRabat();
    void Par_ParseZam();
    // The "KAS" line of the cashier logged in (0: nobody, and no more is
    // written) and, for a cashier, the "KPL" line of each payment form 1-6
    // held in the drawer: from the USERSTATREAD answer in DataSet, with the
    // name of USERREAD, the register's time (CompressedTime) and the euro rate
    // in ten-thousandths.
    void WriteCashierStatus(int cashier, const AnsiString& name, const AnsiString& now, int32_t euroRate);
    // "%04d%02d%02d%02d%02d%02d000": a time of the register as 17 digits.
    static AnsiString CompressedTime(int year, int month, int day, int hour, int minute, int second);
    // The comment block that heads a new "arch.imp".
    static void SetStatFileHeader(AnsiString& text);
    // The goods import into the host (cbimportplu.cpp): the register's VAT
    // rates, groups, units, packages and goods handed over through callback
    // 33, with the options of window 6; the session is open.
    void ImportPlu();

    // The goods-group map kept in the host's configuration.
    void ReadAsortMapFromCfg();
    void WriteAsortMapToCfg();

    // The export run (operations -2 and -5) and its steps before the goods.
    void Eksport();
    // The register prints its communication report: NEO-class registers only,
    // and not when the host's transmission kind is 0.
    void CommReport();
    // The card server's discount-card input file.
    void SendDiscountCards();
    AnsiString FNameSKPCard(bool working);
    // Groups, units, cashiers and payment forms.
    void SendAssort();
    void SendJMiary();
    // The number of unit i of the buffer; one that is no number the register
    // takes ends the export, naming its line.
    int32_t NumerJednostkiMiary(int i) const;
    void SendCashiers();
    void SendOrVerifyFPlatn();
    void SendFPlatn();

    // The word of the file mode, as the host stores it in ComboPort.
    static AnsiString FileModeWord();
    // The serial port ComboPort names; throws, naming the parameter, when it
    // names none.
    AnsiString SerialPortName();
    // Holds the exchange folder for this operation; throws when another
    // operation works in it.
    void TakeExchangeFolder();
    void WarnOfFolderWithoutSeparator();

protected:
    // The port of a serial link; a test hands in one that records its lines.
    virtual std::unique_ptr<TModemPort> NewPort();
    void OpenRS232Port();
    void CloseRS232Port();
    void OpenTCPIPPort();
    void CloseTCPIPPort();
    void LockSKP();
    void UnlockSKP();
    void SendCmdToSKP(const AnsiString& command);
    // The name of a register model in the model table; null for a code outside it.
    static const char* ModelTableName(int code);
    // The name of a register model as the session shows it.
    static AnsiString ModelName(int code);
    // The link the exchange talks over: none in file mode or before OpenPort.
    std::unique_ptr<TComboLink> CurrentLink();

    // A user text of the driver, always in its Polish default (the host
    // stores some of them, so they must not change with the language).
    static AnsiString DriverText(const AnsiString& text);

    std::unique_ptr<TModemPort> FPort;
    e_Medium Medium = md_file;
    bool ProgressTow = false;
    // The export buffer reads the price level and the register's family.
    friend class TVelComboExpBuf;
    int PoziomCen = 0;
    bool Sprzedaz_z_paragonow = false;
    std::unique_ptr<TWinSocketStream> pStream;
    std::unique_ptr<TClientSocket> pSocket;
    e_ProtocolType protType = pt_Combo;
    e_FiscalMode fiscalMode = fm_Fiscal;
    int cardNNNPosStart = 0;
    int cardNNNCount = 0;
    TStringList asortMap;
    bool oneAsortOnly = false;
    int towIdParag = id_Plu;
    int KwKodPocz = 0;
    int KwKodKonc = 0;
    int KwPrzedr = 28;
    AnsiString KwFormat;
    AnsiString CfgEdiFolder;
    TStringList ediLines;
    bool cfgUseLog = false;
    int MuxChannel = 0;
    bool importOverwrite = false;
    bool importLogFile = false;
    TStringList receiptTemp;
    bool isSaleRecGetCompleted = true;
    int cfgProductFlag = 0;
    bool cfgGroupOverwrite = false;

    TFolderLock exchangeLock;

    // The export run's own.
    // A record the register refused with a quiet code: listed among the
    // rejected records; true when it was refused.
    bool RefusedQuietly(const AnsiString& record);
    // A record listed among the rejected ones with the reason.
    void ListRejected(const AnsiString& record, const AnsiString& reason);
    // The goods rows the export has to send; master data waits for them.
    bool AnyGoodsToSend() const;
    // The export file just read, before anything goes to the register: its
    // refused goods lines listed, with every row whose frame the register
    // could not take refused among them; a price with a fraction of the
    // smallest unit warned of; a unit line, or a rate the register has no
    // slot for in a row that may be programmed, ends the export.
    void CheckExportFile();
    // Runs every clean-up step of the export; a step that fails does not stop
    // the next, and never hides the failure that ended the run (null: none).
    void EksportCleanUp(std::exception_ptr failure);
    // --- The import run ------------------------------------------------------
    // The day buffers of one parse pass, in order of their first line.
    std::vector<std::unique_ptr<VelImpBuf>> imp_bufs;
    // The reading (impPath), held open from its first line, or from the
    // start of its pass, to the end of its pass, and the file system's
    // identity of the file opened: whatever becomes of its name meanwhile,
    // the reading is in this file.
    std::unique_ptr<TMFile> f_combo;
    AnsiString impPath;
    std::pair<uint64_t, uint64_t> readingId;
    // Opens the reading at path for its pass, unless it is held already.
    void HoldReading(const AnsiString& path);
    // Holds the file opened as the reading (f_combo) with its identity.
    void HoldFile(std::unique_ptr<TMFile> file);
    // Whether impPath still leads to the reading held.
    bool ReadingInPlace() const;
    // The error line of the days handed over whose note could not be
    // written, where the reading stays.
    void ShowUnnotedDays();
    // Syncs the reading once kRecordsPerSync records, or records read over
    // kSyncAfterMs, are not on the disk (`now`: at once); counts a record
    // read when not `now`.
    void SyncRecords(bool now);
    static constexpr int kRecordsPerSync = 256;
    static constexpr uint64_t kSyncAfterMs = 200;
    int unsyncedRecords = 0;
    uint64_t unsyncedSince = 0;
    // The reading's name went during its pass: the reading is put back with
    // the notes of what was done, its orders kept, and the run ends naming
    // what is where.
    [[noreturn]] void RescueReading(std::exception_ptr failure, bool parsed);
    // A note appended to the reading held; throws when it cannot be.
    void AppendNote(const AnsiString& note);
    // A name no other reading has, for kReadingId.
    static AnsiString NewReadingId();
    // The warning of the order lines that wait in the kept-orders file.
    void ShowWaitingOrders();
    // The line of the record in doubt (see kRecordsStart; empty: none), and
    // the one carried in, until this run's first record is compared with it.
    AnsiString receiptDoubt;
    AnsiString receiptServedAgain;
    // A record served whose line is not written yet.
    bool receiptServedUnwritten = false;
    // The failure of writing the EDI orders, reported once the sales are
    // with the host.
    std::exception_ptr ediFailure;

    // What a receipt record does to the receipt in progress: joins it, ends
    // it, or stands alone.
    enum e_ReceiptPart { rp_Line, rp_Close, rp_Alone };
    static e_ReceiptPart ReceiptPartOf(std::string_view kind, int64_t type);
    // The receipt to be carried into the next run: its lines, each with
    // "\r\n", and the line of the record in doubt (empty: none).
    struct ReceiptCarry {
        TStringList lines;
        AnsiString doubt;
    };
    ReceiptCarry ReadReceiptCarry() const;
    // Replaces "receipt.tmp" with the open receipt's lines (one after
    // another, each with its "\r\n") and the record in doubt; deletes it
    // when there is nothing to carry.
    void WriteReceiptCarry(AnsiString lines, const AnsiString& doubt, bool firstLineMarker);

private:
    // The reading block of the run: the register's sales into "combo.imp".
    void ReadSalesToIMPFile();
    // Writes a receipt record's line unless it is the record in doubt
    // served again; keeps receiptTemp.
    void ReceiptLineToIMPFile(const AnsiString& line, e_ReceiptPart part);
    void RecordWithoutLine(int type);
    // Says in "combo.imp" that no record read is in doubt.
    void NothingInDoubt();
    // SaveEDIOrder, its failure kept for the end of the run: the sales go
    // to the host whatever the EDI folder does.
    void SaveEDIOrderKeepingFailure();
    void ShowEDIFailure();

    // --- The sales reading and the parse pass (cbimpread.cpp, cbreceipts.cpp,
    // cbimpparse.cpp) ---------------------------------------------------------
public:
    // The host's question how one receipt is found: printout and receipt
    // number parameters.
    bool JakSzukacParagonu(int32_t* a, int32_t* b, int32_t* c) override;
    // The card-number part of a discount card's code.
    AnsiString ParseDiscountCardCode(const AnsiString& code) const;

protected:
    // Takes the card-number run out of a card pattern.
    void SetCardPattern(const AnsiString& pattern);
    // The pattern the configuration gives without asking the register.
    void CardPatternFromConfig();

    // A receipt being parsed: nothing of it counts before its close.
    struct ReceiptInProgress {
        std::unique_ptr<ORVParagon> receipt;
        // Its cancelled goods lines.
        std::unique_ptr<ORVOther> cancelled;
        double discounts = 0;
    };
    struct ImpFileReader;
    struct ImpLine;
    void PodstawImpBuf(const TdtTools& date);
    void SetImpBufParams();
    // Makes the day of the receipt that the close line ends current.
    void SearchForImpBufDate(ImpLine& line);
    // One receipt line; null at the end of the file drops an unfinished receipt.
    void ReadParagsFromFile(TKodWazony& formats, ImpLine* line);
    void CloseReceipt(ImpLine& line);
    // Hands the till operations waiting for the next close to the current
    // day's buffer.
    void CommitOthers();
    AnsiString FormatujBarkodKodZBufparKasy(TKodWazony& formats, const AnsiString& code);
    // The printout number of the last receipt handed over: the host's value,
    // or what an earlier pass of this run handed over when that is newer.
    int32_t LastReceiptHandedOver();

    // The receipt whose lines are being parsed; null between receipts.
    std::unique_ptr<ReceiptInProgress> parReceipt;
    // Pay-ins, pay-outs and cancellations wait for the next receipt's close:
    // when the host already has that receipt, it has them too.
    struct PendingOther {
        std::unique_ptr<ORVOther> other;
        double payIn, payOut;
    };
    std::vector<PendingOther> parOthers;
    // Set once the card pattern was taken for this run.
    bool cardPatternKnown = false;
    int32_t lastReceiptThisRun = -1;

    // What the parse pass carries into the next run: whether the file holds
    // a reading of receipt records, and then the receipt open at its end and
    // the record in doubt.
    void NoteMarker(const AnsiString& line);
    void NoteReceiptLine(std::string_view text, ImpLine& line);
    // Appends a note of the pass; false (and a warning) when it cannot.
    bool MarkIMPFile(const AnsiString& note);
    bool parRecordsRead = false;
    // The lines of the receipt open so far, each with "\r\n", and the line
    // of the record in doubt.
    AnsiString parCarryText;
    AnsiString parCarryDoubt;
    // The days an earlier pass handed over, whether it kept the orders, the
    // reading's name for them (empty: none given yet), and the order lines
    // in it.
    std::set<int> parHandedOver;
    // The dates of the days this pass handed over whose note failed.
    std::vector<AnsiString> parUnnotedDays;
    bool parOrdersKept = false;
    AnsiString parReadingId;
    int parOrderRecords = 0;
    // The orders of this pass wait (see ImportFromFile).
    bool passOrdersWait = false;
    bool parArchived = false;
    // Receipts the printout guard set aside, and whether the file parsed is
    // the one just read from the register (the guard's work is then shown).
    int parSetAside = 0;
    bool parFromRegister = false;
    // LastReceiptHandedOver as the pass began.
    int32_t parLastHandedOver = 0;

    // The orders of a parse pass kept in a file of their own until written,
    // each document under the name it was given when kept: written twice, it
    // is still one document.
    AnsiString FNameZAM() const { return KatalogWymiany() + "zamowienia.tmp"; }
    struct KeptOrder {
        AnsiString name;  // the document's file name; empty in a file of an older version, and while waiting
        TStringList lines;
        // The readings whose orders these are (their kReadingId notes); none
        // in a file of an older version.
        std::vector<AnsiString> readings;
        // Orders of readings cut short, waiting for the one that completes them.
        bool waiting = false;
        // Written already; kept, without its lines, while a reading of it
        // may still be parsed.
        bool written = false;
        // Being published: written whole under the working name of its
        // name, and that renamed to its name next (see WriteEDIDocument).
        bool publishing = false;
        // Anything left to write or to remember.
        bool Holds() const { return !lines.Empty() || (written && !readings.empty()); }
        // The EDI folder it is being published in; empty in a file of an
        // older version.
        AnsiString folder;
    };
    // A failure of the kept-orders file itself, which ends the run.
    struct KeptOrdersFailure : Exception {
        using Exception::Exception;
    };
    std::vector<KeptOrder> ReadKeptOrders();
    // Whether the kept-orders file as it is on disk notes this document as
    // being published.
    bool NotedAsPublishing(const AnsiString& name);
    // A kept-orders file that says it is cut short or changed is moved aside
    // (keptOrdersSetAside: where to), so that none of it is written.
    void SetAsideDamagedKeptOrders();
    AnsiString keptOrdersSetAside;
    AnsiString DamagedKeptOrdersText() const;
    void WriteKeptOrders(const std::vector<KeptOrder>& documents);
    // The kept orders of this run: read at the first use, written back at
    // each change (StoreKeptOrders).
    std::optional<std::vector<KeptOrder>> keptOrders;
    std::vector<KeptOrder>& KeptOrders();
    void StoreKeptOrders();
    int WaitingOrderLines();
    // ediLines begin with the waiting orders.
    void TakeWaitingOrders();
    // The orders of the reading parsed are kept (noted in it, or kept under
    // its name).
    bool OrdersOfPassKept();
    // Keeps the orders of the pass once (see passOrdersWait).
    void KeepOrdersOfPass();
    void KeepEDIOrder(bool waiting);
    // The EDI folder, made when missing; throws when none is set.
    AnsiString EdiFolder();
    // The first document name of today that nothing in `folder` bears and no
    // kept document holds; throws when none of the day's numbers is free.
    AnsiString FreeEDIName(const AnsiString& folder, const std::vector<KeptOrder>& kept);
    // One document of these order lines under its name (the first free one
    // when it has none). A file of that name holding just this document is
    // this document written before; one holding anything else is not
    // overwritten: the document takes the first free name. `note` stores
    // the kept orders once the document is whole under its working name and
    // noted as being published, before it takes its name.
    void WriteEDIDocument(KeptOrder& orders, const std::function<void()>& note);
};

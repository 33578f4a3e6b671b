// What every cash-register driver of the family shares above the action
// frame: the exchange-folder files, the progress step, the lists of rejected
// records and warnings of an export and their report.
#pragma once

#include <optional>

#include "LTools.h"
#include "VelActionBase.h"
#include "mfile.h"

class VelExpBuf;
class VelImpBuf;

// A list of warnings kept in a text file, one line each; the file is made
// empty when the list is made.
class TErrorLog {
public:
    explicit TErrorLog(const AnsiString& path);
    ~TErrorLog();
    TErrorLog(const TErrorLog&) = delete;
    TErrorLog& operator=(const TErrorLog&) = delete;

    // Appends a line at the end of the file, wherever reading stopped.
    void Add(const AnsiString& text);
    void GotoFirst();
    // Reads the first line ("" when there is none).
    void GetFirst(AnsiString& text);
    // Reads the next line; true when the end was reached and nothing was read.
    bool GetNext(AnsiString& text);
    int GetCount() const { return count; }

private:
    TMFile file;
    int count = 0;
};

class VelAction : public TVelActionBase {
public:
    VelAction(TVelLibrary* library, HORVCBARG2 arg2);
    ~VelAction() override;

    // The exchange files: the exchange folder followed directly by the name.
    AnsiString FNameKEXP() const { return KatalogWymiany() + "kasa.exp"; }
    AnsiString FNameWEXP() const { return KatalogWymiany() + "wynik.exp"; }
    AnsiString FNameKIMP() const { return KatalogWymiany() + "kasa.imp"; }
    AnsiString FNameKTMP() const { return KatalogWymiany() + "kasa.tmp"; }
    AnsiString FNameKARC() const { return KatalogWymiany() + "arch1.imp"; }
    virtual AnsiString FNameLOG() const { return KatalogWymiany() + "kasa.log"; }
    // Files of the family's other drivers; a driver that has files of these
    // kinds gives them names of its own.
    AnsiString FNameIMP() const { return KatalogWymiany() + "null.imp"; }
    AnsiString FNameEXP() const { return KatalogWymiany() + "null.exp"; }
    AnsiString FNamePAR() const { return KatalogWymiany() + "paragon.imp"; }
    AnsiString FNamePARC() const { return KatalogWymiany() + "archpar.imp"; }
    AnsiString FNameKEARC() const { return KatalogWymiany() + "arch1.exp"; }

    // Shows every record up to 30, every 10th up to 200, every 25th after.
    void Progress(int& counter);

    // One line with the sales total of the buffer (none: of imp_buf), and
    // whether it was counted from the goods sales or the fiscal totals.
    void ShowTotalValue(const VelImpBuf* buffer = nullptr);

    // The export buffer's goods counts, each only when not 0 unless all:
    // to add, to rename or re-rate, to reprice, to delete.
    void ShowTowInfo(bool all);

    // Reports the rejected records and warnings of an export once: to the
    // host as lines and to the log file as one block.
    void LogujOdrzuconePrzyEksporcie();
    // Appends the rejected lines to the log file under a header, then empties them.
    virtual void FlushErrorLog(const AnsiString& header);
    // The library shows no message boxes: the question goes to the rejected
    // lines and the default button's answer is given.
    virtual int MessageBoxA(const char* text, const char* caption, int flags);

    // One line of rejected records.
    void SetErrorLog(const AnsiString& text);
    // The text into the log, or with no log a warning line to the host.
    void AddWarning(const AnsiString& text, TErrorLog* log);
    // A log that holds entries is shown as head + count + tail and its first
    // 20 entries (empty ones left out), "i tak dalej..." when it holds more,
    // every line with the given state.
    void LogWarnings(TErrorLog* log, const AnsiString& head, const AnsiString& tail, LPVState state);

    // The path as this system names it: there are no short (8.3) names
    // here, so it is the path itself; "" for a path that does not exist or
    // is longer than the 260 characters a short name may have.
    AnsiString ShortenPathName(const AnsiString& path) const;
    // Waits until the file exists (exists) or no longer exists, looking once
    // a second: 1 when it is so, 0 when the host asks to stop, -1 when
    // `seconds` (above 0) have passed. The host's last line counts the
    // seconds left down, or with seconds 0 the passes up; without seconds
    // only the host's stop ends the wait.
    int WaitForFileState(const AnsiString& path, bool exists, int seconds);

    // The register's slot (from 0) of a rate in whole percent or in
    // hundredths of a percent; throws for a rate the register's order does
    // not hold.
    int NumerStawki(int rate);
    int NumerStawkiPrec(int rate);

protected:
    // A user text of this layer, translated by the host when it can.
    AnsiString TxtAction(const AnsiString& text) const;

    bool Frej_reported = false;
    bool Fcokolwiek_eksportowano = false;
    // The running export's buffer, made and dropped by the export run.
    std::unique_ptr<VelExpBuf> exp_buf;
    // The import's day buffer being filled or saved; the import run owns it.
    VelImpBuf* imp_buf = nullptr;
    AnsiString buffer;
    TLTools tools;
    TStringList warning_log;
    bool FTrybOnLine = false;
    // The last rate asked of each slot lookup and its answer, kept for this
    // action only: another call may bring another order.
    int FLastStawka = 9999;
    std::optional<int> FLastNumerStawki;
    int FLastStawkaPrec = 9999;
    std::optional<int> FLastNumerStawkiPrec;
    TStringList error_log;
};

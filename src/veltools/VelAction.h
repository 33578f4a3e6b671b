// What every cash-register driver of the family shares above the action
// frame: the exchange-folder files, the progress step, the lists of rejected
// records and warnings of an export and their report.
#pragma once

#include "LTools.h"
#include "VelActionBase.h"

class VelExpBuf;
class VelImpBuf;

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

    // The register's slot (from 0) of a rate in hundredths of a percent;
    // throws for a rate the register's order does not hold.
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
    // The last rate asked of the slot lookup and its answer, kept for this action only.
    int FLastStawkaPrec = 9999;
    int FLastNumerStawkiPrec = -2;
    bool FLastNumerStawkiPrecValid = false;
    TStringList error_log;
};

// The export run: the host's export file into the buffer, the session, the
// register's goods cleared or reconciled, then discount cards, groups, units,
// cashiers, payment forms, packages and goods; the result file goes back to
// the host also when a step failed.
#include "cbaction.h"
#include "cberrors.h"
#include "cbexpbuf.h"
#include "cbframe.h"
#include "sysfiles.h"

void TVelComboAction::Eksport()
{
    if (Medium == md_file) throw Exception(DriverText("Ustawione złącze PLIK. Kasa nie obsługuje eksportu do pliku"));
    exp_buf = std::make_unique<TVelComboExpBuf>(this);
    // A register that deleted its goods but kept its packages is programmed
    // all the same, never left without goods; its refusal fails the run at
    // the end.
    AnsiString packagesKept;
    try {
        exp_buf->ReadFromFile(FNameKEXP(), false, -1);
        CheckExportFile();
        OpenPort();
        if (!CheckNumber()) throw Exception(DriverText("Niezgodny numer urządzenia!"));
        CommReport();
        if (ParamAsInt("RodzajTransmisji") == 3) {
            ThrowPrzerwac();
            if (ParamAsInt("ComboKasTowMax") == 1) {
                packagesKept = ResetAllPlu();
                if (!packagesKept.empty()) ListRejected(DriverText("Czyszczenie bazy opakowań"), packagesKept);
            } else {
                CancelPluList();
            }
        }
        CommReport();
        ShowTowInfo(true);
        SendDiscountCards();
        SendAssort();
        SendJMiary();
        SendCashiers();
        SendOrVerifyFPlatn();
        SendPluRecs(st_delPlu);
        SendPluRecs(st_delOpak);
        SendPluRecs(st_prgOpak);
        SendPluRecs(st_prgPlu);
        CommReport();
    } catch (...) {
        // The step that failed is the line marked, not the session's last line.
        MsgS(LPV_Error);
        EksportCleanUp(std::current_exception());
    }
    EksportCleanUp(packagesKept.empty() ? nullptr : std::make_exception_ptr(Exception(packagesKept)));
}

void TVelComboAction::EksportCleanUp(std::exception_ptr failure)
{
    std::exception_ptr first = failure;
    auto step = [&](const std::function<void()>& run) {
        try {
            run();
        } catch (const std::exception& e) {
            if (first)
                DodajKomunikat(zkBlad, e.what());
            else
                first = std::current_exception();
        } catch (...) {
            if (!first) first = std::current_exception();
        }
    };
    step([this] { ClosePort(); });
    step([this] { LogujOdrzuconePrzyEksporcie(); });
    // A result file that could not be written is not handed over: the host
    // would take an earlier run's file for this one's.
    step([this] {
        exp_buf->ZapiszWynikEksp(FNameWEXP());
        ZapiszWynikEksportu();
    });
    exp_buf.reset();
    if (first) std::rethrow_exception(first);
}

void TVelComboAction::CheckExportFile()
{
    for (const VelExpBuf::Odrzucony& line : exp_buf->odrzucone) ListRejected(line.rekord, line.powod);
    // A price change goes out as the whole goods when the register's goods
    // were cleared, or are found missing, first.
    const bool matched = ParamAsInt("RodzajTransmisji") == 3;
    // Reconciliation may find goods to delete where the file has none to send.
    if (AnyGoodsToSend() || (matched && ParamAsInt("ComboKasTowMax") != 1))
        for (int i = 0; i < exp_buf->jmiary.Count(); ++i) NumerJednostkiMiary(i);
    VelTowRec rec;
    for (int row = 0; row < exp_buf->il_rec; ++row) {
        const int status = exp_buf->PluStatus(row);
        if (status != stDod && status != stAkt && status != stCen) continue;
        exp_buf->CzytajRec(row, &rec);
        // A package always goes whole; goods but for a price change alone.
        const bool whole = rec.opakowanie || status != stCen || matched;
        if (!rec.opakowanie && whole) {
            try {
                NumerStawkiPrec(rec.stawkaPrec);
            } catch (const Exception& e) {
                throw Exception(Format(DriverText("Błąd w linii %d pliku %s, towar %s: %s").c_str(),
                                       exp_buf->LiniaPliku(row), ExtractFileName(FNameKEXP()).c_str(),
                                       ExpCytat(rec.kod).c_str(), e.Message().c_str()));
            }
        }
        if (whole) {
            // A row the register could not take in one frame would end the
            // export halfway: it is refused before anything is sent.
            AnsiString refusal;
            if (rec.opakowanie) {
                std::array<AnsiString, 8> fields;
                if (PackInsFields(rec, fields).empty()) refusal = FrameRefusal(8, fields.data());
            } else {
                std::array<AnsiString, 16> fields;
                if (PluInsFields(rec, fields).empty()) refusal = FrameRefusal(16, fields.data());
            }
            if (!refusal.empty()) {
                const VelExpBuf::Odrzucony& line = exp_buf->OdrzucWiersz(row, refusal);
                ListRejected(line.rekord, line.powod);
                continue;
            }
        }
        // The register takes whole smallest units: a host that wrote another
        // unit would see its prices cut without a word.
        const double price = rec.CenaAkt(PoziomCen);
        int32_t programmed = 0;
        if (CenaNaKase(price, programmed) && price != programmed) {
            warning_log.Add(
                Format(DriverText("%s: %s%s: %.15g ma ułamek najmniejszej jednostki waluty, kasa dostanie %d").c_str(),
                       rec.OpisOdrzuconego().c_str(), exp_buf->OpisLinii(row).c_str(),
                       ExpPoleCeny(rec.SlowoCeny(PoziomCen), GetLgLink()).c_str(), price, programmed));
            Fcokolwiek_eksportowano = true;
        }
    }
}

void TVelComboAction::CommReport()
{
    const bool neoClass = protType == pt_Neo || protType == pt_Neo102 || protType == pt_Neo201 ||
                          protType == pt_Neo301 || protType == pt_Revo;
    if (!neoClass || ParamAsInt("RodzajTransmisji") == 0) return;
    MsgAdd(DriverText("Czekaj na wykonanie raportu na kasie..."), LPV_Value, 100);
    SendAndReceive(CMD_REPCOMM);
    MsgS(RefusedQuietly(DriverText("Raport komunikacji")) ? LPV_Error : LPV_Ok);
}

bool TVelComboAction::RefusedQuietly(const AnsiString& record)
{
    if (last_err_wyk == 0) return false;
    ListRejected(record, ComboWykErrMsg(last_err_wyk));
    return true;
}

void TVelComboAction::ListRejected(const AnsiString& record, const AnsiString& reason)
{
    // A text cut at a NUL byte: the host is handed the line as a C string.
    error_log.Add(Format("%s: %s", record.c_str(), reason.c_str()));
    // The export got to the register's records, so the list is worth showing.
    Fcokolwiek_eksportowano = true;
}

bool TVelComboAction::AnyGoodsToSend() const
{
    return exp_buf && exp_buf->il_dod + exp_buf->il_akt + exp_buf->il_cen + exp_buf->il_usu > 0;
}

// The connection test: the register's model, VAT rates, clock, status and
// database sizes shown to the user, the payment forms of a fiscal register
// checked, and the register's number compared with the configured one.
#include "cbaction.h"

namespace {
const char* const kDatabaseLabels[] = {
    "- rozmiar bazy opakowań:",
    "- ilość zaprogramowanych opakowań:",
    "- rozmiar bazy klawiszy:",
    "- ilość zaprogramowanych klawiszy:",
    "- rozmiar bazy kasjerów:",
    "- ilość zaprogramowanych kasjerów:",
    "- rozmiar bazy form płatności:",
    "- ilość zaprogramowanych form płatności:",
    "- rozmiar bazy rabatów/narzutów:",
    "- ilość zaprogramowanych rabatów/narzutów:",
    "- rozmiar bazy PLU:",
    "- ilość zaprogramowanych PLU:",
    "- rozmiar bazy grup towarowych:",
    "- ilość zaprogramowanych grup towarowych:",
    "- rozmiar bazy jednostem miary:",
    "- ilość zaprogramowanych jednostek miary:",
    "- rozmiar bazy kodów kreskowych:",
    "- ilość zaprogramowanych kodów kreskowych:",
    "- rozmiar bazy formatów kodów:",
    "- ilość zaprogramowanych formatów kodów:",
};
}  // namespace

void TVelComboAction::TestConnection()
{
    if (Medium == md_file)
        throw Exception(DriverText("Ustawione złącze PLIK. Kasa nie obsługuje testu połączenia z plikiem!"));
    try {
        OpenPort();

        MsgAdd(DriverText("Odczyt nagłówka..."), LPV_None, 100);
        SendAndReceive(CMD_HEADERGET);
        MsgS(LPV_Ok);
        const int lines = DataSet[0].AsB();
        for (int i = 1; i <= lines; ++i) MsgAdd(Format("- linia %d: %s", i, DataSet[2 * i].AsS().c_str()), LPV_None, 100);

        MsgAdd(DriverText("Odczyt stawek VAT..."), LPV_None, 100);
        SendAndReceive(CMD_VATGET);
        MsgS(LPV_Ok);
        for (int i = 0; i < DataSet.Count(); ++i) {
            const uint16_t rate = DataSet[i].AsV();
            const AnsiString text = rate == 0xFFFE ? AnsiString("zw")
                                    : rate == 0xFFFF ? AnsiString("-")
                                                     : Format("%d.%02d%%", rate / 100, rate % 100);
            MsgAdd(Format("- %c: %s", 'A' + i, text.c_str()), LPV_None, 100);
        }

        MsgAdd(DriverText("Odczyt daty i czasu..."), LPV_None, 100);
        SendAndReceive(CMD_DATEGET);
        MsgS(LPV_Ok);
        const int day = DataSet[0].AsB(), month = DataSet[1].AsB(), year = DataSet[2].AsV();
        SendAndReceive(CMD_TIMEGET);
        MsgAdd(Format("- %04d-%02d-%02d %02d:%02d:%02d", year, month, day, DataSet[0].AsB(), DataSet[1].AsB(),
                      DataSet[2].AsB()),
               LPV_None, 100);

        MsgAdd(DriverText("Odczyt statusu kasy..."), LPV_None, 100);
        SendAndReceive(CMD_CASHREGSTATUSGET);
        MsgS(LPV_Ok);
        const int model = DataSet[0].AsB();
        const char* tableName = ModelTableName(model);
        const AnsiString modelName = model == 0   ? DriverText("niezidentyfikowany")
                                     : model == 1 ? AnsiString("COMBO")
                                     : tableName  ? AnsiString(tableName)
                                                  : Format("nieznany o kodzie %d", model);
        MsgAdd(DriverText("- typ protokołu komunikacyjnego: ") + modelName, LPV_None, 100);
        MsgAdd(DriverText("- numer kasy: ") + DataSet[1].AsS(), LPV_None, 100);
        MsgAdd(DriverText("- numer zalogowanego operatora: ") + IntToStr(DataSet[2].AsV()), LPV_None, 100);
        const int mode = DataSet[3].AsB();
        const AnsiString modeName = mode == 0   ? DriverText("NIEFISKALNY")
                                    : mode == 1 ? DriverText("FISKALNY")
                                    : mode == 2 ? DriverText("TYLKO DO ODCZYTU")
                                                : Format("nieznany o kodzie %d", mode);
        MsgAdd(DriverText("- tryb pracy: ") + modeName, LPV_None, 100);
        MsgAdd(Format("- data i czas fiskalizacji: %04d-%02d-%02d %d:%02d:%02d", DataSet[9].AsV(), DataSet[8].AsB(),
                      DataSet[7].AsB(), DataSet[10].AsB(), DataSet[11].AsB(), DataSet[12].AsB()),
               LPV_None, 100);
        MsgAdd(Format("- NIP: %s", DataSet[19].AsS().c_str()), LPV_None, 100);
        MsgAdd(Format("- numer unikatowy: %s", DataSet[20].AsS().c_str()), LPV_None, 100);
        MsgAdd(Format("- wersja firmware(oprogramowania): %s", DataSet[21].AsS().c_str()), LPV_None, 100);

        MsgAdd(DriverText("Odczyt statusu baz kasy..."), LPV_None, 100);
        SendAndReceive(CMD_DBSTATUSGET);
        MsgS(LPV_Ok);
        MsgAdd(DriverText("- stan totalizerów: ") +
                   (DataSet[1].AsB() == 1 ? DriverText("NIEZEROWE") : DriverText("ZEROWE")),
               LPV_None, 100);
        for (int field = 2; field <= 21; ++field) {
            MsgAdd(DriverText(kDatabaseLabels[field - 2]), LPV_Value, 100);
            MsgP(DataSet[field].AsV());
        }

        if (protType > pt_BingoHS && fiscalMode != fm_NotFiscal) {
            try {
                VerifyFPlatn();
            } catch (...) {
                DodajKomunikat(zkBlad, DriverText("Kasa jest w trybie fiskalnym. Formy płatności należy "
                                                  "zaprogramować ręcznie zgodnie z powyższymi zaleceniami."));
            }
        }

        if (!CheckNumber()) throw Exception(DriverText("Niezgodny numer urządzenia!"));
    } catch (...) {
        MsgS(LPV_Error);
        ClosePortAfterFailure();
        throw;
    }
    // Outside the guard: a link that will not close is closed once, and its
    // failure is the run's.
    ClosePort();
}

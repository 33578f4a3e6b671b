// Reading the register's receipt buffer record by record into the
// intermediate file. A record leaves the register's buffer when the next
// request confirms it, so each record's line is in the file before that
// request goes out, and the stop request is answered only then: the register
// serves the record whose confirmation was never asked for again, and the
// next run knows it by its line.
#include "cbaction.h"

void TVelComboAction::ReadParags()
{
    last_err_trn = 0;
    last_err_wyk = 0;
    isSaleRecGetCompleted = false;
    bool bufferFull = false;
    MsgAdd(DriverText("- import paragonów szczegółowych..."), LPV_Value, 100);
    int counter = 0;
    unsyncedRecords = 0;
    ReadList(CMD_SALERECGET, {DataB(0)}, {DataB(1)}, {801}, [&] {
        receiptServedUnwritten = true;
        if (!bufferFull && DataSet[0].AsB() == 1) bufferFull = true;
        Progress(counter);
        const int type = DataSet[2].AsV();
        if (type <= 1)
            Par_ParseOpak();
        else if (type <= 5)
            Par_ParseFormPl();
        else if (type <= 9)
            Par_ParseWaluta();
        else if (type <= 15)
            Par_ParsePlu();
        else if (type == 16)
            Par_ParseRapfisk();
        else if (type == 17 || type == 19)
            Par_ParseAcceptTrn();
        else if (type == 18 || type == 20)
            Par_ParseAnulTrn();
        else if (type <= 23)
            Par_ParseRabat();
        else if (type == 32 || type == 33)
            Par_ParseZam();
        else
            RecordWithoutLine(type);
        receiptServedUnwritten = false;
        // Before the next request confirms it.
        SyncRecords(false);
        ThrowPrzerwac();
    });
    // The register had no record left: every record read was confirmed.
    NothingInDoubt();
    MsgP(counter);
    isSaleRecGetCompleted = true;
    if (bufferFull)
        DodajKomunikat(zkOstrzezenie, DriverText("UWAGA! Osiągnięto niebezpieczny poziom zapełnienia bufora "
                                                 "paragonów! Zwiększ częstotliwość importów"));
}

// Goods and packages programmed on the register, and the register's goods
// read back or cleared before an export.
#include "cbaction.h"
#include "VelExpBuf.h"

void TVelComboAction::SendPluRecs(e_SendType)
{
    if (exp_buf && exp_buf->il_rec > 0) throw Exception(DriverText("Programowanie towarów nie jest jeszcze dostępne"));
}
void TVelComboAction::ResetAllPlu() { throw Exception(DriverText("Usuwanie towarów z kasy nie jest jeszcze dostępne")); }
void TVelComboAction::CancelPluList() { throw Exception(DriverText("Odczyt towarów z kasy nie jest jeszcze dostępny")); }

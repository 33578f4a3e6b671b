// Goods and packages programmed on the register, and the register's goods
// read back or cleared before an export.
#include "cbaction.h"

void TVelComboAction::SendPluRecs(e_SendType) { throw Exception(DriverText("Programowanie towarów nie jest jeszcze dostępne")); }
void TVelComboAction::ResetAllPlu() { throw Exception(DriverText("Usuwanie towarów z kasy nie jest jeszcze dostępne")); }
void TVelComboAction::CancelPluList() { throw Exception(DriverText("Odczyt towarów z kasy nie jest jeszcze dostępny")); }

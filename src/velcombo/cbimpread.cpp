// Reading the register's sales statistics, card settings, receipt records and
// cashier state into the intermediate file.
#include "cbaction.h"

void TVelComboAction::DoFiscalReport() { throw Exception(DriverText("Raport fiskalny dobowy nie jest jeszcze dostępny")); }
void TVelComboAction::ReadPluSale(e_ReadStat) { throw Exception(DriverText("Odczyt sprzedaży nie jest jeszcze dostępny")); }
void TVelComboAction::ReadDiscountCardCfg() { throw Exception(DriverText("Odczyt ustawień kart rabatowych nie jest jeszcze dostępny")); }
void TVelComboAction::ReadParags() { throw Exception(DriverText("Odczyt paragonów nie jest jeszcze dostępny")); }
void TVelComboAction::ReadCashierStatus() { throw Exception(DriverText("Odczyt stanu kasjerów nie jest jeszcze dostępny")); }

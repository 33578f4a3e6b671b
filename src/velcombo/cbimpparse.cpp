// The intermediate file parsed into one import buffer per sales day, and each
// day written, archived and handed to the host.
#include "cbaction.h"

void TVelComboAction::ReadFromFile() { throw Exception(DriverText("Analiza pliku combo.imp nie jest jeszcze dostępna")); }
void TVelComboAction::SaveImpBufs() { throw Exception(DriverText("Zapis importu sprzedaży nie jest jeszcze dostępny")); }

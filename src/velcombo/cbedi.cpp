// The orders found in an import, written as EDI documents.
#include "cbaction.h"

void TVelComboAction::AddToZamEDIDoc(const AnsiString&, const AnsiString&, int) {}
void TVelComboAction::CorrectZamEDIDoc(const AnsiString&, const AnsiString&, int) {}
void TVelComboAction::SaveEDIOrder() {}

// The orders found in an import, written as EDI documents.
#include "cbaction.h"

void TVelComboAction::SaveEDIOrder() {}

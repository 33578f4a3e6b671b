#include "VelAction.h"

VelAction::VelAction(TVelLibrary* library, HORVCBARG2 arg2) : TVelActionBase(library, arg2) {}

VelAction::~VelAction() = default;

void VelAction::Progress(int& counter)
{
    const int n = ++counter;
    if (n <= 30 || (n <= 200 && n % 10 == 0) || (n > 200 && n % 25 == 0)) MsgP(n);
}

// The action's side of the command exchange: one command over the link
// that the session opened, with the trace, progress and stop polling of
// this action.
#include "ModemCtl.h"
#include "cbaction.h"
#include "cberrors.h"
#include "cblinks.h"

void TVelComboAction::SendAndReceive(int cmd) { SendAndReceive(cmd, 0, nullptr); }

void TVelComboAction::SendAndReceive(int cmd, int n, const AnsiString* fields)
{
    TComboExchangeHooks hooks;
    hooks.Trace = [this](const AnsiString& prefix, const AnsiString& data) { Log(prefix, data); };
    hooks.Progress = [this](int progress) { MsgP(progress); };
    hooks.ReportTimeoutSeconds = [this] { return ParamAsInt("ComboComplexOrdTimeout"); };
    hooks.StopRequested = [this] { return CzyPrzerwac(); };
    std::unique_ptr<TComboLink> link = CurrentLink();
    TComboExchange(*this, link.get(), hooks).SendAndReceive(cmd, n, fields);
}

void TVelComboAction::ThrowPrzerwac()
{
    if (CzyPrzerwac()) throw Exception(ComboStopText());
}

void TVelComboAction::FailOnQuietRefusal()
{
    if (last_err_wyk != 0) throw Exception(ComboWykErrMsg(last_err_wyk));
}

std::unique_ptr<TComboLink> TVelComboAction::CurrentLink()
{
    if (Medium == md_rs232 && FPort && FPort->GetActive()) return std::make_unique<TComboSerialLink>(*FPort);
    if (Medium == md_tcpip && pStream) return std::make_unique<TComboSocketLink>(*pStream);
    return nullptr;
}

void TVelComboAction::ReadList(int contextCmd, const std::vector<AnsiString>& contextFields, int readCmd,
                               const std::vector<AnsiString>& readFields, std::initializer_list<int> endCodes,
                               const std::function<void()>& onRecord)
{
    SendAndReceive(contextCmd, static_cast<int>(contextFields.size()), contextFields.data());
    ReadList(readCmd, readFields, readFields, endCodes, onRecord);
}

void TVelComboAction::ReadList(int readCmd, const std::vector<AnsiString>& firstFields,
                               const std::vector<AnsiString>& nextFields, std::initializer_list<int> endCodes,
                               const std::function<void()>& onRecord)
{
    for (bool first = true;; first = false) {
        const std::vector<AnsiString>& readFields = first ? firstFields : nextFields;
        SendAndReceive(readCmd, static_cast<int>(readFields.size()), readFields.data());
        if (last_err_wyk == 0) {
            onRecord();
            continue;
        }
        for (int end : endCodes)
            if (last_err_wyk == end) return;
        FailOnQuietRefusal();
    }
}

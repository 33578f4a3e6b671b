#include "VelAction.h"

#include "VelExpBuf.h"
#include "VelImpBuf.h"
#include "clock.h"
#include "dttools.h"
#include "sysfiles.h"

namespace {
const char* kSection = "veltools_VelAction";
// At most this many rejected records or warnings are listed to the host.
constexpr int kListedLines = 10;
// At most this many entries of a warning log are listed to the host.
constexpr int kListedLogEntries = 20;

// The conversions of a printf format, in order. A translated format may be
// used only when they are the same as in ours: any other would read values
// that were never passed.
AnsiString Conversions(const AnsiString& format)
{
    static const AnsiString modifiers = "-+ #0123456789.*hlLqjzt";
    AnsiString found;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        size_t end = i + 1;
        while (end < format.size() && modifiers.find(format[end]) != AnsiString::npos) ++end;
        found += format.substr(i, end + 1 - i) + '\n';
        i = end;
    }
    return found;
}
}  // namespace

VelAction::VelAction(TVelLibrary* library, HORVCBARG2 arg2) : TVelActionBase(library, arg2) {}

VelAction::~VelAction() = default;

void VelAction::Progress(int& counter)
{
    const int n = ++counter;
    if (n <= 30 || (n <= 200 && n % 10 == 0) || (n > 200 && n % 25 == 0)) MsgP(n);
}

void VelAction::ShowTowInfo(bool all)
{
    if (!exp_buf) return;
    const struct {
        const char* text;
        int32_t count;
    } counts[] = {{" - do dodania", exp_buf->il_dod},
                  {" - do zmiany nazwy/stawki", exp_buf->il_akt},
                  {" - do zmiany ceny", exp_buf->il_cen},
                  {" - do usunięcia", exp_buf->il_usu}};
    for (const auto& c : counts) {
        if (!all && c.count == 0) continue;
        MsgAdd(TxtAction(c.text), LPV_Value, 100);
        MsgP(c.count);
    }
}

void VelAction::ShowTotalValue(const VelImpBuf* buffer)
{
    if (!buffer) buffer = imp_buf;
    if (!buffer) return;
    static const char* const line = " ------ WARTOŚĆ SPRZEDAŻY:     %.02Lf zł. %s ------";
    AnsiString format = TxtAction(line);
    if (Conversions(format) != Conversions(line)) format = line;
    const AnsiString label = TxtAction(buffer->fisk_z_plu ? "(w/g PLU)" : "(w/g finans.)");
    MsgAdd(Format(format.c_str(), static_cast<long double>(buffer->GetTotalValue()) / 100, label.c_str()), LPV_None, 100);
}

AnsiString VelAction::TxtAction(const AnsiString& text) const { return LgText(GetLgLink(), kSection, text); }

void VelAction::LogujOdrzuconePrzyEksporcie()
{
    if (Frej_reported || !Fcokolwiek_eksportowano || (error_log.Empty() && warning_log.Empty())) {
        Frej_reported = true;
        return;
    }
    auto list = [this](const TStringList& lines, const char* title, int kind) {
        if (lines.Empty()) return;
        MsgAdd(TxtAction(title), LPV_Value, 100);
        MsgP(lines.Count());
        for (int i = 0; i < lines.Count() && i < kListedLines; ++i) DodajKomunikat(kind, "..." + lines[i]);
        if (lines.Count() > kListedLines) DodajKomunikat(kind, TxtAction("i tak dalej..."));
    };
    list(error_log, " - towary odrzucone", zkBlad);
    list(warning_log, " - ostrzeżenia", zkOstrzezenie);
    FlushErrorLog(TxtAction("Eksport danych z dnia ") + DateTimeToStr(Now()) +
                  TxtAction("\n\rTowary odrzucone i ostrzeżenia:"));
    Frej_reported = true;
}

void VelAction::FlushErrorLog(const AnsiString& header)
{
    TMFile file;
    file.SetPath(FNameLOG());
    file.SetReadOnly(false);
    file.Open();
    file.SetPointer(file.GetSize());
    file.WriteLine(AnsiString(80, '-'));
    file.WriteLine(header);
    file.WriteLine(error_log.Text());
    file.WriteLine("");
    file.Close();
    error_log.Clear();
}

int VelAction::MessageBoxA(const char* text, const char* caption, int flags)
{
    error_log.Add(AnsiString(caption ? caption : "") + " (" + (text ? text : "") + ")");
    switch (flags & 0x0F) {
        case 2: return 5;          // abort, retry, ignore: ignore
        case 3:
        case 5:
        case 6: return 2;          // yes/no/cancel, retry/cancel, cancel/try/continue: cancel
        case 4: return 7;          // yes/no: no
        default: return 1;         // ok, ok/cancel: ok
    }
}

void VelAction::SetErrorLog(const AnsiString& text)
{
    error_log.Add(text);
}

void VelAction::AddWarning(const AnsiString& text, TErrorLog* log)
{
    if (log)
        log->Add(text);
    else
        MsgAdd(text, LPV_Warning, 100);
}

void VelAction::LogWarnings(TErrorLog* log, const AnsiString& head, const AnsiString& tail, LPVState state)
{
    if (!log || log->GetCount() == 0) return;
    MsgAdd(head + IntToStr(log->GetCount()) + tail, state, 100);
    AnsiString entry;
    log->GetFirst(entry);
    for (int i = 0; i < log->GetCount() && i < kListedLogEntries; ++i) {
        if (!entry.empty()) MsgAdd(entry, state, 100);
        if (log->GetNext(entry)) break;
    }
    if (log->GetCount() > kListedLogEntries) MsgAdd(TxtAction("i tak dalej..."), state, 100);
}

AnsiString VelAction::ShortenPathName(const AnsiString& path) const
{
    // The longest answer the family's drivers take; a longer path cut to it
    // would name another file.
    constexpr size_t kMaxPath = 260;
    return path.size() > kMaxPath ? AnsiString() : TLTools::GetDirShortPath(path);
}

int VelAction::WaitForFileState(const AnsiString& path, bool exists, int seconds)
{
    // The family counts a second as 1.15e-5 of a day.
    constexpr double kSecondMs = 1.15e-5 * 24 * 60 * 60 * 1000;
    const uint64_t start = CurrentClock().NowMs();
    for (int pass = 0;; ++pass) {
        if (FileExists(path) == exists) return 1;
        if (CzyPrzerwac()) return 0;
        int shown = pass;
        if (seconds > 0) {
            const auto elapsed = static_cast<int64_t>(static_cast<double>(CurrentClock().NowMs() - start) / kSecondMs);
            if (seconds - elapsed < 1) return -1;
            shown = static_cast<int>(seconds - elapsed);
        }
        ZmienOstatniKomunikat(zkNormalny, PodajOstatniKomunikat(true) + '\x01' + IntToStr(shown));
        Sleep(1000);
    }
}

// --- The warning log ---------------------------------------------------------------

TErrorLog::TErrorLog(const AnsiString& path)
{
    file.SetPath(path);
    file.SetReadOnly(false);
    file.Open();
    file.SetPointer(0);
    file.SetEof();
}

TErrorLog::~TErrorLog() = default;

void TErrorLog::Add(const AnsiString& text)
{
    file.SetPointer(file.GetSize());
    file.WriteLine(text);
    ++count;
}

void TErrorLog::GotoFirst()
{
    file.SetPointer(0);
}

void TErrorLog::GetFirst(AnsiString& text)
{
    GotoFirst();
    if (!file.ReadLine(text)) text.clear();
}

bool TErrorLog::GetNext(AnsiString& text)
{
    if (file.ReadLine(text)) return false;
    text.clear();
    return true;
}

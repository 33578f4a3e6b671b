// A small blocking FTP client on libcurl, with a listing model. It lives in a
// library of its own so that the driver never depends on libcurl.
//
// Every wait is bounded by the time-out (SetTimeout, 30 s when none is set):
// connecting, each answer of the server and a transfer that stalls.
// Failures throw Exception with a Polish text naming the file or folder.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "classes.h"
#include "dttools.h"
#include "sysutils.h"

typedef void CURL;

class TFTPListingItem {
public:
    AnsiString Name;
    // The listing's line as the server wrote it.
    AnsiString Details;
    int64_t Size = 0;
    TDateTime Modified = 0;
};

class TFTPListingItems {
public:
    // Size and date as the listing writes them: a size that is no number
    // counts 0, a date ParseDate cannot read gives an empty date-time.
    void AddFile(const AnsiString& name, const AnsiString& details, const AnsiString& size, const AnsiString& date);
    void AddFile(const AnsiString& name, const AnsiString& details, int64_t size, TDateTime date);
    // Throws "TFTPListingItems: rozmiar poza zakresem" for an index outside the list.
    const TFTPListingItem& Get(int i) const;
    int Count() const { return static_cast<int>(FItems.size()); }

    // A listing's date: "Mmm dd hh:mm" (within the last year) or "Mmm dd
    // yyyy"; anything else gives 0.
    static TDateTime ParseDate(const AnsiString& text);

private:
    std::vector<TFTPListingItem> FItems;
};

enum TFTPStatus { ftpConnecting, ftpConnected, ftpDisconnected, ftpTransfer, ftpReady };

class TFTPControl {
public:
    TFTPControl();
    ~TFTPControl();
    TFTPControl(const TFTPControl&) = delete;
    TFTPControl& operator=(const TFTPControl&) = delete;

    void SetHost(const AnsiString& host) { FHost = host; }
    void SetPortA(int port) { FPort = port; }
    void SetUserId(const AnsiString& user) { FUser = user; }
    void SetPassword(const AnsiString& password) { FPassword = password; }
    // Milliseconds; 0 or less: 30000.
    void SetTimeout(int ms) { FTimeout = ms; }
    void SetPassiveMode(bool passive) { FPassive = passive; }
    // 0: no status texts reach OnStatus.
    void SetReportLevel(int level) { FReportLevel = level; }
    std::function<void(const AnsiString&)> OnStatus;

    bool GetConnected() const { return FConnected; }
    // Logs in (after a disconnect when connected); the folder is then the login folder.
    void Connect();
    void Disconnect();

    // Remote names are relative to the current folder unless they start with "/".
    void Upload(const AnsiString& local, const AnsiString& remote);
    // The file comes under a working name beside `local` and replaces it only
    // when whole: a failed download leaves the old local file as it was.
    void Download(const AnsiString& remote, const AnsiString& local);
    void ChangeDir(const AnsiString& dir);
    void DeleteFileA(const AnsiString& name);
    void MakeDir(const AnsiString& dir);
    // The current folder's detailed listing, one line per item.
    void List(TStringList* list);
    // The names of its folders and of its files; either list may be null.
    void List(TStringList* dirs, TStringList* files);
    TFTPListingItems ListAndParse();
    bool FileExists(const AnsiString& name);
    bool DirExists(const AnsiString& name);
    // The current folder, as the server names it.
    const AnsiString& CurrentDir() const { return FDir; }

    static AnsiString GetFTPControlVersionInfo();

private:
    AnsiString FHost;
    int FPort = 21;
    AnsiString FUser;
    AnsiString FPassword;
    int FTimeout = 0;
    bool FPassive = true;
    int FReportLevel = 0;
    bool FConnected = false;
    CURL* FCurl = nullptr;
    // Ends with "/"; absolute once the server has named its login folder.
    AnsiString FDir;
    char FError[256] = {};

    void OnStatusLocal(TFTPStatus status, const AnsiString& text);
    void RequireConnected() const;
    // The handle reset to the session's options for a request on `path`.
    void Prepare(const AnsiString& path);
    void Perform(const AnsiString& what);
    // One command to the server on its own, with no transfer; `what` names
    // the failure.
    void Quote(const AnsiString& command, const AnsiString& what);
    AnsiString Resolve(const AnsiString& name) const;
    AnsiString Listing();
};

// The driver's toolbox: whole-file writes, safe replacement, archives with a
// dated header, the protocol trace log (LTools.cpp), and fitting texts to
// fields, packed digits, exact decimal texts, EAN-13 check digits and the
// Polish-letter code pages (LToolsText.cpp).
//
// Every file operation opens its file, does its work and closes it again.
// Files are 8-bit text, lines ended by "\r\n". Texts for the user are looked
// up in the section "veltools_LTools" of the text tool `lg` (none: Polish).
#pragma once

#include <cstdint>

#include "classes.h"
#include "mlgexttools.h"
#include "sysutils.h"

// The side of a text on which padding or cutting takes place.
enum e_just { left = 0, right = 1 };

class TLTools {
public:
    // Code-table row of texts given to plstring, and the row it converts to.
    int32_t pltype_in = 2;
    int32_t pltype_out = 2;
    // The trace log is on.
    bool czy_debug = false;
    // The trace log's file.
    AnsiString dbg_fname;

    // --- Files -----------------------------------------------------------

    // Writes `text` as the whole contents of `path` (created when missing);
    // `durable`: on the disk before it returns.
    static void BufToFile(const AnsiString& text, const AnsiString& path, bool durable = false);
    // Appends `text` to `path` (created when missing).
    static void BufToAppendFile(const AnsiString& text, const AnsiString& path, bool durable = false);
    // Gives `from` the name `to`, replacing a file `to` in one step. A folder
    // in the way throws "Błąd usunięcia pliku " + to; a failed rename throws
    // "Błąd zmiany nazwy pliku" + to.
    static void RenFile(const AnsiString& from, const AnsiString& to, const TMLgExtTools* lg);
    // Makes `path` hold `text` (appended to its old contents with `append`)
    // by writing the working name `work` beside it and renaming that over
    // `path`: `path` only ever exists whole, and the old one stays until the
    // new one is complete. `durable`: the new file and its name are on the
    // disk before it returns, so a power cut leaves the old or the new one.
    static void BufToFileEx(const AnsiString& text, const AnsiString& path, const AnsiString& work,
                            const TMLgExtTools* lg, bool append, bool durable = false);
    // Appends the lines of `src` to the archive `arc`, after a dated header
    // line ("EKSPORT" or "IMPORT"; for an export `kind` 0-3 adds the shift
    // line) when `header` is set, and after `extra` when not empty. A missing
    // `src` does nothing. A last line without a line end is copied too.
    static void ArchiveFile(const AnsiString& src, const AnsiString& arc, const TMLgExtTools* lg, bool isExport,
                            int kind, bool header, const AnsiString& extra);
    // Replaces `path` by the items of `list`, each followed by "\r\n" (null
    // list: nothing). The file is written under a working name and renamed
    // over `path`; a failure leaves the old file and throws Exception
    // "Błąd zapisu pliku " + path + ": " + reason.
    static void SaveListToFile(const TStringList* list, const AnsiString& path);
    // A plain file (not a folder) exists.
    static bool IsFile(const AnsiString& path);
    // There are no short names here: the path as given when it names a file
    // or folder that exists, empty when it names nothing.
    static AnsiString GetDirShortPath(const AnsiString& path);
    // The host's binaries folder (ORVWIN_BINARIA), ending with a separator;
    // empty when not set.
    static AnsiString WczytajSciezkeDoBinariow();
    // Moves every numbered copy of `path` ("name_0001.ext" beside
    // "name.ext") up by one number, the highest first, so that no copy takes
    // the name of another. A name whose number is not all digits is left
    // alone; a copy that cannot move throws "Błąd zmiany nazwy pliku" + its
    // new name and leaves the copies after it where they were.
    static void ArchiveFileUpdateFileNames(const AnsiString& path);

    // --- Trace log -------------------------------------------------------

    // Starts the trace in `path`: appends the dated header and turns the
    // trace on. A file that cannot be written leaves czy_debug as it was.
    void InitDebug(const AnsiString& path, const TMLgExtTools* lg);
    // Appends "hh:nn:ss.zzz " + a + " " + b as one line. A failed write turns
    // the trace off instead of failing the caller's work.
    void DebugIt(const AnsiString& a, const AnsiString& b);
    // Appends a dump, 16 bytes a line: time (or 12 blanks), 3 blanks, "%02X "
    // per byte padded to 48, 2 blanks, the bytes (below 0x20 as ".") padded
    // to 16. A failed write turns the trace off.
    void DebugItHex(const uint8_t* bytes, int count);

    // --- Texts and numbers -----------------------------------------------

    // Translates the Polish letters of `text` in place from row pltype_in to
    // row pltype_out of the code-page table and returns a copy. A row outside
    // the table throws Exception and leaves `text` unchanged.
    AnsiString plstring(AnsiString& text) const;
    AnsiString plstring(AnsiString&& text) const { return plstring(text); }
    // Makes `text` exactly n bytes long in place (a negative n counts as 0):
    // a run of `fill` added on the `pad` side, or bytes cut on the `cut` side.
    static AnsiString StrSize(AnsiString& text, int n, char fill, e_just pad, e_just cut);
    static AnsiString StrSize(AnsiString&& text, int n, char fill, e_just pad, e_just cut)
    {
        return StrSize(text, n, fill, pad, cut);
    }
    // `text` cut to at most n bytes (a negative n counts as 0); with `dots` a
    // cut text longer than 3 ends in "...".
    static AnsiString StrMax(const AnsiString& text, int n, bool dots);
    // The byte written by two hexadecimal digits (capitals).
    static uint8_t Hex2BinDigit(const char* p);
    // Packs 2n digit characters into n bytes (packed BCD for decimal digits).
    static void Dec2Bin(const char* src, uint8_t* dst, int n);
    // Unpacks n bytes into 2n characters "0" + nibble (no terminating zero).
    static void Bin2Dec(const uint8_t* src, char* dst, int n);
    // The decimal number in `text` (up to 10 decimals) times 10^n, rounded
    // half away from zero. A text that is no number, or a result outside 32
    // bits, throws Exception.
    static int32_t Str2Int(const AnsiString& text, unsigned n);
    // A VAT rate text: "zw" (exempt) is -1, any other the whole number it
    // is; a text that is no whole number throws EConvertError.
    static int32_t Str2Vat(const AnsiString& text);
    // Empties `out` and copies into it the bytes of `src` from position
    // `start` (counted from 1; below 1 counts as 1) up to the first byte
    // found in `stops` or the end; returns `out`.
    static AnsiString CopyTill(const AnsiString& src, AnsiString& out, const AnsiString& stops, int start);
    // `code` without its leading "0" characters, though never shorter than
    // `keep` characters: a code of zeros only keeps its last `keep` zeros.
    static AnsiString BezZerWiodacych(const AnsiString& code, size_t keep = 0);
    // The length of the run of `c` from its first place in `pattern`; 0 when
    // `c` is not there. Code patterns mark each field by a run of its letter.
    static int DlugoscSerii(const AnsiString& pattern, char c);
    // Turns `code` into a 13-digit EAN-13 code: digits only, made 12 long,
    // then the check digit.
    static void KorygujCyfreKontrolnaEAN13(AnsiString& code);
};

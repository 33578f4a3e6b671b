// One export run's master data in memory: the goods, customers and groups of
// the host's export file in tables, the cashiers, currencies, VAT rates and
// units in lists, the euro rate, and the goods read back from the register.
// Goods are counted by status and found by barcode through an index sorted
// once per run.
//
// Reading the file: VelExpBufRead.cpp; the index: VelExpBufIndex.cpp;
// reconciliation with the register and the result file: VelExpBufReconcile.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "LQuickSort.h"
#include "VelExpRec.h"
#include "classes.h"
#include "mlgexttools.h"

class VelAction;

class VelExpBuf : public TLQuickSort {
public:
    // action may be null: then nothing is shown.
    explicit VelExpBuf(VelAction* action);
    ~VelExpBuf() override;
    VelExpBuf(const VelExpBuf&) = delete;
    VelExpBuf& operator=(const VelExpBuf&) = delete;

    // Empties every table and list and the goods counters; the index is
    // built anew by the next search.
    void Clear();

    // Reads the export file into the tables (after appending it to
    // "ARCH2.EXP" in its folder, as export kind n). A bad line ends the
    // reading with its error; the rows read before it stay. A goods line
    // that must not reach the register is kept with nothing to do and noted
    // in odrzucone. With sort, the goods index is built at the end.
    void ReadFromFile(const AnsiString& path, bool sort, int n);

    // --- Goods rows ------------------------------------------------------
    // Appends a row from the record and counts it; the record is not changed.
    void DodajRec(const VelTowRec* rec);
    // The row's every field, with the row number in nr_buf.
    void CzytajRec(int row, VelTowRec* rec) const;
    // Replaces the row (its nr_buf from the record's) and moves the status
    // counters from the old status to the new one.
    void ZapiszRec(int row, const VelTowRec* rec);
    // Copies the row's plu_rec into `buffer`, at most `size` bytes and no
    // closing zero; the number of bytes copied.
    size_t CzytajPluRec(int row, char* buffer, size_t size) const;
    void ResetFlags(bool value);
    void SetTrOk(int row, bool value);
    // The register took the row's command. A row is carried out (tr_ok) once
    // every command it waits for is taken: a deletion of the host's waits
    // also for the deletion of the register's item that holds its barcode
    // under another number, made for it by the reconciliation.
    void Wykonany(int row);
    // The register's goods were read back and reconciled: each deletion goes
    // to goods the register was seen to hold.
    bool ListaZKasy() const { return FListaZKasy; }
    int PluStatus(int row) const;

    // A goods line of the file whose row must not go to the register (its
    // price is no number, an earlier row has its PLU number for other goods,
    // the register could not take its frame): the row is kept with nothing
    // to do, and the line is to be listed with the rejected records: the
    // goods as such a line names them, and why.
    struct Odrzucony {
        AnsiString rekord;
        AnsiString powod;
    };
    std::vector<Odrzucony> odrzucone;
    // Refuses goods row `row` for `powod`, as above; the entry added.
    const Odrzucony& OdrzucWiersz(int row, const AnsiString& powod);
    // The line of the export file a goods row was read from; 0 for a row that
    // does not come from the file.
    int LiniaPliku(int row) const;
    // Where a goods row stands in the export file, as a message line begins
    // with it: "linia 12 pliku kasa.exp: ".
    AnsiString OpisLinii(int row) const;
    // The price level whose price the export programs (VelTowRec::CenaAkt);
    // the base knows no register: 0, the retail price.
    virtual int PoziomCenNaKase() const { return 0; }
    // The line of the export file unit i (of jmiary) was read from; 0 for
    // one that does not come from the file.
    int LiniaJednostki(int i) const;

    // --- Goods read back from the register --------------------------------
    void AddInPlu(const AnsiString& kod, const AnsiString& dodinfo);
    int CountInPlu() const { return static_cast<int>(ds_inplu.size()); }

    // --- Index by barcode ---------------------------------------------------
    // One entry per goods row, in row order.
    void CreateIndex();
    // The goods row with barcode kod among the first n entries of the index
    // (at most as many as it was built with); -1 when n is 0 or less or none
    // matches. The first search builds and sorts the index; rows appended
    // after that are not in it.
    int FindRec(const AnsiString& kod, int n);
    int SortCompare(int a, int b) override;
    int ExChange(int a, int b) override;
    int FindCompare(int i) override;

    // --- Reconciliation with the register's goods ---------------------------
    // The record of a register information line; the base knows no register.
    virtual void DodInfo2TowRec(const AnsiString& dodinfo, VelTowRec* rec);
    // The host row's status after comparing it with the register's item.
    virtual void ModifyPLUStatus(VelTowRec& host, VelTowRec& reg);
    virtual bool CheckIfDeletePLU(VelTowRec& host, VelTowRec& reg);
    // The barcode of a goods row as the export puts it into the register;
    // the base knows no register and keeps it.
    virtual AnsiString KodNaKase(const AnsiString& kod) const;
    // Sets every goods row's status from the register's list (AddInPlu):
    // what differs is sent, what the host lacks is deleted, and what the
    // register lacks is new to it (NieobecneNaKasie). A register's item is
    // the host row whose barcode the export would put there (KodNaKase),
    // else the row of that barcode without its leading zeros; of several
    // such rows, the one of the item's number, else the first. With stripCode
    // the register's barcodes lose their leading zeros for good.
    //
    // A deletion of the host's is carried out only once the register holds
    // nothing of it: it is sent when the register holds its number; the
    // register's item holding its barcode under another number is deleted
    // with it, unless a row of the host other than a deletion keeps that
    // number or barcode; when the register holds neither, it is carried out
    // as it stands.
    void AnalizujCancelBufor(bool stripCode);
    // Goods rows by kind: the goods, the packages, or both.
    enum class RodzajWierszy { Towary, Opakowania, Wszystkie };
    // The register's goods (or packages) were all deleted: every host row of
    // that kind is new to it, as a row the reconciliation did not find.
    void PoWyczyszczeniuKasy(RodzajWierszy rodzaj);
    // Recounts the goods counters from the rows.
    void PrzeliczTowary();
    // Writes the goods rows carried out as the host asked into `path`
    // ("PLU;plu;koldod;barcode;status word" lines); counts them in effect_exp.
    void ZapiszWynikEksp(const AnsiString& path);

    // --- Customers and groups ------------------------------------------------
    void DodajRec(const VelKontrRec* rec);
    void CzytajRec(int row, VelKontrRec* rec) const;
    void DodajAsort(const VelAsort* rec);
    void CzytajAsort(int row, VelAsort* rec) const;
    int CountKontrahents() const { return static_cast<int>(ds_kontr.size()); }
    int CountAsort() const { return static_cast<int>(ds_asort.size()); }
    // Appends a goods row for each customer's discount card: PLU the
    // customer's number + przedrostek, barcode the card code built by the
    // card pattern `format`, prices the customer's points in grosze, the
    // first unit and the first VAT rate. `debug` receives the conversion of
    // the first 3000 customers. Returns the number of such rows.
    int UtworzTowaryZKontrahentow(int przedrostek, const AnsiString& format, AnsiString& debug);

    // --- Cashiers, currencies, units, rates -----------------------------------
    int CountKasjer() const { return static_cast<int>(kasjerzy.size()); }
    int CountWaluta() const { return static_cast<int>(waluty.size()); }
    // Throw "Nieprawidłowy numer kasjera" / "Nieprawidłowy numer waluty" for
    // an index outside the list.
    VelKasjer* GetKasjer(int i);
    VelWaluta* GetWaluta(int i);
    // Unit i's number (1 when no number), decimals (0 when no number) and
    // name; an index outside the list throws "Indeks jednostki miary poza
    // zakresem".
    int IdxJednId(int i) const;
    int IdxJednPrec(int i) const;
    AnsiString IdxJednNazwa(int i) const;
    // The name of the first unit numbered jedn; "szt." when there is none.
    AnsiString NazwaJedn(int jedn) const;
    // The place, from 1, of the last equal rate in stawki / stawkiPrec; 0
    // when there is none.
    int NumerStawki(int rate) const;
    int NumerStawkiPrec(int rate) const;

    // Lines written to the result file.
    int32_t effect_exp = 0;
    // Goods rows, and those by status and the packages among them.
    int32_t il_rec = 0;
    int32_t il_dod = 0, il_akt = 0, il_cen = 0, il_usu = 0;
    int32_t il_opak = 0;
    // A "KONA" line was read: the customer list changed.
    bool zm_listy_kontr = false;
    int32_t il_kontr = 0;
    int32_t il_tow_z_kontr = 0;
    // VAT rates as the host wrote them, and in hundredths of a percent.
    TStringList stawki;
    TStringList stawkiPrec;
    // Units: number;decimals;name.
    TStringList jmiary;
    double FKursEURO = 0;

protected:
    // A user text of the buffer under its key.
    AnsiString Text(const char* key, const char* fallback) const;

    VelAction* velaction;
    const TMLgExtTools* LgLink;
    AnsiString SearchedPlu;

private:
    struct InPlu {
        AnsiString kod;
        AnsiString dodinfo;
    };

    // What the reading of one file keeps from line to line: the words and
    // records each line is parsed into, and by PLU number the goods row that
    // first programs goods under it, plus one (0: none yet).
    struct Parsing {
        TLJWords words = ExpWords("");
        VelTowRec tow;
        VelKontrRec kontr;
        VelAsort asort;
        std::vector<int32_t> pluRow;
        // A line longer than the file's blocks, held here alone.
        AnsiString longLine;
    };
    // Stores one trimmed line (numbered from 1) of the export file by its kind.
    void ParseLine(std::string_view line, int number, Parsing& parsing);
    // The euro rate of an "EUR" line's number.
    void SetKursEURO(const AnsiString& text);
    void CountStatus(stTow status, int delta);
    // Numbers and counts the goods row appended last.
    void CountNewRow();
    // The unit item i split into its fields; throws for an index outside the list.
    TLJWords Jednostka(int i, const char* key) const;
    // The goods row found for a barcode among the first n rows, as FindRec.
    int FindRow(std::string_view kod, int n);
    // Every such row, in row order, appended to rows.
    void FindRows(std::string_view kod, int n, std::vector<int>& rows);
    // The entry of the index FindRow finds; -1 when none.
    int FindEntry(std::string_view kod, int n);
    // Goods rows among the first n by the barcode the register holds for
    // them, where that is not their own.
    using HeldCodes = std::unordered_multimap<AnsiString, int>;
    // The host rows that would put the register's barcode kod there: those
    // of that very barcode, then those whose barcode the export turns into
    // it, each in row order.
    void HeldRows(std::string_view kod, const HeldCodes& turned, int n, std::vector<int>& rows);
    // Sets a stored row's status, moving the counters.
    void SetStatus(size_t row, stTow status);
    // The rows of `rodzaj` among the first n the register does not hold
    // (`flag` not set): an update or a price change goes out as an addition;
    // a deletion has nothing left to delete and is carried out. Then the
    // counters are recounted.
    void NieobecneNaKasie(size_t n, RodzajWierszy rodzaj);

    // Goods rows as the table keeps them: each record's numbers and flags as
    // they are, and its twelve texts one after another in one allocation of
    // their own size (most are a few bytes or none, where a string alone
    // takes 32), so a large file's goods take less room than its text.
    // Rows come in blocks of a fixed number: the table grows without being
    // moved, so it is never held twice, and a million rows are a thousand
    // allocations besides their texts.
    class Rows {
    public:
        struct Row {
            int32_t plu, koldod, stawka, stawkaPrec, jedn, precyzja, plu_opakowania, nr_asort, TerminW, poziom_cen,
                ile_w_kodzie, ile_jedn, nr_buf, nr_src_buf;
            stTow status, org_status;
            double cena, cena_hurt, cena_noc, cena_dod, dod_rabat_tow;
            bool czy_wazony, wagowo_ilosciowy, opakowanie, cena_otwarta, tr_ok, flag, add_rec, from_ecr, tow_z_kontr;
            // The barcode the host gave is the barcode: its text is kept empty.
            bool orgIsKod;
            uint32_t textSize;
            std::unique_ptr<char[]> texts;

            // The barcode, the first of the texts.
            std::string_view Kod() const;
        };

        Row& operator[](size_t i) { return FBlocks[i / Block][i % Block]; }
        const Row& operator[](size_t i) const { return FBlocks[i / Block][i % Block]; }
        size_t size() const { return FSize; }
        bool empty() const { return FSize == 0; }
        Row& back() { return (*this)[FSize - 1]; }
        void push_back(const VelTowRec& rec);
        void clear();
        // The whole record of a row, and a row replaced by a record.
        static void Read(const Row& row, VelTowRec& rec);
        void Write(Row& row, const VelTowRec& rec);

    private:
        static constexpr size_t Block = 1024;
        std::vector<std::unique_ptr<Row[]>> FBlocks;
        size_t FSize = 0;
    };

    // An entry of the barcode index: its row, and the barcode's first 16
    // bytes in two numbers that order as the bytes do, so that a sort or a
    // search compares numbers held in the index and reads a row's texts only
    // for barcodes longer than that.
    struct IndexEntry {
        uint64_t head[2];
        uint32_t size;
        int32_t row;
    };
    static IndexEntry IndexKey(std::string_view kod, int32_t row);
    int CompareEntries(const IndexEntry& a, const IndexEntry& b) const;

    // Row `row` of the goods table; a number outside it throws.
    Rows::Row& StoredRow(int row);
    const Rows::Row& StoredRow(int row) const;

    Rows ds_plu;
    // The name of the export file read last.
    AnsiString FPlik;
    // The file's line of each goods row read from it, by row, and of each unit.
    std::vector<int32_t> FLinie;
    std::vector<int32_t> FLinieJednostek;
    std::vector<InPlu> ds_inplu;
    // Set by the reconciliation: by host row whose deletion waits also for
    // a deletion made for it, the commands it still waits for; by row of
    // such a deletion of the register's item, the host row it was made for;
    // by host deletion, the later deletions of its number carried out with it.
    std::unordered_map<int, int> FZalegle;
    std::unordered_map<int, int> FUsuwanyDla;
    std::unordered_multimap<int, int> FTakze;
    bool FListaZKasy = false;
    std::vector<IndexEntry> ds_index;
    IndexEntry FSearched{};
    std::vector<VelAsort> ds_asort;
    std::vector<VelKontrRec> ds_kontr;
    std::vector<std::unique_ptr<VelKasjer>> kasjerzy;
    std::vector<std::unique_ptr<VelWaluta>> waluty;
};

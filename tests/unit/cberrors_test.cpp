#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "cberrors.h"
#include "mlgexttools.h"
#include "process_state.h"
#include "thrown.h"

namespace {
struct Expected {
    int code;
    bool fixed;
    const char* text;  // code page 1250
};

// Every code of the register's catalogue with its text, in code page 1250.
const Expected kCatalogue[] = {
    {10, false, "b\xB3\xB9" "d nietypowy - rezygnacja, przerwanie funkcji"},
    {50, false, "B\xB3\xB9" "d wykonywania operacji przez kas\xEA"},
    {51, false, "B\xB3\xB9" "d wykonywania operacji przez kas\xEA"},
    {52, false, "B\xB3\xB9" "d wykonywania operacji przez kas\xEA"},
    {53, false, "B\xB3\xB9" "d wykonywania operacji przez kas\xEA"},
    {54, false, "B\xB3\xB9" "d wykonywania operacji przez kas\xEA"},
    {55, false, "B\xB3\xB9" "d wykonywania operacji przez kas\xEA"},
    {56, false, "B\xB3\xB9" "d wykonywania operacji przez kas\xEA"},
    {156, true, "zerowa ilo\x9C\xE6"},
    {157, true, "ilo\x9C" "c zbyt du\xBF" "a"},
    {300, false, "karta rabatowa niewa\xBFna"},
    {301, false, "b\xB3\xEA" "dna karta"},
    {302, false, "Karta rabatowa niedost\xEApna w konfiguracji"},
    {303, false, "Nieznany kod b\xB3\xEA" "du karty rabatowej"},
    {304, false, "b\xB3\xEA" "dny typ karty"},
    {305, false, "b\xB3\xEA" "dny format karty"},
    {306, true, "Niezaprogramowany rabat w kasie"},
    {307, true, "W systemie nie skonfigurowano \xBF" "adnej autoryzacji kart rabatowych"},
    {308, true, "Pusta nazwa autoryzacji"},
    {309, true, "Pusty adres serwera autoryzacji"},
    {310, true, "B\xB3\xEA" "dny typ autoryzacji dla kart rabatowych"},
    {311, true, "Nie znaleziono autoryzacji dla kart rabatowych"},
    {312, true, "B\xB3\xEA" "dna odpowied\x9F serwera"},
    {313, true, "B\xB3\xB9" "d po\xB3\xB9" "czenia z serwerem"},
    {320, false, "brak uprawnie\xF1 kasjera do wykonania operacji"},
    {321, false, "Statystyki grup nieaktywne"},
    {323, false, "Funkcja zablokowana w konfiguracji"},
    {324, true, "Zablokowane podmenu"},
    {342, false, "Forma p\xB3" "atno\x9C" "ci nie jest walut\xB9"},
    {364, true, "B\xB3\xEA" "dne has\xB3o w sensie niezgodno\x9C" "ci z poprawno\x9C" "ci\xB9 sk\xB3" "adniow\xB9"},
    {365, true, "B\xB3\xEA" "dne has\xB3o w sensie niezgodno\x9C" "ci z tym z bazy"},
    {382, false, "pr\xF3" "ba wykonania drugiego zerowego raportu w danym dniu"},
    {384, true, "Brak rekordu w pami\xEA" "ci"},
    {400, false, "b\xB3\xEA" "dna warto\x9C\xE6"},
    {401, false, "nazwa pocz\xB9tkowa wi\xEAksza od ko\xF1" "cowej"},
    {402, false, "numer pocz\xB9tkowy wi\xEAkszy od ko\xF1" "cowego"},
    {403, false, "kod pocz\xB9tkowy wi\xEAkszy od ko\xF1" "cowego"},
    {404, true, "Wprowadzono nieprawid\xB3owy b\xB3\xB9" "d kontrolny"},
    {440, false, "zalogowany kierownik"},
    {441, false, "nie zalogowany kierownik"},
    {442, false, "zalogowany u\xBFytkownik"},
    {443, false, "nie zalogowany u\xBFytkownik"},
    {444, false, "zwora serwisowa do sprawdzenia przy operacji przez protok\xF3\xB3"},
    {445, false, "Wymagany jest predefiniowany kierownik."},
    {500, false, "przepe\xB3nienie statystyki minimalnej"},
    {501, false, "przepe\xB3nienie statystyki maksymalnej"},
    {521, false, "b\xB3\xEA" "dny stan kasy. Nale\xBFy wykona\xE6 raport zmianowy. Przy w\xB3\xB9" "czaniu kontroli stanu kasy."},
    {540, false, "brak towaru lub zestawu w magazynie"},
    {541, false, "brak opakowania w magazynie"},
    {542, false, "przepe\xB3nienie ilo\x9C" "ci towaru lub zestawu w magazynie"},
    {543, false, "przepe\xB3nienie ilo\x9C" "ci opakowania w magazynie"},
    {544, false, "pr\xF3" "ba operacji na nieaktywnym magazynie PLU"},
    {545, false, "pr\xF3" "ba operacji na nieaktywnym magazynie opakowa\xF1"},
    {546, false, "operacja zablokowana - stany minimalne PLU nieaktywne"},
    {547, false, "operacja zablokowana - stany minimalne opakowa\xF1 nieaktywne"},
    {700, false, "b\xB3\xEA" "dny adres IP"},
    {701, false, "b\xB3\xB9" "d numeru tonu"},
    {702, false, "b\xB3\xB9" "d d\xB3ugo\x9C" "ci impulsu szuflady"},
    {703, false, "b\xB3\xB9" "d stawki VAT"},
    {704, false, "b\xB3\xB9" "d czasu wylogowania"},
    {705, false, "b\xB3\xB9" "d czasu u\x9Cpienia"},
    {706, false, "b\xB3\xB9" "d czasu wy\xB3\xB9" "czenia"},
    {707, false, "b\xB3\xB9" "d procentu zape\xB3nienia buf. pozycji paragonowych"},
    {708, false, "b\xB3\xEA" "dna konfiguracja zabezpiecze\xF1 logowania"},
    {709, false, "b\xB3\xEA" "dny atrybut nag\xB3\xF3wka"},
    {710, false, "b\xB3\xEA" "dny tryb wprowadzania dla kart rabatowych"},
    {711, false, "b\xB3\xEA" "dny timeout dla kart rabatowych"},
    {712, false, "b\xB3\xEA" "dny atrybut stopki reklamowej"},
    {713, false, "do zast\xB9pienia przez konkrety"},
    {714, false, "b\xB3\xEA" "dna warto\x9C\xE6 kontrastu wy\x9Cwietlacza"},
    {715, false, "b\xB3\xEA" "dna warto\x9C\xE6 pod\x9Cwietlenia wy\x9Cwietlacza"},
    {716, false, "b\xB3\xEA" "dna warto\x9C\xE6 czasu zaniku pod\x9Cwietlenia"},
    {717, false, "za d\xB3uga linia nag\xB3\xF3wka albo stopki"},
    {718, false, "b\xB3\xEA" "dna konfiguracja komunikacji"},
    {719, false, "b\xB3\xEA" "dna konfiguracja protoko\xB3u kom."},
    {720, false, "b\xB3\xEA" "dny identyfikator portu"},
    {721, false, "b\xB3\xEA" "dny numer tekstu reklamowego"},
    {722, false, "podany czas wychodzi poza wymagany zakres"},
    {723, false, "podana data/czas niepoprawne"},
    {724, false, "inna godzina w r\xF3\xBFnicach czasowych 0<=>23"},
    {725, false, "b\xB3\xEA" "dny numer kasy"},
    {726, false, "b\xB3\xEA" "dna zawarto\x9C\xE6 tekstu w linii wy\x9Cwietlacza"},
    {727, false, "b\xB3\xEA" "dna warto\x9C\xE6 dla przewijania na wy\x9Cwietlaczu"},
    {728, false, "b\xB3\xEA" "dna konfiguracja portu"},
    {729, false, "b\xB3\xEA" "dny typ raportu (w protokole)"},
    {730, false, "b\xB3\xEA" "dny zakres statystyk raportu (w protokole)"},
    {731, false, "b\xB3\xEA" "dny parametr raportu (w protokole)"},
    {732, false, "b\xB3\xEA" "dny identyfikator raportu (w protokole)"},
    {733, true, "Waluta nie mo\xBF" "e by\xE6 domy\x9Cln\xB9 form\xB9 p\xB3" "atno\x9C" "ci"},
    {735, false, "b\xB3\xEA" "dna flaga operacji na magazynie"},
    {736, false, "podana data niepoprawna"},
    {737, false, "b\xB3\xEA" "dny typ urz\xB9" "dzenia w konfigurowaniu portu przez protok\xF3\xB3"},
    {738, false, "nieprawid\xB3owa konfiguracja Ethernetu"},
    {739, false, "b\xB3\xEA" "dna warto\x9C\xE6 czasu wy\x9Cwietlana na weryfikatorez cen"},
    {740, false, "b\xB3\xEA" "dna warto\x9C\xE6 op\xF3\x9Fnienia dla weyfikatora cen"},
    {741, true, "Nieprawid\xB3owy zakres dat"},
    {742, true, "B\xB3\xEA" "dna konfiguracja rabtu czasowego"},
    {743, true, "Multiplekser nie mo\xBF" "e by\xE6 pod\xB3\xB9" "czony pod COM1"},
    {744, true, "Z\xB3" "a warto\x9C\xE6 podtypu dla multipleksera"},
    {746, true, "B\xB3\xB9" "d parametr\xF3w polecenia drukarki paragonowej"},
    {747, true, "Niedozwolone ustawienia konfiguracji urz\xB9" "dzenia"},
    {748, true, "Nieprawid\xB3owy zakres czasu"},
    {749, true, "B\xB3\xEA" "dne teksty weryfikatora"},
    {751, true, "Port zaj\xEAty przez protok\xF3\xB3 transmisji"},
    {752, true, "nazwa nie jest unikalna"},
    {753, true, "pusta nazwa"},
    {759, true, "DHCP aktywne. Funkcja niedost\xEApna"},
    {760, true, "Port zarezerwowany na us\xB3ugi systemowe"},
    {761, true, "Port zarezerwowany przez us\xB3ug\xEA FSP"},
    {762, true, "Nie znaleziono adresu IP"},
    {769, true, "Konfiguracja zape\xB3niona"},
    {780, false, "aktywny klucz kasjerski"},
    {781, false, "trwa wydruk"},
    {782, true, "Puste has\xB3o operatora"},
    {800, false, "baza zape\xB3niona"},
    {801, false, "brak rekord\xF3w do odczytu"},
    {802, false, "brak rekord\xF3w do usuni\xEA" "cia"},
    {803, false, "nast\xB9pi\xB3 reset bazy odsy\xB3" "ania sprzeda\xBFy"},
    {804, false, "bufor pozycji paragonowych zape\xB3niony"},
    {805, true, "Nieskonfigurowany bufor pozycji paragon\xF3w"},
    {806, true, "B\xB3\xEA" "dna konfiguracja bufora"},
    {807, true, "Pusta nazwa urz\xB9" "dzenia"},
    {808, true, "Nazwa nie jest unikalna"},
    {809, true, "Nie znaleziono urz\xB9" "dzenia"},
    {810, true, "Konflikt urz\xB9" "dzenia z skanerem"},
    {811, true, "Konflikt urz\xB9" "dzenia z wag\xB9"},
    {812, true, "Konflikt urz\xB9" "dzenia z monitorem"},
    {813, true, "Konflikt urz\xB9" "dzenia z PC"},
    {814, true, "Konflikt urz\xB9" "dzenia z weryfikatorem cen"},
    {815, true, "Konflikt urz\xB9" "dzenia z drukark\xB9 zewn\xEAtrzn\xB9"},
    {816, true, "Konflikt urz\xB9" "dzenia z terminalem p\xB3" "atniczym"},
    {817, true, "Konflikt urz\xB9" "dzenia z modemem terminala p\xB3" "atniczego"},
    {818, true, "Konflikt urz\xB9" "dzenia z multiplekserem"},
    {819, true, "Konflikt urz\xB9" "dzenia z innym urz\xB9" "dzeniem"},
    {820, false, "negatywny wynik testu"},
    {821, false, "Brak testowanej opcji w konfiguracji"},
    {822, false, "Test niedost\xEApny przy aktywnym kluczu kasjerskim"},
    {840, true, "Logowanie zdalne aktywne, ale nie by\xB3o zalogowania przez protok\xF3\xB3"},
    {841, true, "B\xB3\xEA" "dne has\xB3o logowania zdalnego"},
    {880, true, "Konflikt urz\xB9" "dzenia z tunelowaniem"},
    {900, false, "b\xB3\xEA" "dny format kodu wa\xBFonego"},
    {901, false, "rekord ju\xBF zaprogramowany"},
    {902, false, "rekord jest predefiniowany"},
    {903, false, "rekord nie istnieje"},
    {904, false, "baza jest pusta"},
    {905, false, "baza jest pe\xB3na"},
    {906, false, "b\xB3\xB9" "d zapisu"},
    {907, false, "b\xB3\xB9" "d odczytu"},
    {908, false, "brak rekordu w indeksie"},
    {909, false, "nieprawid\xB3owy numer rekordu"},
    {910, false, "nazwa nie jest unikalna"},
    {911, false, "nie znaleziono okre\x9Clonego opakowania"},
    {912, false, "nie znaleziono okre\x9Clonej grupy tow."},
    {913, false, "nie znaleziono okre\x9Clonego rabatu"},
    {914, false, "nie znaleziono okre\x9Clonej jednostki miary"},
    {915, false, "nieprawid\xB3owa nazwa"},
    {916, false, "nieprawid\xB3owa warto\x9C\xE6"},
    {917, false, "nieprawid\xB3owy identyfikator bazy"},
    {918, false, "nieprawid\xB3owe has\xB3o"},
    {919, false, "nieunikalne has\xB3o"},
    {920, false, "nieunikalny kod kreskowy"},
    {921, false, "nieprawid\xB3owy kod kreskowy"},
    {922, false, "pr\xF3" "ba umieszczenia zestawu w zestawie"},
    {923, false, "nieunikalny numer PLU w zestawie"},
    {924, false, "b\xB3\xEA" "dny identyfikator stawki VAT"},
    {925, false, "niepoprawna warto\x9C\xE6 progu(\xF3w) w rabacie progresywnym"},
    {926, false, "niepoprawna cena"},
    {927, false, "PLU ju\xBF jest w notatniku"},
    {928, false, "notatnik jest zape\xB3niony"},
    {929, false, "b\xB3\xEA" "dny symbol waluty"},
    {930, false, "b\xB3\xEA" "dny kurs waluty"},
    {931, false, "b\xB3\xEA" "dna warto\x9C\xE6 procentowa"},
    {932, false, "b\xB3\xEA" "dna warto\x9C\xE6 rabatu"},
    {933, false, "rabat progresywny - za du\xBFo prog\xF3w"},
    {934, false, "rabat progresywny - brak prog\xF3w"},
    {935, false, "niepoprawna kolejno\x9C\xE6 warto\x9C" "ci progowych"},
    {936, false, "b\xB3\xEA" "dna warto\x9C\xE6 promocji MxN"},
    {937, false, "nieprawid\xB3owy typ rabatu"},
    {938, false, "pr\xF3" "ba usuni\xEA" "cia aktywnego linku (opakowania powi\xB9zanego z towarem)"},
    {939, false, "za du\xBFo got\xF3wkowych form p\xB3" "atno\x9C" "ci"},
    {940, false, "pr\xF3" "ba zamiany predefiniowanego kierownika na kasjera"},
    {941, false, "pr\xF3" "ba zmiany PLU na zestaw albo na odwr\xF3t"},
    {942, false, "pr\xF3" "ba zmiany predefiniowanej formy p\xB3" "atno\x9C" "ci na niegot\xF3wkow\xB9"},
    {943, false, "pr\xF3" "ba kasowania zalogowanego u\xBFytkownika"},
    {944, false, "niedozwolona operacja na rekordzie z niezerow\xB9 statystyk\xB9"},
    {945, false, "pusta nazwa rekordu"},
    {946, false, "zbyt du\xBFo element\xF3w w zestawie"},
    {947, false, "b\xB3\xEA" "dny typ formy p\xB3" "atno\x9C" "ci"},
    {948, false, "nie wydrukowano operacji programowania"},
    {949, false, "nie wydrukowano zmiany nazwy"},
    {950, false, "nie wydrukowano zmiany stawki"},
    {951, false, "nie wydrukowano operacji kasowania"},
    {952, false, "PLU jest elementem zestawu"},
    {953, false, "nieunikalny numer PLU w obr\xEA" "bie tego samego zestawu"},
    {954, false, "nie ma takiego elementu zestawu"},
    {955, false, "przepe\xB3nienie bufora zmiany nazwy PLU"},
    {956, false, "nie znaleziono u\xBFytkownika o podanym numerze"},
    {957, false, "nie znaleziono rabatu o podanym numerze"},
    {958, false, "nie znaleziono formy p\xB3" "atno\x9C" "ci o podanym numerze"},
    {959, false, "jednoczesna zmiany nazwy i stawki"},
    {960, false, "dana forma p\xB3" "atno\x9C" "ci musi by\xE6 na raporcie u\xBFytkownika"},
    {961, false, "oczekiwana niegot\xF3wkowa forma p\xB3" "atno\x9C" "ci"},
    {962, false, "b\xB3\xEA" "dna flaga formy p\xB3" "atno\x9C" "ci"},
    {963, false, "b\xB3\xEA" "dna nazwa formy p\xB3" "atno\x9C" "ci"},
    {964, false, "oczekiwany zestaw a nie towar"},
    {965, false, "id karty ju\xBF istnieje w bazie"},
    {966, false, "niepoprawny kod kreskowy"},
    {967, false, "b\xB3\xEA" "dny format ilo\x9C" "ci (min. stan magazynowy)"},
    {968, false, "nie zaprogramowano \xBF" "adnej waluty"},
    {969, false, "niedozwolona operacja na bazie z niezerowymi statystykami"},
    {970, false, "zbyt du\xBFo kod\xF3w kreskowych"},
    {971, false, "Nieprawid\xB3owa funkcja klawisza skr\xF3tu"},
    {972, false, "Nieprawid\xB3owy zakres rekord\xF3w"},
    {973, false, "Nie znaleziono zestawu raport\xF3w"},
    {974, false, "Niepoprawny kontekst bazy danych"},
    {975, false, "Nie ma wi\xEA" "cej rekord\xF3w wg kontekstu"},
    {976, false, "PLU jest zestawem"},
    {979, false, "b\xB3\xEA" "dne uprawnienia u\xBFytkownika"},
    {980, false, "b\xB3\xEA" "dny identyfikator terminala"},
    {983, true, "B\xB3\xEA" "dny typ b\xB3\xEA" "du"},
    {984, true, "B\xB3\xEA" "dna maksymalna kwota CashBack"},
    {986, true, "PLU nie jest towarem"},
    {987, true, "Powi\xB9zane PLU nie istnieje"},
    {988, true, "Stawka PTU r\xF3\xBFna od stawki PLU powi\xB9zanego"},
    {989, true, "Oczekiwany wielopak"},
    {990, true, "Jedne ze sk\xB3" "adnik\xF3w zestawu jest wielopakiem"},
    {991, true, "Zmiana stawki w wielopaku niemo\xBFliwa. Wykonaj raport komunikacji"},
    {992, true, "B\xB3\xEA" "dna ilo\x9C\xE6"},
    {993, true, "Pr\xF3" "ba powi\xB9zania zestawu z wielopakiem"},
    {995, true, "Format karty rabatowej nie jest unikalny"},
    {1000, false, "b\xB3\xB9" "d fatalny modu\xB3u fiskalnego."},
    {1001, false, "wypi\xEAta pami\xEA\xE6 fiskalna"},
    {1002, false, "b\xB3\xB9" "d zapisu"},
    {1003, false, "b\xB3\xB9" "d nie uj\xEAty w specyfikacji bios"},
    {1004, false, "b\xB3\xEA" "dne sumy kontrolne"},
    {1005, false, "b\xB3\xB9" "d w pierwszym bloku kontrolnym"},
    {1006, false, "b\xB3\xB9" "d w drugim bloku kontrolnym"},
    {1007, false, "b\xB3\xEA" "dny id rekordu"},
    {1008, false, "b\xB3\xB9" "d inicjalizacji adresu startowego"},
    {1009, false, "adres startowy zainicjalizowany"},
    {1010, false, "numer unikatowy ju\xBF zapisany"},
    {1011, false, "brak numeru w trybie fiskalnym"},
    {1012, false, "b\xB3\xB9" "d zapisu numeru unikatowego"},
    {1013, false, "przepe\xB3nienie numer\xF3w unikatowych"},
    {1014, false, "b\xB3\xEA" "dny j\xEAzyk w numerze unikatowym"},
    {1015, false, "wi\xEA" "cej ni\xBF jeden NIP"},
    {1016, false, "kasa w trybie do odczytu bez rekordu fiskalizacji"},
    {1017, false, "przekroczono liczb\xEA zerowa\xF1 RAM"},
    {1018, false, "przekroczono liczb\xEA raport\xF3w dobowych"},
    {1019, false, "b\xB3\xB9" "d weryfikacji numeru unikatowego"},
    {1020, false, "b\xB3\xB9" "d weryfikacji statystyk z RD."},
    {1021, false, "b\xB3\xB9" "d odczytu danych z NVR do weryfikacji FM"},
    {1022, false, "b\xB3\xB9" "d zapisu danych z NVR do weryfikacji FM"},
    {1023, false, "pami\xEA\xE6 fiskalna jest ma\xB3" "a 1Mb zamiast 2Mb"},
    {1024, false, "nie zainicjalizowany obszar danych w pami\xEA" "ci fiskalnej"},
    {1025, false, "b\xB3\xEA" "dny format numeru unikatowego"},
    {1026, false, "za du\xBFo b\xB3\xEA" "dnych blok\xF3w w FM"},
    {1027, false, "b\xB3\xB9" "d oznaczenia b\xB3\xEA" "dnego bloku"},
    {1028, false, "rekord w pami\xEA" "ci fiskalnej nie istnieje - obszar pusty"},
    {1029, false, "rekord w pami\xEA" "ci fiskalnej z dat\xB9 p\xF3\x9Fniejsz\xB9 od poprzedniego"},
    {1030, true, "B\xB3\xB9" "d odczytu skr\xF3tu raportu dobowego"},
    {1031, true, "B\xB3\xB9" "d zapisu skr\xF3tu raportu dobowego"},
    {1032, true, "B\xB3\xB9" "d odczytu informacji o weryfikacji skr\xF3tu raportu dobowego"},
    {1033, true, "B\xB3\xB9" "d zapisu informacji o weryfikacji skr\xF3tu raportu dobowego"},
    {1034, true, "B\xB3\xB9" "d odczytu etykiety no\x9Cnika"},
    {1035, true, "B\xB3\xB9" "d zapisu etykiety no\x9Cnika"},
    {1036, true, "Niezgodno\x9C\xE6 danych kopii elektrycznej"},
    {1041, true, "B\xB3\xB9" "d w obszarze ID modu\xB3u kopii"},
    {1042, true, "B\xB3\xB9" "d zapisu ID modu\xB3u kopii"},
    {1043, true, "Obszar ID modu\xB3u kopii zape\xB3niony"},
    {1044, true, "Nieudana fiskalizacja"},
    {1045, true, "Data wcze\x9Cniejsza od daty poprzedniego raportu dobowego"},
    {2000, false, "b\xB3\xB9" "d pola VAT."},
    {2002, false, "brak nag\xB3\xF3wka"},
    {2003, false, "zaprogramowany nag\xB3\xF3wek"},
    {2004, false, "brak aktywnych stawek VAT."},
    {2005, false, "brak trybu transakcji."},
    {2021, false, "pr\xF3" "ba ponownego ustawienia zegara."},
    {2022, false, "zbyt du\xBF" "a r\xF3\xBFnica dat"},
    {2023, false, "r\xF3\xBFnica wi\xEAksza ni\xBF godzina w trybie u\xBFytkownika w trybie fiskalnym "},
    {2024, false, "z\xB3y format daty (np. 13 miesi\xB9" "c )"},
    {2025, false, "data wcze\x9Cniejsza od ostatniego zapisu do modu\xB3u"},
    {2026, false, "b\xB3\xB9" "d zegara."},
    {2027, false, "przekroczono maksymaln\xB9 liczb\xEA zmian stawek VAT"},
    {2028, false, "pr\xF3" "ba zdefiniowana identycznych stawek VAT"},
    {2029, false, "b\xB3\xEA" "dne warto\x9C" "ci stawek VAT"},
    {2030, false, "pr\xF3" "ba zdefiniowania stawek VAT wszystkich nieaktywnych"},
    {2032, false, "b\xB3\xB9" "d numeru unikatowego pami\xEA" "ci fiskalnej."},
    {2033, false, "urz\xB9" "dzenie w trybie fiskalnym."},
    {2034, false, "urz\xB9" "dzenie w trybie niefiskalnym."},
    {2035, false, "niezerowe totalizery (wykonaj raport dobowy)"},
    {2036, false, "urz\xB9" "dzenie w stanie tylko do odczytu."},
    {2037, false, "urz\xB9" "dzenie nie jest w stanie tylko do odczytu."},
    {2038, false, "urz\xB9" "dzenie w trybie transakcji."},
    {2039, false, "zerowe totalizery."},
    {2040, false, "B\xB3\xB9" "d oblicze\xF1 walut, przepe\xB3nienie przy mno\xBF" "eniu lub dzialeniu"},
    {2042, false, "b\xB3\xEA" "dy format daty pocz\xB9tkowej"},
    {2043, false, "b\xB3\xEA" "dy format daty ko\xF1" "cowej"},
    {2044, false, "pr\xF3" "ba wykonania raportu miesi\xEA" "cznego w danym miesi\xB9" "cu"},
    {2045, false, "data pocz\xB9tkowa p\xF3\x9Fniejsza od bie\xBF\xB9" "cej daty"},
    {2046, false, "data ko\xF1" "cowa wcze\x9Cniejsza od daty fiskalizacji"},
    {2047, false, "numer pocz\xB9tkowy lub ko\xF1" "cowy r\xF3wny zero"},
    {2048, false, "numer pocz\xB9tkowy wi\xEAkszy od numeru ko\xF1" "cowego"},
    {2049, false, "numer raportu zbyt du\xBFy"},
    {2050, false, "data pocz\xB9tkowa p\xF3\x9Fniejsza od daty ko\xF1" "cowej"},
    {2051, false, "brak pami\xEA" "ci w buforze tekst\xF3w."},
    {2055, false, "b\xB3\xEA" "dna linia"},
    {2056, false, "tekst pusty"},
    {2057, false, "przekroczony rozmiar"},
    {2058, false, "b\xB3\xEA" "dna liczba linii."},
    {2063, true, "B\xB3\xB9" "d parametru"},
    {2067, false, "b\xB3\xB9" "d ustawie\xF1 konfiguracyjnych wydruk\xF3w / drukarki"},
    {2070, false, "Data przegl\xB9" "du wcze\x9Cniejsza od systemowej"},
    {2080, true, "Nieparzysta liczba danych dla formatu HEX"},
    {2081, true, "Niepoprawna warto\x9C\xE6 dla formatu HEX"},
    {3001, false, "brakuj\xB9" "ce dane"},
    {3002, false, "nieoczekiwane dane"},
    {3003, false, "nieoczekiwany znak"},
    {3004, false, "nieoczekiwany STX"},
    {3005, false, "nieoczekiwany ETX"},
    {3006, false, "b\xB3\xB9" "d CRC"},
    {3007, false, "b\xB3\xEA" "dna d\xB3ugo\x9C\xE6 ramki"},
    {3008, false, "nieznane polecenie"},
    {3009, false, "przepe\xB3nienie bufora"},
    {3010, false, "b\xB3\xEA" "dny parametr"},
    {3011, false, "Nieznany typ danych"},
    {3012, false, "Za du\xBFo parametr\xF3w"},
    {3013, false, "Za ma\xB3o parametr\xF3w"},
    {3014, false, "nieznany stan protoko\xB3u"},
    {3015, false, "timeout"},
    {3016, false, "stan zaj\xEAto\x9C" "ci przy wykonywaniu sekwencji z\xB3o\xBFonej"},
    {3017, false, "za du\xBFo p\xF3l"},
    {3018, false, "brak dost\xEApu (wyloguj u\xBFytkownika z kasy)"},
    {3019, false, "ramka o podanym identyfikatorze nie zbuforowana"},
    {6666, false, "zbyt d\xB3ugi \xB3" "a\xF1" "cuch (sprawd\x9F kod kreskowy)"},
    {6667, false, "zbyt du\xBF" "a warto\x9C\xE6 BCD4"},
    {6668, false, "niew\xB3" "a\x9C" "ciwa ilo\x9C\xE6 argument\xF3w dla danego polecenia"},
    {6669, true, "B\xB3\xB9" "d pola BCD"},
};

const char* const kUnknown = "nieznany b\xB3\xB9" "d przes\xB3" "any przez kas\xEA";

// Answers every key of the driver's section with a marker, so a looked-up text
// can be told from a fixed one.
int MarkerLookup(char* buffer, int size, const char* section, const char* key)
{
    if (std::strcmp(section, "velcombo_cbaction") != 0) return 0;
    snprintf(buffer, static_cast<size_t>(size), "#%s", key);
    return 1;
}

class DriverTextTool {
public:
    DriverTextTool() : FTool(nullptr, MarkerLookup), FSaved(Process().DriverTextTool)
    {
        Process().DriverTextTool = &FTool;
    }
    ~DriverTextTool() { Process().DriverTextTool = FSaved; }

private:
    TMLgExtTools FTool;
    const TMLgExtTools* FSaved;
};

// What the execution error `code` throws.
AnsiString Thrown(int code)
{
    return testutil::Thrown([&] { ComboRzucKomunikatemBleduWykonania(code); });
}
}  // namespace

TEST(ComboErrors, EveryCodeHasItsCatalogueText)
{
    for (const Expected& e : kCatalogue) EXPECT_EQ(ComboErrList(e.code), e.text) << "code " << e.code;
    EXPECT_EQ(std::size(kCatalogue), 338u);
}

TEST(ComboErrors, CodesOutsideTheCatalogueGiveTheDefault)
{
    std::set<int> known;
    for (const Expected& e : kCatalogue) known.insert(e.code);
    for (int code = -2; code <= 6700; ++code) {
        if (known.count(code)) continue;
        ASSERT_EQ(ComboErrList(code), kUnknown) << "code " << code;
    }
    EXPECT_EQ(ComboErrList(INT32_MIN), kUnknown);
    EXPECT_EQ(ComboErrList(INT32_MAX), kUnknown);
}

TEST(ComboErrors, OnlyTheFixedSetBypassesTheTextTool)
{
    DriverTextTool tool;
    for (const Expected& e : kCatalogue) {
        const AnsiString text = ComboErrList(e.code);
        if (e.fixed) {
            EXPECT_EQ(text, e.text) << "code " << e.code;
        } else {
            EXPECT_EQ(text.substr(0, 1), "#") << "code " << e.code;
        }
    }
    // A range shares one key, and the default has its own.
    EXPECT_EQ(ComboErrList(50), ComboErrList(56));
    EXPECT_NE(ComboErrList(10), ComboErrList(50));
    EXPECT_EQ(ComboErrList(11).substr(0, 1), "#");
    EXPECT_NE(ComboErrList(11), ComboErrList(10));
}

TEST(ComboErrors, MessageLinesCarryClassCodeAndText)
{
    EXPECT_EQ(ComboWykErrMsg(975), "[W975] - Nie ma wi\xEA" "cej rekord\xF3w wg kontekstu");
    EXPECT_EQ(ComboTrnErrMsg(3006), "[T3006] - b\xB3\xB9" "d CRC");
    EXPECT_EQ(ComboWykErrMsg(-1), AnsiString("[W-1] - ") + kUnknown);
}

TEST(ComboErrors, QuietExecutionCodesReturnAndOthersThrow)
{
    const int quiet[] = {801, 901, 903, 909, 910, 920, 921, 926, 938, 944,
                         948, 949, 950, 951, 959, 975, 2035, 2106, 6666};
    for (int code : quiet) {
        EXPECT_TRUE(ComboIsQuietExecError(code));
        EXPECT_EQ(Thrown(code), testutil::kNothingThrown) << code;
    }
    int quietCount = 0;
    for (int code = -1; code <= 7000; ++code) quietCount += ComboIsQuietExecError(code);
    EXPECT_EQ(quietCount, 19);
    EXPECT_EQ(Thrown(1), AnsiString("Kasa zg\xB3osi\xB3" "a b\xB3\xB9" "d wykonania: [W1] - ") + kUnknown);
    EXPECT_EQ(Thrown(902), "Kasa zgłosiła błąd wykonania: [W902] - rekord jest predefiniowany");
    EXPECT_EQ(Thrown(0), AnsiString("Kasa zgłosiła błąd wykonania: [W0] - ") + kUnknown);
}

TEST(ComboErrors, ExchangeFailureTexts)
{
    EXPECT_EQ(ComboCommErrorText(), "B\xB3\xB9" "d komunikacji z kas\xB9");
    EXPECT_EQ(ComboReportTimeoutText(),
              "Kasa nie wyrobi\xB3" "a si\xEA w czasie. Zwi\xEAksz timeout wykonania sekw. Z\xA3O\xAF" "ONEJ");
    EXPECT_EQ(ComboStopText(), "Operacja przerwana przez u\xBFytkownika");
    DriverTextTool tool;
    EXPECT_EQ(ComboCommErrorText().substr(0, 1), "#");
}

#include "oserror.h"

#include <cerrno>

AnsiString SystemErrorText(int error)
{
    switch (error) {
        case ENOENT:
            return "brak takiego urządzenia";
        case ENODEV:
        case ENXIO:
            return "urządzenie niedostępne";
        case EACCES:
        case EPERM:
            return "brak uprawnień";
        case EBUSY:
            return "urządzenie zajęte";
        case EIO:
            return "błąd wejścia/wyjścia";
        case ENOTTY:
            return "to nie jest port szeregowy";
        case EISDIR:
            return "to jest folder";
        case ECONNREFUSED:
            return "połączenie odrzucone";
        case ETIMEDOUT:
            return "przekroczony czas oczekiwania";
        case EHOSTUNREACH:
            return "host nieosiągalny";
        case ENETUNREACH:
            return "sieć nieosiągalna";
        case ECONNRESET:
            return "połączenie przerwane przez drugą stronę";
        case EPIPE:
            return "połączenie zamknięte przez drugą stronę";
        case EADDRNOTAVAIL:
            return "adres niedostępny";
        default:
            return Format("błąd systemowy nr %d", error);
    }
}

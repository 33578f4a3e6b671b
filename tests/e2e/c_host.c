/* A host in plain C, built against the installed header as a host programmer
 * would build it (-std=c11 -Wpedantic -Werror, and as C++ too): it loads the
 * installed library with dlopen, makes the catalogue calls, walks the
 * catalogue by the header's groups and types, registers with a message
 * callback and releases the library. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include <velcombo.h>

/* Finds an export and copies its address into the function pointer at
 * `function`: dlsym answers an object pointer, which ISO C does not convert
 * into a function pointer. */
static void find(void* lib, const char* name, void* function, size_t size)
{
    void* address = dlsym(lib, name);
    if (!address || size != sizeof address) {
        printf("dlsym %s: %s\n", name, address ? "not a pointer's size" : dlerror());
        return;
    }
    memcpy(function, &address, size);
}
/* Each export by name, with the pointer type the header gives it. */
#define LOOKUP(lib, name, pointer)  \
    ORV_PFN_##name pointer = NULL; \
    find(lib, #name, &pointer, sizeof pointer)

static void on_line(HORVCBARG1 host, HORVCBARG2 call, int32_t kind, const char* text)
{
    (void)host;
    (void)call;
    printf("LINE %d %s\n", (int)kind, text);
}

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    void* lib = dlopen(argv[1], RTLD_NOW);
    if (!lib) {
        printf("dlopen: %s\n", dlerror());
        return 1;
    }
    LOOKUP(lib, ORVDLLTypBiblioteki, typBiblioteki);
    LOOKUP(lib, ORVDLLWlasciwosci, wlasciwosci);
    LOOKUP(lib, ORVDLLParametr, parametr);
    LOOKUP(lib, ORVDLLTekstListyParametru, tekstListyParametru);
    LOOKUP(lib, ORVDLLSerKasOpisOkna, opisOkna);
    LOOKUP(lib, ORVDLLRejestrujBiblioteke, rejestrujBiblioteke);
    LOOKUP(lib, ORVDLLRejestrujCallback, rejestrujCallback);
    LOOKUP(lib, ORVDLLSerKasOperacja, operacja);
    LOOKUP(lib, ORVDLLZwolnijBiblioteke, zwolnijBiblioteke);
    LOOKUP(lib, DllEntryPoint, entryPoint);
    LOOKUP(lib, ORVDLLUstawJezykKomponentow, ustawJezyk);
    LOOKUP(lib, ORVDLLWlasciwosciUrzadzenia, wlasciwosciUrzadzenia);
    LOOKUP(lib, ORVDLLSerKasJakSzukacParagonu, jakSzukacParagonu);
    LOOKUP(lib, ORVDLLSerKasPokazOkno, pokazOkno);
    LOOKUP(lib, ORVDLLSerKasNazwaZasobuDzielonego, nazwaZasobu);
    LOOKUP(lib, ORVDLLSerKasPodtrzymajSesje, podtrzymajSesje);
    if (!typBiblioteki || !wlasciwosci || !parametr || !tekstListyParametru || !opisOkna || !rejestrujBiblioteke ||
        !rejestrujCallback || !operacja || !zwolnijBiblioteke || !entryPoint || !ustawJezyk ||
        !wlasciwosciUrzadzenia || !jakSzukacParagonu || !pokazOkno || !nazwaZasobu || !podtrzymajSesje)
        return 1;

    char text[ORV_TEXT_SIZE], name[ORV_TEXT_SIZE], description[ORV_TEXT_SIZE], def[ORV_TEXT_SIZE],
        minimum[ORV_TEXT_SIZE], maximum[ORV_TEXT_SIZE];
    int flag = -1;

    printf("TYPE %d\n", typBiblioteki());
    wlasciwosci(text, 2);
    printf("PROPERTY 2 %s\n", text);
    const int type = parametr(ORV_GROUP_GENERAL, 0, name, description, def, minimum, maximum, &flag);
    printf("PARAMETER %d %s %s %d\n", type, name, def, flag);
    printf("LIST %d", tekstListyParametru("ComboPort", 0, text));
    printf(" %s\n", text);
    printf("WINDOW %d", opisOkna(text, 7));
    printf(" [%s]\n", text);

    /* Each group from index 0 until the type that ends it: the entries of
     * each kind and flag. */
    int entries = 0, lists = 0, own = 0;
    for (int group = ORV_GROUP_GENERAL; group <= ORV_GROUP_AUTO_IMPORT; ++group)
        for (int index = 0;; ++index) {
            const int t = parametr(group, index, name, description, def, minimum, maximum, &flag);
            if (t == ORV_PARAM_NONE) break;
            ++entries;
            lists += t == ORV_PARAM_LIST || t == ORV_PARAM_LIST_TEXT;
            own += flag == ORV_FLAG_OWN;
        }
    printf("CATALOGUE %d entries, %d lists, %d stored by the library\n", entries, lists, own);

    static int host;
    void* handle = rejestrujBiblioteke(&host, NULL, NULL, NULL);
    rejestrujCallback(handle, ORVCallbackPointer((ORV_CALLBACK)on_line), ORV_CB_DODAJ_KOMUNIKAT);
    /* With the session handle set, the operation only says it waits. */
    HORVDLLSKSESJA session = &host;
    strcpy(text, "sesja");
    printf("RESULT %d\n", operacja(handle, NULL, &session, text, ORV_OP_TEST, 0));
    zwolnijBiblioteke(handle);
    /* A released handle is refused, which the answer tells. */
    printf("REFUSED %d\n", operacja(handle, NULL, &session, text, ORV_OP_TEST, 0) == ORV_REFUSED_HANDLE);
    return 0;
}

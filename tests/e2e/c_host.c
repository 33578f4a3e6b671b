/* A host in plain C, built against the installed header: it loads the
 * installed library with dlopen, makes the catalogue calls, registers with a
 * message callback and releases the library. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include <velcombo.h>

/* Each export by name, with the type its declaration in the header gives. */
#define LOOKUP(lib, name) ((__typeof__(&name))dlsym(lib, #name))

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
    char text[ORV_TEXT_SIZE], name[ORV_TEXT_SIZE], description[ORV_TEXT_SIZE], def[ORV_TEXT_SIZE],
        minimum[ORV_TEXT_SIZE], maximum[ORV_TEXT_SIZE];
    int flag = -1;

    printf("TYPE %d\n", LOOKUP(lib, ORVDLLTypBiblioteki)());
    LOOKUP(lib, ORVDLLWlasciwosci)(text, 2);
    printf("PROPERTY 2 %s\n", text);
    const int type = LOOKUP(lib, ORVDLLParametr)(101, 0, name, description, def, minimum, maximum, &flag);
    printf("PARAMETER %d %s %s %d\n", type, name, def, flag);
    printf("LIST %d", LOOKUP(lib, ORVDLLTekstListyParametru)("ComboPort", 0, text));
    printf(" %s\n", text);
    printf("WINDOW %d", LOOKUP(lib, ORVDLLSerKasOpisOkna)(text, 7));
    printf(" [%s]\n", text);

    static int host;
    void* handle = LOOKUP(lib, ORVDLLRejestrujBiblioteke)(&host, NULL, NULL, NULL);
    LOOKUP(lib, ORVDLLRejestrujCallback)(handle, (void*)&on_line, ORV_CB_DODAJ_KOMUNIKAT);
    /* With the session handle set, the operation only says it waits. */
    HORVDLLSKSESJA session = &host;
    strcpy(text, "sesja");
    printf("RESULT %d\n", LOOKUP(lib, ORVDLLSerKasOperacja)(handle, NULL, &session, text, ORV_OP_TEST, 0));
    LOOKUP(lib, ORVDLLZwolnijBiblioteke)(handle);
    return 0;
}

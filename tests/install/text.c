/* Consumer of the installed library, from C99: the README's text example. */
#include <stdio.h>
#include <varo_uuid.h>

int main(int argc, char **argv) {
    const char *in = argc > 1 ? argv[1] : "{03020100-0504-0706-0809-0A0B0C0D0E0F}";
    char text[VARO_UUID_TEXT_SIZE]; /* the caller's areas: nothing to release */
    char rfc[VARO_UUID_RFC_SIZE];
    if (varo_uuid_from_rfc(in, text) != 0) {
        fprintf(stderr, "not an RFC form: %s\n", in);
        return 1;
    }
    /* The text is canonical, so it converts back to the same bytes. */
    if (!varo_uuid_is_valid(text) || varo_uuid_to_rfc(text, rfc) != 0) return 1;
    printf("%s %s\n", text, rfc); /* AAECAwQFBgcICQoLDA0ODw== 03020100-... */
    return 0;
}

/*
 * A program of the larger system, linked with libvaro_uuid.a: it defines
 * kel_malloc and pxdr_opaque itself, as the real platform libraries do,
 * with signatures of its own. The library's stand-ins of those names are
 * local to its archive, so the link neither fails on a second definition
 * nor hands the library's calls to these, nor these calls to the library.
 */
#include <stdio.h>
#include <string.h>
#include <varo_uuid.h>

static int own_calls;

void *kel_malloc(unsigned long size, const char *tag);
void *kel_malloc(unsigned long size, const char *tag) {
    (void)size;
    (void)tag;
    own_calls++;
    return NULL;
}

int pxdr_opaque(int stream);
int pxdr_opaque(int stream) {
    own_calls++;
    return stream + 1;
}

int main(void) {
    char *id = varo_uuid_generate_alloc();
    char wire[VARO_UUID_RAW_SIZE];
    varo_uuid_t copy = NULL;
    int ok = id != NULL && varo_uuid_is_valid(id) &&
             xdr_encode_varo_uuid_t(&id, wire, sizeof wire) == VARO_UUID_RAW_SIZE &&
             xdr_decode_varo_uuid_t(wire, sizeof wire, &copy) == VARO_UUID_RAW_SIZE &&
             varo_uuid_compare(id, copy) == 1;
    /* The library used its own allocator and filter, not these. */
    ok = ok && own_calls == 0;
    ok = ok && kel_malloc(16, "x") == NULL && pxdr_opaque(41) == 42 && own_calls == 2;
    xdr_free_varo_uuid_t(&copy);
    varo_uuid_generate_free(id);
    puts(ok ? "static consumer: ok" : "static consumer: FAILED");
    return ok ? 0 : 1;
}

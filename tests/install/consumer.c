/* Consumer of the installed library, from C99: the README's C example. */
#include <stdio.h>
#include <varo_uuid.h>

int main(void) {
    char *id = varo_uuid_generate_alloc(); /* general allocator */
    if (id == NULL) return 1;

    char wire[VARO_UUID_RAW_SIZE];
    varo_uuid_t copy = NULL;
    int ok = xdr_encode_varo_uuid_t(&id, wire, sizeof wire) == VARO_UUID_RAW_SIZE &&
             xdr_decode_varo_uuid_t(wire, sizeof wire, &copy) == VARO_UUID_RAW_SIZE &&
             varo_uuid_compare(id, copy) == 1;
    if (ok) printf("%s\n", copy);

    xdr_free_varo_uuid_t(&copy); /* decoded with heap 0 */
    varo_uuid_generate_free(id); /* generated */
    return ok ? 0 : 1;
}

/* The exported interface from plain C99, against the shipped library. */
#include <stdio.h>
#include <string.h>

#include "varo_uuid.h"

static int failures = 0;

#define CHECK(cond)                                                   \
    do {                                                              \
        if (!(cond)) {                                                \
            fprintf(stderr, "%s:%d: CHECK(%s)\n", __FILE__, __LINE__, #cond); \
            ++failures;                                               \
        }                                                             \
    } while (0)

int main(void) {
    char *made = varo_uuid_generate_alloc();
    CHECK(made != NULL && strlen(made) == VARO_UUID_TEXT_CHARS);
    CHECK(strcmp(made + 22, "==") == 0);

    char buf[VARO_UUID_TEXT_SIZE];
    CHECK(varo_uuid_generate_on_buf(buf) == 0);
    CHECK(varo_uuid_generate_on_buf(NULL) == -1);
    CHECK(varo_uuid_compare(made, made) == 1);
    CHECK(varo_uuid_compare(made, buf) == 0);
    CHECK(varo_uuid_compare(NULL, buf) == -1);

    /* Through the wire and back. */
    char wire[VARO_UUID_RAW_SIZE];
    varo_uuid_t back = NULL;
    CHECK(xdr_length_of_encoded_varo_uuid_t(&made) == VARO_UUID_RAW_SIZE);
    CHECK(xdr_encode_varo_uuid_t(&made, wire, sizeof wire) == VARO_UUID_RAW_SIZE);
    CHECK(xdr_decode_varo_uuid_t(wire, sizeof wire, &back) == VARO_UUID_RAW_SIZE);
    CHECK(varo_uuid_compare(back, made) == 1);

    /* As a generic filter, with a clone in another heap. */
    varo_uuid_t copy = NULL;
    CHECK(pxdr_clone_varo_uuid_t(&back, &copy, 7) == 1);
    CHECK(varo_uuid_compare(copy, made) == 1);
    XDR freeing;
    freeing.x_op = XDR_FREE;
    CHECK(pxdr_varo_uuid_t(&freeing, &copy, 7) == 1 && copy == NULL);
    xdr_free((xdrproc_t)xdr_varo_uuid_t, (char *)&back);
    CHECK(back == NULL);
    xdr_free_varo_uuid_t(&back);

    /* The text interface of 1.1, with the example of the README. */
    const unsigned char ascending[VARO_UUID_RAW_SIZE] = {0, 1, 2,  3,  4,  5,  6,  7,
                                                         8, 9, 10, 11, 12, 13, 14, 15};
    unsigned char raw[VARO_UUID_RAW_SIZE];
    char rfc[VARO_UUID_RFC_SIZE];
    CHECK(varo_uuid_from_raw(ascending, buf) == 0 && strcmp(buf, "AAECAwQFBgcICQoLDA0ODw==") == 0);
    CHECK(varo_uuid_is_valid(buf) == 1 && varo_uuid_is_valid("AAECAwQFBgcICQoLDA0ODx==") == 0);
    CHECK(varo_uuid_to_raw(buf, raw) == 0 && memcmp(raw, ascending, sizeof raw) == 0);
    CHECK(varo_uuid_to_rfc(buf, rfc) == 0 &&
          strcmp(rfc, "03020100-0504-0706-0809-0a0b0c0d0e0f") == 0);
    CHECK(varo_uuid_from_rfc("{03020100-0504-0706-0809-0A0B0C0D0E0F}", buf) == 0);
    CHECK(varo_uuid_compare(buf, "AAECAwQFBgcICQoLDA0ODw==") == 1);
    CHECK(varo_uuid_to_rfc(made, rfc) == 0 && rfc[14] == '4'); /* version 4 */
    CHECK(VARO_UUID_VERSION_MAJOR == 1 && VARO_UUID_VERSION_MINOR >= 2);

    /* 1.2: version 7, inspection, order and a checked copy. */
    char *v7 = varo_uuid_generate_v7_alloc();
    char later[VARO_UUID_TEXT_SIZE];
    long long ms = -1;
    CHECK(v7 != NULL && varo_uuid_is_valid(v7) == 1);
    CHECK(varo_uuid_generate_v7_on_buf(later) == 0 && varo_uuid_generate_v7_on_buf(NULL) == -1);
    CHECK(varo_uuid_version(v7) == 7 && varo_uuid_version(made) == 4);
    CHECK(varo_uuid_version("AAAAAAAAAAAAAAAAAAAAAA==") == -1); /* nil */
    CHECK(varo_uuid_time(v7, &ms) == 0 && ms > 1700000000000LL);
    CHECK(varo_uuid_time(made, &ms) == -1);
    CHECK(varo_uuid_order(v7, later) == -1 && varo_uuid_order(later, v7) == 1);
    CHECK(varo_uuid_order(v7, v7) == 0 && varo_uuid_order(NULL, v7) == -1);
    CHECK(varo_uuid_order("not an identifier", v7) == 1);
    char *copy_of_v7 = varo_uuid_parse_alloc(v7);
    CHECK(copy_of_v7 != NULL && strcmp(copy_of_v7, v7) == 0 && copy_of_v7 != v7);
    CHECK(varo_uuid_parse_alloc("AAECAwQFBgcICQoLDA0ODx==") == NULL);
    varo_uuid_generate_free(copy_of_v7);
    varo_uuid_generate_free(v7);

    /* 1.3: name-based identifiers and the well-known texts. */
    CHECK(VARO_UUID_VERSION_MINOR >= 3);
    CHECK(varo_uuid_generate_v5_on_buf(VARO_UUID_NAMESPACE_DNS, "www.example.com", 15, buf) == 0);
    CHECK(varo_uuid_to_rfc(buf, rfc) == 0 &&
          strcmp(rfc, "2ed6657d-e927-568b-95e1-2665a8aea6a2") == 0);
    char *v3 = varo_uuid_generate_v3_alloc(VARO_UUID_NAMESPACE_DNS, "www.example.com", 15);
    CHECK(v3 != NULL && varo_uuid_to_rfc(v3, rfc) == 0 &&
          strcmp(rfc, "5df41881-3aed-3515-88a7-2f4a814cf09e") == 0);
    CHECK(varo_uuid_version(v3) == 3 && varo_uuid_time(v3, &ms) == -1);
    varo_uuid_generate_free(v3);
    char *v5 = varo_uuid_generate_v5_alloc(VARO_UUID_NAMESPACE_URL, NULL, 0);
    CHECK(v5 != NULL && varo_uuid_version(v5) == 5);
    CHECK(varo_uuid_generate_v3_on_buf(VARO_UUID_NAMESPACE_OID, "x", 1, NULL) == -1);
    CHECK(varo_uuid_generate_v5_alloc("AAECAwQFBgcICQoLDA0ODx==", "x", 1) == NULL);
    varo_uuid_generate_free(v5);
    const char *const known[] = {VARO_UUID_NAMESPACE_DNS, VARO_UUID_NAMESPACE_URL,
                                 VARO_UUID_NAMESPACE_OID, VARO_UUID_NAMESPACE_X500};
    const char *const known_rfc[] = {"6ba7b810", "6ba7b811", "6ba7b812", "6ba7b814"};
    for (int i = 0; i < 4; ++i) {
        CHECK(varo_uuid_to_rfc(known[i], rfc) == 0 && strncmp(rfc, known_rfc[i], 8) == 0 &&
              strcmp(rfc + 8, "-9dad-11d1-80b4-00c04fd430c8") == 0);
    }
    CHECK(varo_uuid_to_rfc(VARO_UUID_NIL, rfc) == 0 &&
          strcmp(rfc, "00000000-0000-0000-0000-000000000000") == 0);
    CHECK(varo_uuid_to_rfc(VARO_UUID_MAX, rfc) == 0 &&
          strcmp(rfc, "ffffffff-ffff-ffff-ffff-ffffffffffff") == 0);

    /* 1.4: network-order bytes, versions 6, 1 and 8, timestamps. */
    CHECK(VARO_UUID_VERSION_MINOR >= 4);
    {
        /* libuuid's uuid_t of 00112233-4455-6677-8899-aabbccddeeff. */
        unsigned char bytes[VARO_UUID_RFC_BYTES] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                                    0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
        unsigned char net[VARO_UUID_RFC_BYTES];
        long long s = 0;
        int ns = 0;
        CHECK(varo_uuid_from_rfc_bytes(bytes, buf) == 0 && varo_uuid_to_rfc(buf, rfc) == 0 &&
              strcmp(rfc, "00112233-4455-6677-8899-aabbccddeeff") == 0);
        CHECK(varo_uuid_to_rfc_bytes(buf, net) == 0 && memcmp(net, bytes, sizeof net) == 0);
        CHECK(varo_uuid_generate_v8_on_buf(bytes, buf) == 0 && varo_uuid_version(buf) == 8);
        CHECK(varo_uuid_generate_v6_on_buf(buf) == 0 && varo_uuid_version(buf) == 6);
        CHECK(varo_uuid_timestamp(buf, &s, &ns) == 0 && s > 1700000000LL && ns >= 0);
        char *v1 = varo_uuid_generate_v1_alloc();
        char *v6 = varo_uuid_generate_v6_alloc();
        CHECK(v1 != NULL && varo_uuid_version(v1) == 1 && v6 != NULL && varo_uuid_version(v6) == 6);
        CHECK(varo_uuid_order(buf, v6) == -1);
        CHECK(varo_uuid_timestamp(VARO_UUID_NIL, &s, &ns) == -1);
        varo_uuid_generate_free(v1);
        varo_uuid_generate_free(v6);
    }

    varo_uuid_generate_free(made);
    varo_uuid_generate_free(NULL);
    if (failures == 0) puts("c_api_test: all checks passed");
    return failures == 0 ? 0 : 1;
}

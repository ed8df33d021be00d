/*
 * The identifier service's client: calls both procedures of idservice.x
 * through the stubs that rpcgen generates (-l) and checks every reply.
 *
 *   idservice_client ADDRESS PORT
 *
 * ADDRESS is an IPv4 address in dotted form; the port is the one the server
 * printed. Exit status 0 when every check passed, 1 when one failed, 2 when
 * the server could not be reached.
 *
 * Each stub returns a pointer to its own static result, valid until the
 * next call of that stub; clnt_freeres() gives back what decoding the
 * reply allocated (identifiers into heap 0, strings and arrays through
 * free()) before the next call.
 */
#define _GNU_SOURCE /* inet_pton() */

#include <arpa/inet.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "idservice.h" /* generated; includes varo_uuid.h */

static int failures = 0;

/* Counts a failed expectation and says which. */
static void expect(int ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "idservice_client: FAILED: %s\n", what);
        ++failures;
    }
}

/* Status of the client's last call. */
static enum clnt_stat last_status(CLIENT *clnt) {
    struct rpc_err err;
    clnt_geterr(clnt, &err);
    return err.re_status;
}

/* Round trips that came back intact. */
static unsigned echoes = 0;

/*
 * Sends `id` with `name` and checks that the same text and name come back.
 * The argument is only encoded, so `id` may point at any text, a buffer on
 * the stack included.
 */
static void check_echo(CLIENT *clnt, varo_uuid_t id, char *name) {
    named_id request = {id, name};
    named_id *reply = echo_id_1(&request, clnt);
    expect(reply != NULL, "ECHO_ID answers");
    if (reply == NULL) {
        clnt_perror(clnt, "echo_id");
        return;
    }
    expect(varo_uuid_compare(reply->id, id) == 1, "ECHO_ID gives back the identifier sent");
    expect(reply->name != NULL && strcmp(reply->name, name) == 0,
           "ECHO_ID gives back the name sent");
    clnt_freeres(clnt, (xdrproc_t)xdr_named_id, (char *)reply);
    expect(reply->id == NULL && reply->name == NULL, "clnt_freeres() leaves null pointers");
    ++echoes;
}

/*
 * A well-formed identifier: 24 characters that stand for exactly 16 raw
 * bytes and are the text those bytes give back (so no stray bits in the
 * last character), with version 4 in the high nibble of byte 7 and the
 * variant bits 10 at the top of byte 8.
 */
static int well_formed(varo_uuid_t id) {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    varo_uuid_t back = NULL;
    int ok = id != NULL && strlen(id) == VARO_UUID_TEXT_CHARS &&
             xdr_encode_varo_uuid_t(&id, (char *)raw, sizeof raw) == VARO_UUID_RAW_SIZE &&
             xdr_decode_varo_uuid_t((const char *)raw, sizeof raw, &back) == VARO_UUID_RAW_SIZE &&
             varo_uuid_compare(back, id) == 1 && raw[7] >> 4 == 4 && (raw[8] & 0xC0) == 0x80;
    xdr_free_varo_uuid_t(&back);
    return ok;
}

/* Every identifier minted in this run, to find any that repeats. */
static char minted[3 * MINT_MAX][VARO_UUID_TEXT_SIZE];
static size_t minted_count = 0;

static int by_text(const void *a, const void *b) {
    return strcmp(a, b);
}

/* Asks for `count` identifiers and checks that exactly that many come back,
 * each well-formed. */
static void check_mint(CLIENT *clnt, u_int count) {
    id_list *reply = mint_ids_1(&count, clnt);
    expect(reply != NULL, "MINT_IDS answers");
    if (reply == NULL) {
        clnt_perror(clnt, "mint_ids");
        return;
    }
    expect(reply->id_list_len == count, "MINT_IDS gives as many identifiers as asked for");
    for (u_int i = 0; i < reply->id_list_len; ++i) {
        varo_uuid_t id = reply->id_list_val[i];
        expect(well_formed(id), "a minted identifier is well-formed");
        if (id != NULL && minted_count < sizeof minted / sizeof minted[0])
            snprintf(minted[minted_count++], VARO_UUID_TEXT_SIZE, "%s", id);
    }
    /* A minted identifier, decoded into heap 0, goes out again as it is. */
    if (reply->id_list_len > 0) check_echo(clnt, reply->id_list_val[0], "minted");
    clnt_freeres(clnt, (xdrproc_t)xdr_id_list, (char *)reply);
}

int main(int argc, char **argv) {
    struct sockaddr_in server;
    memset(&server, 0, sizeof server);
    server.sin_family = AF_INET;
    unsigned port = 0;
    if (argc != 3 || inet_pton(AF_INET, argv[1], &server.sin_addr) != 1 ||
        sscanf(argv[2], "%u", &port) != 1 || port == 0 || port > 65535) {
        fprintf(stderr, "usage: idservice_client ADDRESS PORT\n");
        return 2;
    }
    /* A port given: clnttcp_create() connects there, without the portmapper. */
    server.sin_port = htons((unsigned short)port);
    int sock = RPC_ANYSOCK;
    CLIENT *clnt = clnttcp_create(&server, IDSERVICE_PROG, IDSERVICE_V1, &sock, 0, 0);
    if (clnt == NULL) {
        clnt_pcreateerror("idservice_client");
        return 2;
    }
    /* Replaces the stubs' 25 s for every call. */
    struct timeval timeout = {10, 0};
    clnt_control(clnt, CLSET_TIMEOUT, (char *)&timeout);

    /* Round trips of fresh identifiers with names of every kind. */
    static char long_name[4096];
    memset(long_name, 'n', sizeof long_name - 1);
    char *names[] = {"", "a", "pay slip 2024/03", "\xc3\xa9t\xc3\xa9", long_name};
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        char text[VARO_UUID_TEXT_SIZE];
        expect(varo_uuid_generate_on_buf(text) == 0, "an identifier is generated");
        check_echo(clnt, text, names[i]);
    }

    /* A text that is not an identifier is refused by the client's encoder. */
    char not_an_id[] = "not an identifier";
    named_id bad = {not_an_id, "bad"};
    expect(echo_id_1(&bad, clnt) == NULL && last_status(clnt) == RPC_CANTENCODEARGS,
           "a text that is not an identifier cannot be sent");

    /* Minting: none, one, several, the most allowed (twice, so that repeats
     * between calls show too), and one too many. */
    const u_int counts[] = {0, 1, 7, MINT_MAX, MINT_MAX};
    for (size_t i = 0; i < sizeof counts / sizeof counts[0]; ++i) check_mint(clnt, counts[i]);
    u_int too_many = MINT_MAX + 1;
    expect(mint_ids_1(&too_many, clnt) == NULL && last_status(clnt) == RPC_CANTDECODEARGS,
           "MINT_IDS refuses more than MINT_MAX");

    /* The connection still serves after the refusals. */
    check_mint(clnt, 2);

    size_t expected = 0;
    for (size_t i = 0; i < sizeof counts / sizeof counts[0]; ++i) expected += counts[i];
    expected += 2;
    expect(minted_count == expected, "every identifier asked for was minted");
    qsort(minted, minted_count, sizeof minted[0], by_text);
    for (size_t i = 1; i < minted_count; ++i)
        expect(strcmp(minted[i - 1], minted[i]) != 0, "minted identifiers are distinct");

    clnt_destroy(clnt);
    if (failures != 0) return 1;
    printf("idservice_client: %u echoes and %zu distinct identifiers checked\n", echoes,
           minted_count);
    return 0;
}

/*
 * The namespace of a name-based identifier as people write it, for the
 * varo-uuid tool and the SQLite extension (examples/sqlite) alike: "@dns",
 * "@url", "@oid" or "@x500" (util-linux's names for the RFC's namespaces),
 * an identifier text, or any RFC 9562 form that varo_uuid_from_rfc()
 * takes. Public interface only; C99.
 */
#ifndef VARO_UUID_TOOLS_NAMESPACE_ARG_H
#define VARO_UUID_TOOLS_NAMESPACE_ARG_H

#include <string.h>

#include "varo_uuid.h"

/*
 * Writes the canonical text of the namespace `arg` into `text` (25 bytes).
 * Returns 0, or -1 when `arg` is none of the forms above (text untouched).
 */
static inline int varo_uuid_namespace_arg(const char *arg, char *text) {
    static const struct {
        const char *name;
        const char *text;
    } known[] = {
        {"@dns", VARO_UUID_NAMESPACE_DNS},
        {"@url", VARO_UUID_NAMESPACE_URL},
        {"@oid", VARO_UUID_NAMESPACE_OID},
        {"@x500", VARO_UUID_NAMESPACE_X500},
    };
    for (size_t i = 0; i < sizeof known / sizeof known[0]; ++i) {
        if (strcmp(arg, known[i].name) == 0) {
            memcpy(text, known[i].text, VARO_UUID_TEXT_SIZE);
            return 0;
        }
    }
    /* A text is 24 characters, an RFC form 32 to 45: never both. */
    if (varo_uuid_is_valid(arg)) {
        memcpy(text, arg, VARO_UUID_TEXT_SIZE);
        return 0;
    }
    return varo_uuid_from_rfc(arg, text);
}

#endif /* VARO_UUID_TOOLS_NAMESPACE_ARG_H */

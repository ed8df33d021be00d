#include "platform/pxdr_opaque.h"

extern "C" bool_t pxdr_opaque(XDR *xdrs, char *area, u_int count, int /*heap*/) noexcept {
    return xdr_opaque(xdrs, area, count);
}

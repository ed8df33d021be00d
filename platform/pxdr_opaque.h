// Stand-in for the platform's heap-aware opaque filter.
#ifndef VARO_UUID_PLATFORM_PXDR_OPAQUE_H
#define VARO_UUID_PLATFORM_PXDR_OPAQUE_H

#include <rpc/types.h>
#include <rpc/xdr.h>

extern "C" {

// Moves `count` bytes of fixed-length opaque data at `area` through the
// stream, exactly as xdr_opaque() does: encode appends them (with fill to a
// multiple of four), decode reads them, free does nothing. Fixed-length
// opaque data owns no memory, so the heap is not used.
// Returns non-zero on success, 0 when the stream has no room or no data.
bool_t pxdr_opaque(XDR *xdrs, char *area, u_int count, int heap) noexcept;

}  // extern "C"

#endif  // VARO_UUID_PLATFORM_PXDR_OPAQUE_H

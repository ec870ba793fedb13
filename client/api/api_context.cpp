/*
 * api_context.cpp - the public context functions: one call-layer line each
 * (call.h); the work is in context.cpp.
 */
#include "call.h"
#include "context.h"

extern "C" {

NWDSContextHandle NWDSCreateContext(void) { NWC_CALL(create_context); }

NWDSCCODE NWDSCreateContextHandle(NWDSContextHandle *newHandle) {
  NWC_CALL(create_context_handle, out(newHandle));
}

NWDSContextHandle NWDSDuplicateContext(NWDSContextHandle oldContext) {
  NWC_CALL(duplicate_context, oldContext);
}

NWDSCCODE NWDSDuplicateContextHandle(NWDSContextHandle srcContextHandle,
                                     NWDSContextHandle *destContextHandle) {
  NWC_CALL(duplicate_context_handle, srcContextHandle, out(destContextHandle));
}

NWDSCCODE NWDSFreeContext(NWDSContextHandle context) { NWC_CALL(free_context, context); }

NWDSCCODE NWDSGetContext(NWDSContextHandle context, nint32 key, void *value) {
  NWC_CALL(get_context, context, key, out(value));
}

NWDSCCODE NWDSSetContext(NWDSContextHandle context, nint32 key, const void *value) {
  NWC_CALL(set_context, context, key, value);
}

NWDSCCODE NWDSGetDefNameContext(NWDSContextHandle context, nuint32 nameContextLen,
                                pnstr8 nameContext) {
  NWC_CALL(get_def_name_context, context, nameContextLen, out(nameContext));
}

NWDSCCODE NWDSSetDefNameContext(NWDSContextHandle context, nuint32 nameContextLen,
                                const nstr8 *nameContext) {
  NWC_CALL(set_def_name_context, context, nameContextLen, textn(nameContext, nameContextLen));
}

NWCCODE NWGetDefaultNameContext(nuint16 bufferSize, nuint8 *context) {
  NWC_CALL(get_default_name_context, bufferSize, out(context));
}

NWCCODE NWSetDefaultNameContext(nuint16 contextLength, const nuint8 *context) {
  NWC_CALL(set_default_name_context, contextLength, textn(context, contextLength));
}

} /* extern "C" */

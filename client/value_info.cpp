/*
 * value_info.cpp - value flags and timestamps of read and search results
 * (value_info.h).
 */
#include "value_info.h"

namespace nwc {

ValueInfo value_info(const Entry &e, const Rdn &rdn, const AttrDef &attr, const StoredValue &sv,
                     nuint32 infoType) {
  ValueInfo out;
  out.flags = kValuePresent;
  const std::string key = equality_key(sv.value);
  for (const Ava &ava : rdn.avas)
    if (ci_equal(ava.type, attr.name) && equality_key(Value::text(attr.syntax, ava.value)) == key)
      out.flags |= kValueNaming;
  if (ci_equal(attr.name, "Object Class") && !sv.value.texts.empty() && ci_equal(sv.value.texts[0], e.cls))
    out.flags |= kValueBaseClass;
  if (infoType == DS_VALUE_INFO) {
    out.seconds = sv.mtime > 0 ? static_cast<nuint32>(sv.mtime) : 0;
    out.replica_event = static_cast<nuint32>(sv.id) & 0xFFFFu;
  }
  return out;
}

} // namespace nwc

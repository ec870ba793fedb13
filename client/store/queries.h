// The store's lookups whose cost must not grow faster than logarithmically
// with the tree (or with the size of their own result): each is answered
// through an index.  Kept here so that tests can check their query plans.
#ifndef NWC_STORE_QUERIES_H
#define NWC_STORE_QUERIES_H

namespace nwc::queries {

inline constexpr const char* kEntryById =
    "SELECT id, parent, rdn, class, flags, ctime, mtime FROM entries WHERE id = ?";
inline constexpr const char* kChildByKey = "SELECT id FROM entries WHERE parent = ? AND rdn_key = ?";
inline constexpr const char* kChildByValues =
    "SELECT id FROM entries WHERE parent = ? AND rdn_value_key = ? LIMIT 2";
inline constexpr const char* kChildrenPage =
    "SELECT id, parent, rdn, class, flags, ctime, mtime FROM entries WHERE parent = ? AND id > ? "
    "ORDER BY id LIMIT ?";
inline constexpr const char* kValuesOfAttribute =
    "SELECT id, attr, syntax, data, mtime FROM attr_values WHERE entry = ? AND attr = ? ORDER BY id";
inline constexpr const char* kValuesOfEntry =
    "SELECT id, attr, syntax, data, mtime FROM attr_values WHERE entry = ?";
inline constexpr const char* kHasAttribute = "SELECT 1 FROM attr_values WHERE entry = ? AND attr = ? LIMIT 1";
inline constexpr const char* kHasValue =
    "SELECT 1 FROM attr_values WHERE entry = ? AND attr = ? AND value_key = ?";
inline constexpr const char* kEntriesByValue =
    "SELECT entry FROM attr_values WHERE attr = ? AND value_key = ? ORDER BY entry";
inline constexpr const char* kEntriesWithAttribute =
    "SELECT DISTINCT entry FROM attr_values WHERE attr = ? ORDER BY entry";

inline constexpr const char* kIndexed[] = {kEntryById,         kChildByKey, kChildByValues,
                                           kChildrenPage,      kValuesOfAttribute, kValuesOfEntry, kHasAttribute, kHasValue,
                                           kEntriesByValue,    kEntriesWithAttribute};

}  // namespace nwc::queries

#endif

// The store's lookups whose cost must not grow faster than logarithmically
// with the tree (or with the size of their own result): each is answered
// through an index.  Kept here so that tests can check their query plans.
#ifndef NWC_STORE_QUERIES_H
#define NWC_STORE_QUERIES_H

namespace nwc::queries {

inline constexpr const char* kEntryById =
    "SELECT id, parent, rdn, class, flags, ctime, mtime FROM entries WHERE id = ?";
inline constexpr const char* kChildByKey = "SELECT id FROM entries WHERE parent = ? AND rdn_key = ?";
inline constexpr const char* kChildRowByKey =
    "SELECT id, parent, rdn, class, flags, path FROM entries WHERE parent = ? AND rdn_key = ?";
inline constexpr const char* kEntryRowById = "SELECT id, parent, rdn, class, flags, path FROM entries WHERE id = ?";
inline constexpr const char* kChildByValues =
    "SELECT id FROM entries WHERE parent = ? AND rdn_value_key = ? LIMIT 2";
inline constexpr const char* kChildrenPage =
    "SELECT id, parent, rdn, class, flags, ctime, mtime FROM entries WHERE parent = ? AND id > ? "
    "ORDER BY id LIMIT ?";
inline constexpr const char* kChildrenOfClassPage =
    "SELECT id, parent, rdn, class, flags, ctime, mtime FROM entries WHERE class_key = ? AND parent = ? AND id > ? "
    "ORDER BY id LIMIT ?";
inline constexpr const char* kValuesOfAttribute =
    "SELECT seq, attr, syntax, data, mtime FROM attr_values WHERE entry = ? AND attr = ? ORDER BY seq";
inline constexpr const char* kValuesOfEntry =
    "SELECT seq, attr, syntax, data, mtime, value_key FROM attr_values WHERE entry = ?";
// Followed by the attribute's parameter number; a compound of these reads
// some attributes of one entry (Store::encoded_values).
inline constexpr const char* kValuesOfEntryAttr =
    "SELECT seq, attr, syntax, data, mtime, value_key FROM attr_values WHERE entry = ?1 AND attr = ?";
inline constexpr const char* kHasAttribute = "SELECT 1 FROM attr_values WHERE entry = ? AND attr = ? LIMIT 1";
inline constexpr const char* kHasValue =
    "SELECT 1 FROM attr_values WHERE entry = ? AND attr = ? AND value_key = ?";
inline constexpr const char* kEntriesByValue =
    "SELECT entry FROM attr_values WHERE attr = ? AND value_key = ? ORDER BY entry";
inline constexpr const char* kEntriesWithAttribute =
    "SELECT DISTINCT entry FROM attr_values WHERE attr = ? ORDER BY entry";

// The search's: ancestry (path keys, ancestry.cpp) and ranges of the value
// index (search_index.cpp).
inline constexpr const char* kPathOf = "SELECT path FROM entries WHERE id = ?";
inline constexpr const char* kPathRow = "SELECT id, parent, path, flags, class FROM entries WHERE id = ?";
inline constexpr const char* kKeyRangeTo =
    "SELECT v.value_key, v.entry, e.parent, e.path, e.flags, e.class, e.rdn, e.ctime, e.mtime "
    "FROM attr_values v JOIN entries e ON e.id = v.entry "
    "WHERE v.attr = ?1 AND (v.value_key, v.entry) > (?2, ?3) AND v.value_key <= ?4 "
    "ORDER BY v.value_key, v.entry LIMIT ?5";
inline constexpr const char* kKeyRangeBelow =
    "SELECT v.value_key, v.entry, e.parent, e.path, e.flags, e.class, e.rdn, e.ctime, e.mtime "
    "FROM attr_values v JOIN entries e ON e.id = v.entry "
    "WHERE v.attr = ?1 AND (v.value_key, v.entry) > (?2, ?3) AND v.value_key < ?4 "
    "ORDER BY v.value_key, v.entry LIMIT ?5";
inline constexpr const char* kKeyRangeOpen =
    "SELECT v.value_key, v.entry, e.parent, e.path, e.flags, e.class, e.rdn, e.ctime, e.mtime "
    "FROM attr_values v JOIN entries e ON e.id = v.entry "
    "WHERE v.attr = ?1 AND (v.value_key, v.entry) > (?2, ?3) "
    "ORDER BY v.value_key, v.entry LIMIT ?5";
inline constexpr const char* kCountKeysTo =
    "SELECT count(*) FROM (SELECT 1 FROM attr_values WHERE attr = ?1 AND value_key >= ?2 AND value_key <= ?3 LIMIT ?4)";
inline constexpr const char* kCountKeysBelow =
    "SELECT count(*) FROM (SELECT 1 FROM attr_values WHERE attr = ?1 AND value_key >= ?2 AND value_key < ?3 LIMIT ?4)";
inline constexpr const char* kCountKeysOpen =
    "SELECT count(*) FROM (SELECT 1 FROM attr_values WHERE attr = ?1 AND value_key >= ?2 LIMIT ?4)";
inline constexpr const char* kSubtreePage =
    "SELECT id, parent, path, flags, class FROM entries WHERE path >= ?1 AND path < ?2 ORDER BY path LIMIT ?3";
inline constexpr const char* kCountSubtree =
    "SELECT count(*) FROM (SELECT 1 FROM entries WHERE path >= ?1 AND path < ?2 LIMIT ?3)";
inline constexpr const char* kChildrenByValuePrefix =
    "SELECT id FROM entries WHERE parent = ?1 AND rdn_value_key >= ?2 AND rdn_value_key < ?3";
inline constexpr const char* kChildrenByValuePrefixOpen =
    "SELECT id FROM entries WHERE parent = ?1 AND rdn_value_key >= ?2";
inline constexpr const char* kChildrenWithPluralRdn =
    "SELECT id, rdn_value_key FROM entries WHERE parent = ?1 AND instr(rdn_value_key, '+') > 0";
inline constexpr const char* kKeyedValues =
    "SELECT syntax, data, value_key, seq, mtime FROM attr_values WHERE entry = ? AND attr = ?";
inline constexpr const char* kKeysOf =
    "SELECT value_key FROM attr_values WHERE entry = ? AND attr = ? ORDER BY value_key";

inline constexpr const char* kIndexed[] = {kEntryById,         kChildByKey, kChildRowByKey, kEntryRowById, kChildByValues,
                                           kChildrenPage,      kChildrenOfClassPage, kValuesOfAttribute, kValuesOfEntry, kValuesOfEntryAttr, kHasAttribute, kHasValue,
                                           kEntriesByValue,    kEntriesWithAttribute, kPathOf, kPathRow,
                                           kKeyRangeTo,        kKeyRangeBelow, kKeyRangeOpen,
                                           kSubtreePage,       kKeysOf, kKeyedValues,
                                           kChildrenByValuePrefix, kChildrenByValuePrefixOpen,
                                           kChildrenWithPluralRdn};

}  // namespace nwc::queries

#endif

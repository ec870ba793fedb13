// Internal helpers of the store: prepared statements and SQLite status
// mapping.  Not part of the store's interface.
#ifndef NWC_STORE_SQL_H
#define NWC_STORE_SQL_H

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/store.h"

namespace nwc {

// Maps an SQLite result code to a published status.
Status sql_status(int rc);

// A prepared statement borrowed from the store's cache for one use; reset
// and returned on destruction.  Binding positions start at 1.
class StoreStmt {
 public:
  StoreStmt(Store& store, std::string_view sql);
  ~StoreStmt();
  StoreStmt(const StoreStmt&) = delete;
  StoreStmt& operator=(const StoreStmt&) = delete;

  bool prepared() const { return st_ != nullptr; }
  void reset() { sqlite3_reset(st_); }  // for another use with new bindings
  StoreStmt& bind(int i, int64_t v);
  StoreStmt& bind(int i, std::string_view text);
  StoreStmt& bind_blob(int i, std::string_view bytes);
  StoreStmt& bind_null(int i);

  // SQLITE_ROW, SQLITE_DONE or an error code.
  int step();
  // Runs a statement that returns no rows: 0 or a status.
  Status run();

  int64_t i64(int col);
  std::string text(int col);
  std::string blob(int col);
  bool is_null(int col);

 private:
  Store& store_;
  Store::Cached* c_;
  sqlite3_stmt* st_;
};

int64_t now_seconds();

// Schema rows (used when seeding and when defining).
Status insert_attr_def(Store& st, const AttrDef& a);
Status insert_class_def(Store& st, const ClassDef& c);
Status insert_class_items(Store& st, int64_t class_id, int kind, const std::vector<std::string>& items,
                          int first_pos);

}  // namespace nwc

#endif

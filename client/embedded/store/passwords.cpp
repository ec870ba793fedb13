// Password hashes: yescrypt through libcrypt, kept apart from the values.
#include <crypt.h>

#include <cstring>
#include <memory>

#include "store/sql.h"
#include "store/store.h"

namespace nwc {
namespace {

// Compares without an early exit, so the time does not tell where two
// hashes differ.
bool same_hash(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

// The hash of password under setting (a salt or a stored hash), or empty.
std::string hash_with(std::string_view password, const char* setting) {
  if (password.find('\0') != std::string_view::npos) return {};
  auto data = std::make_unique<crypt_data>();
  std::memset(data.get(), 0, sizeof(crypt_data));
  const std::string pw(password);
  const char* out = crypt_rn(pw.c_str(), setting, data.get(), sizeof(crypt_data));
  if (!out || out[0] == '*') return {};
  return out;
}

}  // namespace

Status Store::set_password(EntryId id, std::string_view password) {
  char salt[CRYPT_GENSALT_OUTPUT_SIZE];
  if (!crypt_gensalt_rn("$y$", 0, nullptr, 0, salt, sizeof salt)) return ERR_SYSTEM_FAILURE;
  const std::string hash = hash_with(password, salt);
  if (hash.empty()) return ERR_INVALID_PASSWORD_CHARS;
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  if (Status st = ensure_entry(id)) return st;
  StoreStmt q(*this,
              "INSERT INTO secrets(entry, hash, changed) VALUES(?, ?, ?) "
              "ON CONFLICT(entry) DO UPDATE SET hash = excluded.hash, changed = excluded.changed");
  if (Status st = q.bind(1, id).bind(2, hash).bind(3, now_seconds()).run()) return st;
  return tx.commit();
}

Status Store::clear_password(EntryId id) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  if (Status st = ensure_entry(id)) return st;
  StoreStmt q(*this, "DELETE FROM secrets WHERE entry = ?");
  if (Status st = q.bind(1, id).run()) return st;
  return tx.commit();
}

Expected<bool> Store::has_password(EntryId id) {
  if (Status st = ensure_entry(id)) return fail(st);
  StoreStmt q(*this, "SELECT 1 FROM secrets WHERE entry = ?");
  const int rc = q.bind(1, id).step();
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  return fail(sql_status(rc));
}

Status Store::check_password(EntryId id, std::string_view password) {
  if (Status st = ensure_entry(id)) return st;
  std::string stored;
  {
    StoreStmt q(*this, "SELECT hash FROM secrets WHERE entry = ?");
    const int rc = q.bind(1, id).step();
    if (rc == SQLITE_DONE) return ERR_FAILED_AUTHENTICATION;  // no password: no login
    if (rc != SQLITE_ROW) return sql_status(rc);
    stored = q.text(0);
  }
  const std::string computed = hash_with(password, stored.c_str());
  return !computed.empty() && same_hash(computed, stored) ? 0 : ERR_FAILED_AUTHENTICATION;
}

}  // namespace nwc

/*
 * ldap/fetch.cpp - a search gathered whole, page by page when asked (see
 * fetch.h).
 */
#include "ldap/fetch.h"

#include <ldap.h>

#include <strings.h>

namespace nwc::ldap {

const RawAttr *RawEntry::find(std::string_view name) const {
  for (const RawAttr &a : attrs)
    if (a.name.size() == name.size() && strncasecmp(a.name.data(), name.data(), name.size()) == 0) return &a;
  return nullptr;
}

namespace {

void take_entries(LDAP *ld, LDAPMessage *res, std::vector<RawEntry> &out) {
  for (LDAPMessage *e = ldap_first_entry(ld, res); e != nullptr; e = ldap_next_entry(ld, e)) {
    RawEntry entry;
    if (char *dn = ldap_get_dn(ld, e)) {
      entry.dn = dn;
      ldap_memfree(dn);
    }
    BerElement *ber = nullptr;
    for (char *a = ldap_first_attribute(ld, e, &ber); a != nullptr; a = ldap_next_attribute(ld, e, ber)) {
      RawAttr attr;
      attr.name = a;
      if (berval **vals = ldap_get_values_len(ld, e, a)) {
        for (int i = 0; vals[i] != nullptr; ++i) attr.values.emplace_back(vals[i]->bv_val, vals[i]->bv_len);
        ldap_value_free_len(vals);
      }
      entry.attrs.push_back(std::move(attr));
      ldap_memfree(a);
    }
    if (ber != nullptr) ber_free(ber, 0);
    out.push_back(std::move(entry));
  }
}

} // namespace

int fetch(LDAP *ld, const Settings &s, const Query &q, std::vector<RawEntry> &out) {
  std::vector<char *> attrs;
  for (const std::string &a : q.attrs) attrs.push_back(const_cast<char *>(a.c_str()));
  attrs.push_back(nullptr);
  int deref = q.deref;
  ldap_set_option(ld, LDAP_OPT_DEREF, &deref);
  berval cookie{0, nullptr};
  berval *kept = nullptr; /* the cookie of the last page, owned here */
  int rc = LDAP_SUCCESS;
  for (;;) {
    LDAPControl *page = nullptr;
    if (q.page_size > 0) {
      rc = ldap_create_page_control(ld, static_cast<ber_int_t>(q.page_size), kept ? kept : &cookie, 0, &page);
      if (rc != LDAP_SUCCESS) break;
    }
    LDAPControl *ctrls[] = {page, nullptr};
    timeval tv{s.timeout, 0};
    int msgid = -1;
    rc = ldap_search_ext(ld, q.base.c_str(), q.scope, q.filter.c_str(), q.attrs.empty() ? nullptr : attrs.data(),
                         q.names_only ? 1 : 0, page ? ctrls : nullptr, nullptr, &tv, q.size_limit, &msgid);
    if (page != nullptr) ldap_control_free(page);
    if (rc != LDAP_SUCCESS) break;
    LDAPMessage *res = nullptr;
    rc = await(ld, msgid, s.timeout, &res);
    if (rc != LDAP_SUCCESS) break;
    take_entries(ld, res, out);
    LDAPMessage *final = nullptr;
    for (LDAPMessage *m = ldap_first_message(ld, res); m != nullptr; m = ldap_next_message(ld, m))
      if (ldap_msgtype(m) == LDAP_RES_SEARCH_RESULT) final = m;
    int err = LDAP_OTHER;
    LDAPControl **returned = nullptr;
    if (final == nullptr ||
        ldap_parse_result(ld, final, &err, nullptr, nullptr, nullptr, &returned, 0) != LDAP_SUCCESS)
      err = LDAP_OTHER;
    bool more = false;
    if (err == LDAP_SUCCESS && q.page_size > 0 && returned != nullptr) {
      if (LDAPControl *c = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr)) {
        ber_int_t estimate = 0;
        berval next{0, nullptr};
        if (ldap_parse_pageresponse_control(ld, c, &estimate, &next) == LDAP_SUCCESS) {
          if (kept != nullptr) ber_bvfree(kept);
          kept = nullptr;
          if (next.bv_len > 0) {
            kept = ber_bvdup(&next);
            more = kept != nullptr;
          }
          ber_memfree(next.bv_val);
        }
      }
    }
    if (returned != nullptr) ldap_controls_free(returned);
    ldap_msgfree(res);
    rc = err;
    if (!more) break;
  }
  if (kept != nullptr) ber_bvfree(kept);
  return rc;
}

} // namespace nwc::ldap

/*
 * config.h - the client's settings that come from the environment.
 *
 * Every setting is read when it is needed, never cached, so that a script or
 * a test may change it at run time ($ENV{...} / setenv):
 *
 *   NWCLIENT_NAME_CONTEXT  the client-wide default name context until
 *                          NWSetDefaultNameContext sets one; unset: "[Root]"
 *   NWCLIENT_TREE          the tree name; unset: "VORLA_TREE"
 *
 * A value too long for its published limit (MAX_DN_BYTES, MAX_TREE_NAME_BYTES,
 * terminator included; a tree name also at most MAX_TREE_NAME_CHARS
 * characters, as the store checks it) is ignored and the default applies.
 * So is an empty value.
 */
#ifndef NWC_CONFIG_H
#define NWC_CONFIG_H

#include <string>

namespace nwc {

inline constexpr const char DEFAULT_NAME_CONTEXT[] = "[Root]";
inline constexpr const char DEFAULT_TREE_NAME[] = "VORLA_TREE";

/* True when `s` is a usable tree name: MAX_TREE_NAME_BYTES with its
   terminator, MAX_TREE_NAME_CHARS characters (UTF-8). */
bool tree_name_fits(const std::string &s);
/* NWCLIENT_NAME_CONTEXT, or "[Root]". */
std::string configured_name_context();
/* NWCLIENT_TREE, or "VORLA_TREE". */
std::string configured_tree_name();

} // namespace nwc

#endif /* NWC_CONFIG_H */

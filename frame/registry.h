// registry.h - the families of subs that the bootstrap installs.
//
// Each family file (contexts, buffers, reading, ...) defines one Family from
// its own table of declarations; the bootstrap walks this list.  Nothing else
// knows the set of subs, so adding a sub means adding one declaration to its
// family's table.
#ifndef VORLA_FRAME_REGISTRY_H
#define VORLA_FRAME_REGISTRY_H

#include "frame/sub.h"

namespace vorla {

extern const Family kFrameSubs;       // frame/frame_xs.cpp
extern const Family kContextSubs;     // context/contexts_xs.cpp
extern const Family kStartupSubs;     // context/startup_xs.cpp
extern const Family kBufferSubs;      // values/buffers_xs.cpp
extern const Family kSyntaxSubs;      // values/syntax_xs.cpp
extern const Family kAttrValueSubs;   // values/attrval_xs.cpp
extern const Family kReaderSubs;      // values/readers_xs.cpp
extern const Family kReadSubs;        // directory/read_xs.cpp
extern const Family kListSubs;        // directory/list_xs.cpp
extern const Family kModifySubs;      // directory/modify_xs.cpp
extern const Family kRightsSubs;      // directory/rights_xs.cpp
extern const Family kStreamSubs;      // directory/streams_xs.cpp
extern const Family kNameSubs;        // directory/names_xs.cpp
extern const Family kLoginSubs;       // connection/login_xs.cpp
extern const Family kConnectionSubs;  // connection/connections_xs.cpp
extern const Family kPartitionSubs;   // admin/partitions_xs.cpp
extern const Family kSchemaSubs;      // admin/schema_xs.cpp

}  // namespace vorla

#endif

/*
 * nwclient.h - the public interface of libnwclient, the NDS client library.
 *
 * Every function the Vorla module calls is declared here under its published
 * name, with the published parameter order and widths.  Every function
 * returns its status (0 is success) and never throws, aborts or prints.
 *
 * Invariants the callers rely on:
 *  - Contexts are small non-negative signed 32-bit handles; connections are
 *    unsigned 32-bit handles; iteration handles are signed 32-bit values that
 *    start at, and end with, NO_MORE_ITERATIONS (all bits set).
 *  - Buffers are opaque; a pointer that is not a live buffer of this library
 *    gives ERR_INVALID_HANDLE and is never dereferenced.
 *  - Output texts never exceed the limits below, terminator included, so a
 *    caller that supplies an area of the stated limit is always safe.
 *  - A value read with NWDSGetAttrVal is one block of the size that
 *    NWDSComputeAttrValSize gave: the record first, its texts and bytes after
 *    it, its pointers pointing inside the block.
 */
#ifndef NWCLIENT_H
#define NWCLIENT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- basic types ------------------------------------------------------ */
typedef int8_t nint8;
typedef uint8_t nuint8;
typedef int16_t nint16;
typedef uint16_t nuint16;
typedef int32_t nint32;
typedef uint32_t nuint32;
typedef nuint8 nbool8;
typedef nuint32 nflag32;
typedef char nstr8;
typedef nstr8 *pnstr8;
typedef nuint16 unicode; /* one UTF-16 unit */

typedef nint32 NWDSCCODE;
typedef nint32 NWCCODE;
typedef nint32 NWDSContextHandle;
typedef nuint32 NWCONN_HANDLE;
typedef int NWFILE_HANDLE; /* a POSIX file descriptor on this platform */

typedef struct Buf_T Buf_T; /* opaque */
typedef Buf_T *pBuf_T;

/* ---- limits (bytes, terminating zero included) ----------------------- */
#define MAX_DN_CHARS 256
#define MAX_DN_BYTES 514            /* a distinguished name */
#define MAX_RDN_BYTES 262
#define MAX_SCHEMA_NAME_CHARS 32
#define MAX_SCHEMA_NAME_BYTES 66    /* class, attribute or syntax name */
#define MAX_TREE_NAME_CHARS 32
#define MAX_TREE_NAME_BYTES 66
#define MAX_SAP_NAME_BYTES 47       /* a server's advertised name */
#define MAX_NET_ADDRESS_BYTES 30    /* transport address of a connection */
#define MAX_ASN1_NAME 32
#define NW_MAX_SERVER_NAME_LEN 49
#define NW_LOCALE_RECORD_BYTES 128
#define DEFAULT_MESSAGE_LEN 4096
#define MAX_MESSAGE_LEN 64512

#define NO_MORE_ITERATIONS ((nint32)-1)

/* ---- context keys and flags ------------------------------------------ */
#define DCK_FLAGS 1
#define DCK_CONFIDENCE 2
#define DCK_NAME_CONTEXT 3
#define DCK_TRANSPORT_TYPE 4
#define DCK_REFERRAL_SCOPE 5
#define DCK_LAST_CONNECTION 8
#define DCK_TREE_NAME 11

#define DCV_DEREF_ALIASES 0x01
#define DCV_XLATE_STRINGS 0x02
#define DCV_TYPELESS_NAMES 0x04
#define DCV_ASYNC_MODE 0x08
#define DCV_CANONICALIZE_NAMES 0x10
#define DCV_DEREF_BASE_CLASS 0x40
#define DCV_DISALLOW_REFERRALS 0x80
#define DCV_DEFAULT_FLAGS (DCV_DEREF_ALIASES | DCV_XLATE_STRINGS | DCV_CANONICALIZE_NAMES)

/* ---- verbs (buffer operations) --------------------------------------- */
#define DSV_UNUSED_0 0
#define DSV_RESOLVE_NAME 1
#define DSV_READ_ENTRY_INFO 2
#define DSV_READ 3
#define DSV_COMPARE 4
#define DSV_LIST 5
#define DSV_SEARCH 6
#define DSV_ADD_ENTRY 7
#define DSV_REMOVE_ENTRY 8
#define DSV_MODIFY_ENTRY 9
#define DSV_MODIFY_RDN 10
#define DSV_DEFINE_ATTR 11
#define DSV_READ_ATTR_DEF 12
#define DSV_REMOVE_ATTR_DEF 13
#define DSV_DEFINE_CLASS 14
#define DSV_READ_CLASS_DEF 15
#define DSV_MODIFY_CLASS_DEF 16
#define DSV_REMOVE_CLASS_DEF 17
#define DSV_LIST_CONTAINABLE_CLASSES 18
#define DSV_GET_EFFECTIVE_RIGHTS 19
#define DSV_ADD_PARTITION 20
#define DSV_REMOVE_PARTITION 21
#define DSV_LIST_PARTITIONS 22
#define DSV_SPLIT_PARTITION 23
#define DSV_JOIN_PARTITIONS 24
#define DSV_ADD_REPLICA 25
#define DSV_REMOVE_REPLICA 26
#define DSV_OPEN_STREAM 27
#define DSV_SEARCH_FILTER 28
#define DSV_CHANGE_REPLICA_TYPE 31
#define DSV_SYNC_PARTITION 38
#define DSV_SYNC_SCHEMA 39
#define DSV_READ_SYNTAXES 40
#define DSV_GET_REPLICA_ROOT_ID 41
#define DSV_BEGIN_MOVE_ENTRY 42
#define DSV_FINISH_MOVE_ENTRY 43
#define DSV_RELEASE_MOVED_ENTRY 44
#define DSV_BACKUP_ENTRY 45
#define DSV_RESTORE_ENTRY 46
#define DSV_CLOSE_ITERATION 50
#define DSV_GET_SERVER_ADDRESS 53
#define DSV_SET_KEYS 54
#define DSV_CHANGE_PASSWORD 55
#define DSV_VERIFY_PASSWORD 56
#define DSV_BEGIN_LOGIN 57
#define DSV_FINISH_LOGIN 58
#define DSV_BEGIN_AUTHENTICATION 59
#define DSV_FINISH_AUTHENTICATION 60
#define DSV_LOGOUT 61
#define DSV_REPAIR_RING 62
#define DSV_REPAIR_TIMESTAMPS 63
#define DSV_DESIGNATE_NEW_MASTER 69
#define DSV_CHECK_LOGIN_RESTRICTIONS 72
#define DSV_ABORT_PARTITION_OPERATION 76
#define DSV_READ_REFERENCES 79
#define DSV_INSPECT_ENTRY 80

/* ---- information types, change types, scopes, flags ------------------ */
#define DS_ATTRIBUTE_NAMES 0
#define DS_ATTRIBUTE_VALUES 1
#define DS_EFFECTIVE_PRIVILEGES 2
#define DS_VALUE_INFO 3
#define DS_ABBREVIATED_VALUE 4

#define DS_ATTR_DEF_NAMES 0
#define DS_ATTR_DEFS 1
#define DS_CLASS_DEF_NAMES 0
#define DS_CLASS_DEFS 1
#define DS_EXPANDED_CLASS_DEFS 2
#define DS_INFO_CLASS_DEFS 3
#define DS_FULL_CLASS_DEFS 4

#define DS_ADD_ATTRIBUTE 0
#define DS_REMOVE_ATTRIBUTE 1
#define DS_ADD_VALUE 2
#define DS_REMOVE_VALUE 3
#define DS_ADDITIONAL_VALUE 4
#define DS_OVERWRITE_VALUE 5
#define DS_CLEAR_ATTRIBUTE 6
#define DS_CLEAR_VALUE 7

#define DS_SEARCH_ENTRY 0
#define DS_SEARCH_SUBORDINATES 1
#define DS_SEARCH_SUBTREE 2

/* attribute definition flags */
#define DS_SINGLE_VALUED_ATTR 0x0001
#define DS_SIZED_ATTR 0x0002
#define DS_NONREMOVABLE_ATTR 0x0004
#define DS_READ_ONLY_ATTR 0x0008
#define DS_HIDDEN_ATTR 0x0010
#define DS_STRING_ATTR 0x0020
#define DS_SYNC_IMMEDIATE 0x0040
#define DS_PUBLIC_READ 0x0080
#define DS_SERVER_READ 0x0100
#define DS_WRITE_MANAGED 0x0200
#define DS_PER_REPLICA 0x0400

/* class definition flags */
#define DS_CONTAINER_CLASS 0x01
#define DS_EFFECTIVE_CLASS 0x02
#define DS_NONREMOVABLE_CLASS 0x04
#define DS_AMBIGUOUS_NAMING 0x08
#define DS_AMBIGUOUS_CONTAINMENT 0x10

/* object flags of Object_Info_T */
#define DS_ALIAS_ENTRY 0x0001
#define DS_PARTITION_ROOT 0x0002
#define DS_CONTAINER_ENTRY 0x0004
#define DS_CONTAINER_ALIAS 0x0008
#define DS_MATCHES_LIST_FILTER 0x0010

/* rights */
#define DS_ENTRY_BROWSE 0x01
#define DS_ENTRY_ADD 0x02
#define DS_ENTRY_DELETE 0x04
#define DS_ENTRY_RENAME 0x08
#define DS_ENTRY_SUPERVISOR 0x10
#define DS_ENTRY_MASK 0x1F
#define DS_ATTR_COMPARE 0x01
#define DS_ATTR_READ 0x02
#define DS_ATTR_WRITE 0x04
#define DS_ATTR_SELF 0x08
#define DS_ATTR_SUPERVISOR 0x20
#define DS_ATTR_MASK 0x2F

/* streams */
#define DS_READ_STREAM 0x01
#define DS_WRITE_STREAM 0x02

/* replica types */
#define RT_MASTER 0
#define RT_SECONDARY 1
#define RT_READONLY 2

/* ---- syntaxes ---------------------------------------------------------- */
#define SYN_UNKNOWN 0
#define SYN_DIST_NAME 1
#define SYN_CE_STRING 2
#define SYN_CI_STRING 3
#define SYN_PR_STRING 4
#define SYN_NU_STRING 5
#define SYN_CI_LIST 6
#define SYN_BOOLEAN 7
#define SYN_INTEGER 8
#define SYN_OCTET_STRING 9
#define SYN_TEL_NUMBER 10
#define SYN_FAX_NUMBER 11
#define SYN_NET_ADDRESS 12
#define SYN_OCTET_LIST 13
#define SYN_EMAIL_ADDRESS 14
#define SYN_PATH 15
#define SYN_REPLICA_POINTER 16
#define SYN_OBJECT_ACL 17
#define SYN_PO_ADDRESS 18
#define SYN_TIMESTAMP 19
#define SYN_CLASS_NAME 20
#define SYN_STREAM 21
#define SYN_COUNTER 22
#define SYN_BACK_LINK 23
#define SYN_TIME 24
#define SYN_TYPED_NAME 25
#define SYN_HOLD 26
#define SYN_INTERVAL 27

/* ---- status codes ------------------------------------------------------ */
/* From the server's own range: a login refused because the object's
   "Login Disabled" is true (the account is administratively disabled). */
#define ERR_ACCOUNT_DISABLED (-220)
#define ERR_NOT_ENOUGH_MEMORY (-301)
#define ERR_BAD_KEY (-302)
#define ERR_BAD_CONTEXT (-303)
#define ERR_BUFFER_FULL (-304)
#define ERR_LIST_EMPTY (-305)
#define ERR_BAD_SYNTAX (-306)
#define ERR_BUFFER_EMPTY (-307)
#define ERR_BAD_VERB (-308)
#define ERR_EXPECTED_IDENTIFIER (-309)
#define ERR_EXPECTED_EQUALS (-310)
#define ERR_ATTR_TYPE_EXPECTED (-311)
#define ERR_ATTR_TYPE_NOT_EXPECTED (-312)
#define ERR_FILTER_TREE_EMPTY (-313)
#define ERR_INVALID_OBJECT_NAME (-314)
#define ERR_EXPECTED_RDN_DELIMITER (-315)
#define ERR_TOO_MANY_TOKENS (-316)
#define ERR_INCONSISTENT_MULTIAVA (-317)
#define ERR_COUNTRY_NAME_TOO_LONG (-318)
#define ERR_SYSTEM_ERROR (-319)
#define ERR_CANT_ADD_ROOT (-320)
#define ERR_UNABLE_TO_ATTACH (-321)
#define ERR_INVALID_HANDLE (-322)
#define ERR_BUFFER_ZERO_LENGTH (-323)
#define ERR_INVALID_REPLICA_TYPE (-324)
#define ERR_INVALID_ATTR_SYNTAX (-325)
#define ERR_INVALID_FILTER_SYNTAX (-326)
#define ERR_CONTEXT_CREATION (-328)
#define ERR_INVALID_UNION_TAG (-329)
#define ERR_INVALID_SERVER_RESPONSE (-330)
#define ERR_NULL_POINTER (-331)
#define ERR_NO_SERVER_FOUND (-332)
#define ERR_NO_CONNECTION (-333)
#define ERR_RDN_TOO_LONG (-334)
#define ERR_DUPLICATE_TYPE (-335)
#define ERR_DATA_STORE_FAILURE (-336)
#define ERR_NOT_LOGGED_IN (-337)
#define ERR_INVALID_PASSWORD_CHARS (-338)
#define ERR_FAILED_SERVER_AUTHENT (-339)
#define ERR_TRANSPORT (-340)
#define ERR_NO_SUCH_SYNTAX (-341)
#define ERR_INVALID_DS_NAME (-342)
#define ERR_ATTR_NAME_TOO_LONG (-343)
#define ERR_INVALID_TDS (-344)
#define ERR_INVALID_TDS_TYPE (-345)
#define ERR_INVALID_CONN_HANDLE (-352)
#define ERR_UNICODE_TABLES_NOT_LOADED (-353) /* also: conversion not possible */

#define ERR_NO_SUCH_ENTRY (-601)
#define ERR_NO_SUCH_VALUE (-602)
#define ERR_NO_SUCH_ATTRIBUTE (-603)
#define ERR_NO_SUCH_CLASS (-604)
#define ERR_NO_SUCH_PARTITION (-605)
#define ERR_ENTRY_ALREADY_EXISTS (-606)
#define ERR_NOT_EFFECTIVE_CLASS (-607)
#define ERR_ILLEGAL_ATTRIBUTE (-608)
#define ERR_MISSING_MANDATORY (-609)
#define ERR_ILLEGAL_DS_NAME (-610)
#define ERR_ILLEGAL_CONTAINMENT (-611)
#define ERR_CANT_HAVE_MULTIPLE_VALUES (-612)
#define ERR_SYNTAX_VIOLATION (-613)
#define ERR_DUPLICATE_VALUE (-614)
#define ERR_ATTRIBUTE_ALREADY_EXISTS (-615)
#define ERR_MAXIMUM_ENTRIES_EXIST (-616)
#define ERR_DATABASE_FORMAT (-617)
#define ERR_INCONSISTENT_DATABASE (-618)
#define ERR_INVALID_COMPARISON (-619)
#define ERR_COMPARISON_FAILED (-620)
#define ERR_TRANSACTIONS_DISABLED (-621)
#define ERR_INVALID_TRANSPORT (-622)
#define ERR_SYNTAX_INVALID_IN_NAME (-623)
#define ERR_REPLICA_ALREADY_EXISTS (-624)
#define ERR_TRANSPORT_FAILURE (-625)
#define ERR_ALL_REFERRALS_FAILED (-626)
#define ERR_CANT_REMOVE_NAMING_VALUE (-627)
#define ERR_OBJECT_CLASS_VIOLATION (-628)
#define ERR_ENTRY_IS_NOT_LEAF (-629)
#define ERR_DIFFERENT_TREE (-630)
#define ERR_ILLEGAL_REPLICA_TYPE (-631)
#define ERR_SYSTEM_FAILURE (-632)
#define ERR_INVALID_ENTRY_FOR_ROOT (-633)
#define ERR_NO_REFERRALS (-634)
#define ERR_REMOTE_FAILURE (-635)
#define ERR_UNREACHABLE_SERVER (-636)
#define ERR_PREVIOUS_MOVE_IN_PROGRESS (-637)
#define ERR_NO_CHARACTER_MAPPING (-638)
#define ERR_INCOMPLETE_AUTHENTICATION (-639)
#define ERR_INVALID_CERTIFICATE (-640)
#define ERR_INVALID_REQUEST (-641)
#define ERR_INVALID_ITERATION (-642)
#define ERR_SCHEMA_IS_NONREMOVABLE (-643)
#define ERR_SCHEMA_IS_IN_USE (-644)
#define ERR_CLASS_ALREADY_EXISTS (-645)
#define ERR_BAD_NAMING_ATTRIBUTES (-646)
#define ERR_NOT_ROOT_PARTITION (-647)
#define ERR_INSUFFICIENT_STACK (-648)
#define ERR_INSUFFICIENT_BUFFER (-649)
#define ERR_AMBIGUOUS_CONTAINMENT (-650)
#define ERR_AMBIGUOUS_NAMING (-651)
#define ERR_DUPLICATE_MANDATORY (-652)
#define ERR_DUPLICATE_OPTIONAL (-653)
#define ERR_PARTITION_BUSY (-654)
#define ERR_MULTIPLE_REPLICAS (-655)
#define ERR_CRUCIAL_REPLICA (-656)
#define ERR_SCHEMA_SYNC_IN_PROGRESS (-657)
#define ERR_SKULK_IN_PROGRESS (-658)
#define ERR_TIME_NOT_SYNCHRONIZED (-659)
#define ERR_RECORD_IN_USE (-660)
#define ERR_DS_VOLUME_NOT_MOUNTED (-661)
#define ERR_DS_VOLUME_IO_FAILURE (-662)
#define ERR_DS_LOCKED (-663)
#define ERR_OLD_EPOCH (-664)
#define ERR_NEW_EPOCH (-665)
#define ERR_INCOMPATIBLE_DS_VERSION (-666)
#define ERR_PARTITION_ROOT (-667)
#define ERR_ENTRY_NOT_CONTAINER (-668)
#define ERR_FAILED_AUTHENTICATION (-669)
#define ERR_INVALID_CONTEXT (-670)
#define ERR_NO_SUCH_PARENT (-671)
#define ERR_NO_ACCESS (-672)
#define ERR_REPLICA_NOT_ON (-673)
#define ERR_INVALID_NAME_SERVICE (-674)
#define ERR_INVALID_TASK (-675)
#define ERR_INVALID_CONN_HANDLE_DS (-676)
#define ERR_INVALID_IDENTITY (-677)
#define ERR_DUPLICATE_ACL (-678)
#define ERR_PARTITION_ALREADY_EXISTS (-679)
#define ERR_TRANSPORT_MODIFIED (-680)
#define ERR_ALIAS_OF_AN_ALIAS (-681)
#define ERR_AUDITING_FAILED (-682)
#define ERR_INVALID_API_VERSION (-683)
#define ERR_SECURE_NCP_VIOLATION (-684)
#define ERR_MOVE_IN_PROGRESS (-685)
#define ERR_NOT_LEAF_PARTITION (-686)
#define ERR_CANNOT_ABORT (-687)
#define ERR_CACHE_OVERFLOW (-688)
#define ERR_INVALID_SUBORDINATE_COUNT (-689)
#define ERR_INVALID_RDN (-690)
#define ERR_MOD_TIME_NOT_CURRENT (-691)
#define ERR_INCORRECT_BASE_CLASS (-692)
#define ERR_MISSING_REFERENCE (-693)
#define ERR_LOST_ENTRY (-694)
#define ERR_AGENT_ALREADY_REGISTERED (-695)
#define ERR_DS_LOADER_BUSY (-696)
#define ERR_DS_CANNOT_RELOAD (-697)
#define ERR_REPLICA_IN_SKULK (-698)
#define ERR_FATAL (-699)

/* ---- value records ------------------------------------------------------ */
typedef struct _ci_list {
  struct _ci_list *next;
  pnstr8 s;
} CI_List_T;

typedef struct {
  nuint32 length;
  nuint8 *data;
} Octet_String_T;

typedef struct _octet_list {
  struct _octet_list *next;
  nuint32 length;
  nuint8 *data;
} Octet_List_T;

typedef struct {
  nuint32 numOfBits;
  nuint8 *data;
} Bit_String_T;

typedef struct {
  pnstr8 telephoneNumber;
  Bit_String_T parameters;
} Fax_Number_T;

typedef struct {
  nuint32 addressType;
  nuint32 addressLength;
  nuint8 *address;
} Net_Address_T;

typedef struct {
  nuint32 type;
  pnstr8 address;
} EMail_Address_T;

typedef struct {
  nuint32 nameSpaceType;
  pnstr8 volumeName;
  pnstr8 path;
} Path_T;

typedef struct {
  pnstr8 serverName;
  nint32 replicaType;
  nint32 replicaNumber;
  nuint32 count;
  Net_Address_T replicaAddressHint[1]; /* count records, inline */
} Replica_Pointer_T;

typedef struct {
  pnstr8 protectedAttrName;
  pnstr8 subjectName;
  nuint32 privileges;
} Object_ACL_T;

typedef pnstr8 Postal_Address_T[6];

typedef struct {
  nuint32 wholeSeconds;
  nuint16 replicaNum;
  nuint16 eventID;
} NWDS_TimeStamp_T;

typedef struct {
  nuint32 remoteID;
  pnstr8 objectName;
} Back_Link_T;

typedef struct {
  pnstr8 objectName;
  nuint32 level;
  nuint32 interval;
} Typed_Name_T;

typedef struct {
  pnstr8 objectName;
  nuint32 amount;
} Hold_T;

/* ---- info records ------------------------------------------------------- */
typedef struct {
  nuint32 objectFlags;
  nuint32 subordinateCount;
  nuint32 modificationTime; /* seconds since 1970, UTC */
  nstr8 baseClass[MAX_SCHEMA_NAME_BYTES + 2];
} Object_Info_T; /* 80 bytes */

typedef struct {
  nuint32 length;
  nuint8 data[MAX_ASN1_NAME];
} Asn1ID_T;

typedef struct {
  nuint32 classFlags;
  Asn1ID_T asn1ID;
} Class_Info_T;

typedef struct {
  nuint32 ID;
  nstr8 defStr[MAX_SCHEMA_NAME_BYTES + 2];
  nuint16 flags;
} Syntax_Info_T;

/* The locale record: 128 bytes; code page at byte 56, country id at 60. */
typedef struct {
  nstr8 decimalPoint[4];
  nstr8 thousandsSeparator[4];
  nstr8 grouping[4];
  nstr8 currencySymbol[8];
  nstr8 intCurrencySymbol[8];
  nstr8 monDecimalPoint[4];
  nstr8 monThousandsSeparator[4];
  nstr8 monGrouping[8];
  nstr8 positiveSign[4];
  nstr8 negativeSign[4];
  nstr8 formatFlags[4]; /* digits, precedes and sign positions */
  nint32 code_page;  /* byte 56 */
  nint32 country_id; /* byte 60 */
  nstr8 dataListSeparator[2];
  nstr8 dateSeparator[2];
  nstr8 timeSeparator[2];
  nstr8 timeFormat;
  nstr8 reserved1;
  nint32 dateFormat;
  nstr8 am[8];
  nstr8 pm[8];
  nstr8 reserved[36];
} LCONV;

typedef struct NWDS_Session_Key_T NWDS_Session_Key_T; /* opaque */

/* ---- contexts ----------------------------------------------------------- */
NWDSContextHandle NWDSCreateContext(void);
NWDSCCODE NWDSCreateContextHandle(NWDSContextHandle *newHandle);
NWDSContextHandle NWDSDuplicateContext(NWDSContextHandle oldContext);
NWDSCCODE NWDSDuplicateContextHandle(NWDSContextHandle srcContextHandle,
                                     NWDSContextHandle *destContextHandle);
NWDSCCODE NWDSFreeContext(NWDSContextHandle context);
NWDSCCODE NWDSGetContext(NWDSContextHandle context, nint32 key, void *value);
NWDSCCODE NWDSSetContext(NWDSContextHandle context, nint32 key, const void *value);
NWDSCCODE NWDSGetDefNameContext(NWDSContextHandle context, nuint32 nameContextLen,
                                pnstr8 nameContext);
NWDSCCODE NWDSSetDefNameContext(NWDSContextHandle context, nuint32 nameContextLen,
                                const nstr8 *nameContext);
NWCCODE NWGetDefaultNameContext(nuint16 bufferSize, nuint8 *context);
NWCCODE NWSetDefaultNameContext(nuint16 contextLength, const nuint8 *context);

/* ---- start-up, locale, Unicode ----------------------------------------- */
NWCCODE NWCallsInit(void *in, void *out);
NWCCODE NWCallsTerm(void *reserved);
LCONV *NWLlocaleconv(LCONV *lconvPtr);
NWCCODE NWInitUnicodeTables(nint32 countryCode, nint32 codePage);
NWCCODE NWFreeUnicodeTables(void);
NWCCODE NWGetNWNetVersion(nuint8 *majorVersion, nuint8 *minorVersion,
                          nuint8 *revisionLevel, nuint8 *betaReleaseLevel);
NWDSCCODE NWNetInit(void *in, void *out);
NWDSCCODE NWNetTerm(void *reserved);
NWCCODE NWGetUnicodeToLocalHandle(void **handle);
NWCCODE NWUnicodeToLocal(void *ruleHandle, nuint8 *dest, nuint32 maxLen,
                         const unicode *src, nuint8 noMap, nuint32 *len);

/* ---- buffers and request building -------------------------------------- */
NWDSCCODE NWDSAllocBuf(size_t size, pBuf_T *buf);
NWDSCCODE NWDSInitBuf(NWDSContextHandle context, nuint32 operation, pBuf_T buf);
NWDSCCODE NWDSFreeBuf(pBuf_T buf);
NWDSCCODE NWDSPutAttrName(NWDSContextHandle context, pBuf_T buf, const nstr8 *attrName);
NWDSCCODE NWDSPutChange(NWDSContextHandle context, pBuf_T buf, nuint32 changeType,
                        const nstr8 *attrName);
NWDSCCODE NWDSBeginClassItem(NWDSContextHandle context, pBuf_T buf);
NWDSCCODE NWDSPutClassItem(NWDSContextHandle context, pBuf_T buf, const nstr8 *itemName);
NWDSCCODE NWDSPutAttrVal(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                         const void *attrVal);

/* ---- result readers ------------------------------------------------------ */
NWDSCCODE NWDSComputeAttrValSize(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                                 nuint32 *attrValSize);
NWDSCCODE NWDSGetAttrVal(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                         void *attrVal);
NWDSCCODE NWDSGetObjectCount(NWDSContextHandle context, pBuf_T buf, nuint32 *objectCount);
NWDSCCODE NWDSGetObjectName(NWDSContextHandle context, pBuf_T buf, pnstr8 objectName,
                            nuint32 *attrCount, Object_Info_T *objectInfo);
NWDSCCODE NWDSGetAttrCount(NWDSContextHandle context, pBuf_T buf, nuint32 *attrCount);
NWDSCCODE NWDSGetAttrName(NWDSContextHandle context, pBuf_T buf, pnstr8 attrName,
                          nuint32 *attrValCount, nuint32 *syntaxID);
NWDSCCODE NWDSGetClassDefCount(NWDSContextHandle context, pBuf_T buf, nuint32 *classDefCount);
NWDSCCODE NWDSGetClassDef(NWDSContextHandle context, pBuf_T buf, pnstr8 className,
                          Class_Info_T *classInfo);
NWDSCCODE NWDSGetClassItemCount(NWDSContextHandle context, pBuf_T buf, nuint32 *itemCount);
NWDSCCODE NWDSGetClassItem(NWDSContextHandle context, pBuf_T buf, pnstr8 itemName);
NWDSCCODE NWDSGetSyntaxCount(NWDSContextHandle context, pBuf_T buf, nuint32 *syntaxCount);
NWDSCCODE NWDSGetPartitionInfo(NWDSContextHandle context, pBuf_T buf, pnstr8 partitionName,
                               nuint32 *replicaType);
NWDSCCODE NWDSGetServerName(NWDSContextHandle context, pBuf_T buf, pnstr8 serverName,
                            nuint32 *partitionCount);

/* ---- reading and searching ----------------------------------------------- */
NWDSCCODE NWDSRead(NWDSContextHandle context, const nstr8 *object, nuint32 infoType,
                   nbool8 allAttrs, pBuf_T attrNames, nint32 *iterationHandle,
                   pBuf_T objectInfo);
NWDSCCODE NWDSReadObjectInfo(NWDSContextHandle context, const nstr8 *object,
                             pnstr8 distinguishedName, Object_Info_T *objectInfo);
NWDSCCODE NWDSReadReferences(NWDSContextHandle context, const nstr8 *serverName,
                             const nstr8 *objectName, nuint32 infoType, nbool8 allAttrs,
                             pBuf_T attrNames, nuint32 timeFilter, nint32 *iterationHandle,
                             pBuf_T objectInfo);
NWDSCCODE NWDSSearch(NWDSContextHandle context, const nstr8 *baseObjectName, nint32 scope,
                     nbool8 searchAliases, pBuf_T filter, nuint32 infoType, nbool8 allAttrs,
                     pBuf_T attrNames, nint32 *iterationHandle, nint32 countObjectsToSearch,
                     nint32 *countObjectsSearched, pBuf_T objectInfo);
NWDSCCODE NWDSCompare(NWDSContextHandle context, const nstr8 *object, pBuf_T buf,
                      nbool8 *matched);
NWDSCCODE NWDSInspectEntry(NWDSContextHandle context, const nstr8 *serverName,
                           const nstr8 *objectName, pBuf_T errBuffer);

/* ---- listing and iteration ----------------------------------------------- */
NWDSCCODE NWDSList(NWDSContextHandle context, const nstr8 *object, nint32 *iterationHandle,
                   pBuf_T subordinates);
NWDSCCODE NWDSListByClassAndName(NWDSContextHandle context, const nstr8 *objectName,
                                 const nstr8 *className, const nstr8 *subordinateName,
                                 nint32 *iterationHandle, pBuf_T subordinates);
NWDSCCODE NWDSListContainableClasses(NWDSContextHandle context, const nstr8 *parentObject,
                                     nint32 *iterationHandle, pBuf_T containableClasses);
NWDSCCODE NWDSListContainers(NWDSContextHandle context, const nstr8 *object,
                             nint32 *iterationHandle, pBuf_T subordinates);
NWDSCCODE NWDSGetCountByClassAndName(NWDSContextHandle context, const nstr8 *objectName,
                                     const nstr8 *className, const nstr8 *subordinateName,
                                     nint32 *count);
NWDSCCODE NWDSCloseIteration(NWDSContextHandle context, nint32 iterationHandle,
                             nuint32 operation);

/* ---- modifying entries ----------------------------------------------------- */
NWDSCCODE NWDSAddObject(NWDSContextHandle context, const nstr8 *objectName,
                        nint32 *iterationHandle, nbool8 more, pBuf_T objectInfo);
NWDSCCODE NWDSModifyObject(NWDSContextHandle context, const nstr8 *objectName,
                           nint32 *iterationHandle, nbool8 more, pBuf_T changes);
NWDSCCODE NWDSModifyDN(NWDSContextHandle context, const nstr8 *objectName,
                       const nstr8 *newDN, nbool8 deleteOldRDN);
NWDSCCODE NWDSModifyRDN(NWDSContextHandle context, const nstr8 *objectName,
                        const nstr8 *newDN, nbool8 deleteOldRDN);
NWDSCCODE NWDSMoveObject(NWDSContextHandle context, const nstr8 *objectName,
                         const nstr8 *destParentDN, const nstr8 *destRDN);
NWDSCCODE NWDSRemoveObject(NWDSContextHandle context, const nstr8 *object);
NWDSCCODE NWDSBackupObject(NWDSContextHandle context, const nstr8 *objectName,
                           nint32 *iterationHandle, pBuf_T objectInfo);
NWDSCCODE NWDSRestoreObject(NWDSContextHandle context, const nstr8 *objectName,
                            nint32 *iterationHandle, nbool8 more, nuint32 size,
                            const nuint8 *objectInfo);
NWDSCCODE NWDSAddSecurityEquiv(NWDSContextHandle context, const nstr8 *equalFrom,
                               const nstr8 *equalTo);
NWDSCCODE NWDSRemSecurityEquiv(NWDSContextHandle context, const nstr8 *equalFrom,
                               const nstr8 *equalTo);

/* ---- effective rights ------------------------------------------------------ */
NWDSCCODE NWDSGetEffectiveRights(NWDSContextHandle context, const nstr8 *subjectName,
                                 const nstr8 *objectName, const nstr8 *attrName,
                                 nuint32 *privileges);
NWDSCCODE NWDSListAttrsEffectiveRights(NWDSContextHandle context, const nstr8 *objectName,
                                       const nstr8 *subjectName, nbool8 allAttrs,
                                       pBuf_T attrNames, nint32 *iterationHandle,
                                       pBuf_T privilegeInfo);

/* ---- streams --------------------------------------------------------------- */
NWDSCCODE NWDSOpenStream(NWDSContextHandle context, const nstr8 *objectName,
                         const nstr8 *attrName, nflag32 flags, NWFILE_HANDLE *fileHandle);

/* ---- name utilities --------------------------------------------------------- */
NWDSCCODE NWDSAbbreviateName(NWDSContextHandle context, const nstr8 *inName,
                             pnstr8 abbreviatedName);
NWDSCCODE NWDSCanonicalizeName(NWDSContextHandle context, const nstr8 *objectName,
                               pnstr8 canonName);
NWDSCCODE NWDSRemoveAllTypes(NWDSContextHandle context, const nstr8 *name,
                             pnstr8 strippedName);
NWDSCCODE NWDSReplaceAttrNameAbbrev(NWDSContextHandle context, const nstr8 *inStr,
                                    pnstr8 outStr);
NWDSCCODE NWDSWhoAmI(NWDSContextHandle context, pnstr8 objectName);
NWDSCCODE NWDSGetSyntaxID(NWDSContextHandle context, const nstr8 *attrName,
                          nuint32 *syntaxID);
NWDSCCODE NWDSCIStringsMatch(NWDSContextHandle context, const nstr8 *string1,
                             const nstr8 *string2, nint32 *matches);
NWDSCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, nuint32 objectID,
                          pnstr8 object);
NWDSCCODE NWDSResolveName(NWDSContextHandle context, const nstr8 *objectName,
                          NWCONN_HANDLE *conn, nuint32 *objectID);

/* ---- login, authentication, passwords ---------------------------------------- */
NWDSCCODE NWDSLogin(NWDSContextHandle context, nflag32 optionsFlag, const nstr8 *objectName,
                    const nstr8 *password, nuint32 validityPeriod);
NWDSCCODE NWDSLogout(NWDSContextHandle context);
NWDSCCODE NWDSAuthenticate(NWCONN_HANDLE conn, nflag32 optionsFlag,
                           NWDS_Session_Key_T *sessionKey);
NWDSCCODE NWDSCanDSAuthenticate(NWDSContextHandle context);
nint32 NWIsDSAuthenticated(void);
NWDSCCODE NWDSChangeObjectPassword(NWDSContextHandle context, nflag32 optionsFlag,
                                   const nstr8 *objectName, const nstr8 *oldPassword,
                                   const nstr8 *newPassword);
NWDSCCODE NWDSVerifyObjectPassword(NWDSContextHandle context, nflag32 optionsFlag,
                                   const nstr8 *objectName, const nstr8 *password);
NWDSCCODE NWDSGenerateObjectKeyPair(NWDSContextHandle context, const nstr8 *objectName,
                                    const nstr8 *objectPassword, nflag32 optionsFlag);

/* ---- connections, servers, trees ---------------------------------------------- */
NWDSCCODE NWDSGetMonitoredConnection(NWCONN_HANDLE *conn);
NWDSCCODE NWDSGetMonitoredConnRef(NWDSContextHandle context, nuint32 *connRef);
NWDSCCODE NWDSOpenMonitoredConn(NWDSContextHandle context, NWCONN_HANDLE *connHandle);
NWDSCCODE NWDSSetMonitoredConnection(NWCONN_HANDLE conn);
NWDSCCODE NWDSLockConnection(NWCONN_HANDLE conn);
NWDSCCODE NWDSUnlockConnection(NWCONN_HANDLE conn);
NWDSCCODE NWDSOpenConnToNDSServer(NWDSContextHandle context, const nstr8 *serverName,
                                  NWCONN_HANDLE *connHandle);
/* serverName receives up to NW_MAX_SERVER_NAME_LEN bytes, transAddr up to
   MAX_NET_ADDRESS_BYTES bytes. */
NWDSCCODE NWDSGetConnectionInfo(NWCONN_HANDLE conn, nuint8 *connStatus, nuint8 *connType,
                                nuint8 *serverFlags, nuint8 *serverName, nuint8 *transType,
                                nuint32 *transLen, nuint8 *transAddr, nuint16 *distance,
                                nuint16 *maxPacketSize);
/* transBuf holds transLen bytes of transport address; only the first is read
   when transLen is larger than the caller's area. */
NWDSCCODE NWDSGetConnectionSlot(nuint8 connType, nuint8 transType, nuint32 transLen,
                                nuint8 *transBuf, NWCONN_HANDLE *conn);
/* sapName: MAX_SAP_NAME_BYTES bytes; treeName: MAX_TREE_NAME_BYTES UTF-16 units (terminator included) */
NWDSCCODE NWDSGetDSVerInfo(NWCONN_HANDLE conn, nuint32 *dsVersion,
                           nuint32 *rootMostEntryDepth, pnstr8 sapName, nuint32 *flags,
                           unicode *treeName);
NWDSCCODE NWDSGetBinderyContext(NWDSContextHandle context, NWCONN_HANDLE conn,
                                nuint8 *BinderyEmulationContext);
NWCCODE NWGetNumConnections(nuint16 *numConnections);
NWDSCCODE NWDSGetServerDN(NWDSContextHandle context, NWCONN_HANDLE conn, pnstr8 serverDN);
NWDSCCODE NWDSGetServerAddresses(NWDSContextHandle context, NWCONN_HANDLE conn,
                                 nuint32 *countNetAddress, pBuf_T netAddresses);
NWDSCCODE NWDSGetObjectHostServerAddress(NWDSContextHandle context, const nstr8 *objectName,
                                         pnstr8 serverName, pBuf_T netAddresses);
nint32 NWIsDSServer(NWCONN_HANDLE conn, pnstr8 treeName);
NWCCODE NWGetPreferredDSServer(NWCONN_HANDLE *conn);
NWCCODE NWGetPreferredConnName(nuint8 *preferredName, nuint8 *preferredType);
NWDSCCODE NWDSScanConnsForTrees(NWDSContextHandle context, nuint32 numOfPtrs,
                                nuint32 *numOfTrees, pnstr8 *treeBufPtrs);
NWDSCCODE NWDSScanForAvailableTrees(NWDSContextHandle context, NWCONN_HANDLE connHandle,
                                    const nstr8 *scanFilter, nint32 *scanIndex,
                                    pnstr8 treeName);
NWCCODE NWSetPreferredDSTree(nuint16 length, const nuint8 *treeName);

/* ---- partitions and replicas ---------------------------------------------------- */
NWDSCCODE NWDSAddPartition(NWDSContextHandle context, const nstr8 *server,
                           const nstr8 *partitionRoot, nint32 *iterationHandle, nbool8 more,
                           pBuf_T objectInfo);
NWDSCCODE NWDSRemovePartition(NWDSContextHandle context, const nstr8 *partitionRoot);
NWDSCCODE NWDSSplitPartition(NWDSContextHandle context, const nstr8 *subordinatePartition,
                             nflag32 flags);
NWDSCCODE NWDSJoinPartitions(NWDSContextHandle context, const nstr8 *subordinatePartition,
                             nflag32 flags);
NWDSCCODE NWDSAbortPartitionOperation(NWDSContextHandle context, const nstr8 *partitionRoot);
NWDSCCODE NWDSGetPartitionRoot(NWDSContextHandle context, const nstr8 *objectName,
                               pnstr8 partitionRoot);
NWDSCCODE NWDSListPartitions(NWDSContextHandle context, nint32 *iterationHandle,
                             const nstr8 *server, pBuf_T partitions);
NWDSCCODE NWDSRepairTimeStamps(NWDSContextHandle context, const nstr8 *partitionRoot);
NWDSCCODE NWDSAddReplica(NWDSContextHandle context, const nstr8 *server,
                         const nstr8 *partitionRoot, nuint32 replicaType);
NWDSCCODE NWDSRemoveReplica(NWDSContextHandle context, const nstr8 *server,
                            const nstr8 *partitionRoot);
NWDSCCODE NWDSChangeReplicaType(NWDSContextHandle context, const nstr8 *replicaName,
                                const nstr8 *server, nuint32 newReplicaType);
NWDSCCODE NWDSSyncPartition(NWDSContextHandle context, const nstr8 *server,
                            const nstr8 *partition, nuint32 seconds);
NWDSCCODE NWDSPartitionReceiveAllUpdates(NWDSContextHandle context, const nstr8 *partitionRoot,
                                         const nstr8 *serverName);
NWDSCCODE NWDSPartitionSendAllUpdates(NWDSContextHandle context, const nstr8 *partitionRoot,
                                      const nstr8 *serverName);
NWDSCCODE NWDSReloadDS(NWDSContextHandle context, const nstr8 *serverName);

/* ---- schema ------------------------------------------------------------------------ */
NWDSCCODE NWDSReadAttrDef(NWDSContextHandle context, nuint32 infoType, nbool8 allAttrs,
                          pBuf_T attrNames, nint32 *iterationHandle, pBuf_T attrDefs);
NWDSCCODE NWDSReadClassDef(NWDSContextHandle context, nuint32 infoType, nbool8 allClasses,
                           pBuf_T classNames, nint32 *iterationHandle, pBuf_T classDefs);
NWDSCCODE NWDSReadSyntaxes(NWDSContextHandle context, nuint32 infoType, nbool8 allSyntaxes,
                           pBuf_T syntaxNames, nint32 *iterationHandle, pBuf_T syntaxDefs);
NWDSCCODE NWDSReadSyntaxDef(NWDSContextHandle context, nuint32 syntaxID,
                            Syntax_Info_T *syntaxDef);
NWDSCCODE NWDSModifyClassDef(NWDSContextHandle context, const nstr8 *className,
                             pBuf_T optionalAttrs);
NWDSCCODE NWDSRemoveAttrDef(NWDSContextHandle context, const nstr8 *attrName);
NWDSCCODE NWDSRemoveClassDef(NWDSContextHandle context, const nstr8 *className);
NWDSCCODE NWDSSyncSchema(NWDSContextHandle context, const nstr8 *server, nuint32 seconds);

#ifdef __cplusplus
}
#endif

#endif /* NWCLIENT_H */

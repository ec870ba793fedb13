package SubTable;

# The registry of Vorla's script-visible subs, kept by hand for the tests:
# for each sub its name, result form, prototype, argument names (and with
# them the argument text of its usage message) and the class of every
# typed-handle argument.
#
# Result forms:
#   status  one integer, the last status untouched (the client's status, or
#           for a few subs an integer that is not a status, such as a
#           handle, a truth value or the client's own answer)
#   value   status into the last status; outputs on success, one undef
#           otherwise
#   list    a fixed list returned unconditionally
#   empty   no value at all
#   number  one floating-point number
#
# Argument column: argument names in order.  "name=Class" marks a typed
# handle that is read and class-tested; "name>Class" a typed handle that is
# only written (never read, never class-tested).  "-" means no arguments.
# Prototype column: "-" stands for the empty prototype.

use strict;
use warnings;
use Exporter 'import';

our @EXPORT_OK = qw(
    all_subs sub_names sub_info argtext_of usage_of
    handle_args typed_handle_classes
);
our %EXPORT_TAGS = (all => \@EXPORT_OK);

# Subs whose usage text does not follow the "a, b, c" rule.
my %ARGTEXT_EXCEPTION = (
    constant    => 'name,arg',
    NWCallsInit => 'unused1,unused2',
);

my $TABLE = <<'END_OF_TABLE';
# name                            result  proto          arguments
GetLastErr                        status  -              -
constant                          number  $$             name arg

# directory contexts
NWDSCreateContext                 status  -              -
NWDSCreateContextHandle           value   -              -
NWDSDuplicateContext              status  $              oldContext
NWDSDuplicateContextHandle        status  $$             srcContextHandle destContextHandle
NWDSFreeContext                   status  $              contextHandle
NWDSGetContext                    value   $$             context key
NWDSGetDefNameContext             value   $              context
NWDSSetContext                    status  $$$            context key value
NWDSSetDefNameContext             status  $$$            context nameContextLen nameContext
NWGetDefaultNameContext           status  $$             bufferSize context
NWSetDefaultNameContext           status  $$             contextLength context

# client start-up, locale, Unicode
NWCallsInit                       status  $$             unused1 unused2
NWCallsTerm                       status  $              unused1
NWLlocaleconv                     list    -              -
NWInitUnicodeTables               status  $$             countryCode codePage
NWFreeUnicodeTables               status  -              -
NWGetNWNetVersion                 list    $              void
NWNetInit                         status  $$             in out
NWNetTerm                         status  $              reserved

# buffers and request building
NWDSAllocBuf                      status  $$             size pBuf>pBuf_T
NWDSBeginClassItem                status  $$             context buf=pBuf_T
NWDSFreeBuf                       status  $              pBuf=pBuf_T
NWDSInitBuf                       status  $$$            context flag pBuf=pBuf_T
NWDSPutAttrName                   status  $$$            context buf=pBuf_T attrName
NWDSPutChange                     status  $$$$           context buf=pBuf_T changeType attrName
NWDSPutClassItem                  status  $$$            context buf=pBuf_T itemName
NWDSPutClassName                  status  $$$            context buf=pBuf_T itemName
NWDSPutSyntaxName                 status  $$$            context buf=pBuf_T syntaxName

# syntax classes
IsNumType                         status  $              syntaxId
IsStringType                      status  $              syntaxId
IsMLType                          status  $              syntaxId

# attribute values
NWDSComputeAttrValSize            status  $$$$           context buf=pBuf_T syntaxID attrValSize
TestFunc                          status  $$$$           context buf=pBuf_T attr1 outbuf
NWDSGetAttrVal                    value   $$$            context buf=pBuf_T syntaxID
NWDSPutAttrVal                    status  $$$$           context pBuf=pBuf_T syntaxID attrVal

# result-buffer readers
NWDSGetAttrCount                  value   $$             context buf=pBuf_T
NWDSGetAttrName                   value   $$             context buf=pBuf_T
NWDSGetClassDef                   status  $$$$           context buf=pBuf_T className classInfo=pClass_Info_T
NWDSGetClassDefCount              status  $$$            context buf=pBuf_T classDefCount
NWDSGetClassItem                  status  $$$            context buf=pBuf_T itemName
NWDSGetClassItemCount             status  $$$            context buf=pBuf_T itemCount
NWDSGetObjectCount                value   $$             context buf=pBuf_T
NWDSGetObjectName                 value   $$             context buf=pBuf_T
NWDSGetPartitionInfo              status  $$$$           context buf=pBuf_T partitionName replicaType
NWDSGetServerName                 status  $$$$           context buf=pBuf_T serverName partitionCount
NWDSGetSyntaxCount                status  $$$            context buf=pBuf_T syntaxCount

# reading and searching
NWDSCompare                       value   $$$            context objectName buf=pBuf_T
NWDSInspectEntry                  status  $$$$           context serverName objectName errBuffer=pBuf_T
NWDSRead                          value   $$$$$$$        context object infoType allAttrs attrNames=pBuf_T iterationHandle objectInfo=pBuf_T
NWDSReadObjectInfo                status  $$$$           context object distinguishedName objectInfo=pObject_Info_T
NWDSReadReferences                status  $$$$$$$$$      context serverName objectName infoType allAttrs attrNames=pBuf_T timeFilter iterationHandle objectInfo=pBuf_T
NWDSSearch                        status  $$$$$$$$$$$$   context baseObjectName scope searchAliases filter=pBuf_T infoType allAttrs attrNames=pBuf_T iterationHandle countObjectsToSearch countObjectsSearched objectInfo=pBuf_T

# listing and iteration
NWDSCloseIteration                status  $$$            context iterationHandle operation
NWDSGetCountByClassAndName        status  $$$$$          context objectName className subordinateName count
NWDSList                          value   $$$$           context object iterationHandle subordinates=pBuf_T
NWDSListByClassAndName            status  $$$$$$         context objectName className subordinateName iterationHandle subordinates=pBuf_T
NWDSListContainableClasses        status  $$$$           context parentObject iterationHandle containableClasses=pBuf_T
NWDSListContainers                status  $$$$           context object iterationHandle subordinates=pBuf_T

# modifying entries
NWDSAddObject                     value   $$$$$          context objectName iterationHandle more objectInfo=pBuf_T
NWDSAddSecurityEquiv              status  $$$            context equalFrom equalTo
NWDSBackupObject                  status  $$$$           context objectName iterationHandle objectInfo=pBuf_T
NWDSModifyDN                      status  $$$$           context objectName newDN deleteOldRDN
NWDSModifyObject                  value   $$$$$          context objectName iterationHandle more changes=pBuf_T
NWDSModifyRDN                     status  $$$$           context objectName newDN deleteOldRDN
NWDSMoveObject                    status  $$$$           context objectName destParentDN destRDN
NWDSRemoveObject                  status  $$             context object
NWDSRemSecurityEquiv              status  $$$            context equalFrom equalTo
NWDSRestoreObject                 status  $$$$$$         context objectName iterationHandle more size objectInfo

# effective rights
NWDSGetEffectiveRights            status  $$$$$          context subjectName objectName attrName privileges
NWDSListAttrsEffectiveRights      status  $$$$$$$        context objectName subjectName allAttrs attrNames=pBuf_T iterationHandle privilegeInfo=pBuf_T

# attribute streams
NWDSOpenStream                    value   $$$$           context objectName attrName flags
NWSetEOF                          status  $              handle
NWSetStream                       list    $$             FHandle Value
NWCloseStream                     empty   $              FHandle

# name utilities
NWDSAbbreviateName                value   $$             context inName
NWDSCanonicalizeName              value   $$             context objectName
NWDSCIStringsMatch                status  $$$$           context string1 string2 matches
NWDSGetSyntaxID                   value   $$             context attrName
NWDSMapIDToName                   status  $$$$           context conn objectID object
NWDSRemoveAllTypes                value   $$             context name
NWDSReplaceAttrNameAbbrev         value   $$             context inStr
NWDSResolveName                   status  $$$$           context objectName conn objectID
NWDSWhoAmI                        value   $              context

# login, authentication, passwords
NWDSAuthenticate                  status  $$$            conn optionsFlag sessionKey
NWDSCanDSAuthenticate             status  $              context
NWDSChangeObjectPassword          status  $$$$$          context optionsFlag objectName oldPassword newPassword
NWDSGenerateObjectKeyPair         status  $$$$           context objectName objectPassword optionsFlag
NWDSLogin                         status  $$$$$          context optionsFlag objectName password validityPeriod
NWDSLogout                        status  $              context
NWDSVerifyObjectPassword          status  $$$$           contextHandle optionsFlag objectName password
NWIsDSAuthenticated               status  -              -

# connections, servers, trees
NWDSGetBinderyContext             status  $$$            context conn BinderyEmulationContext
NWDSGetConnectionInfo             value   $              conn
NWDSGetConnectionSlot             status  $$$$$          connType transType transLen transBuf conn
NWDSGetDSVerInfo                  value   $              conn
NWDSGetMonitoredConnection        status  $              conn
NWDSGetMonitoredConnRef           status  $$             context connRef
NWDSGetObjectHostServerAddress    status  $$$$           context objectName serverName netAddresses=pBuf_T
NWDSGetServerAddresses            status  $$$$           context conn countNetAddress netAddresses=pBuf_T
NWDSGetServerDN                   status  $$$            context conn serverDN
NWDSLockConnection                status  $              conn
NWDSOpenConnToNDSServer           status  $$$            context serverName connHandle
NWDSOpenMonitoredConn             status  $$             context connHandle
NWDSScanConnsForTrees             status  $$$$           context numOfPtrs numOfTrees treeBufPtrs
NWDSScanForAvailableTrees         status  $$$$$          context connHandle scanFilter scanIndex treeName
NWDSSetMonitoredConnection        status  $              conn
NWDSUnlockConnection              status  $              conn
NWGetNumConnections               status  $              numConnections
NWGetPreferredConnName            status  $$             preferredName preferredType
NWGetPreferredDSServer            status  $              conn
NWIsDSServer                      status  $$             conn treeName
NWSetPreferredDSTree              status  $$             length tree

# partitions and replicas
NWDSAbortPartitionOperation       status  $$             context partitionRoot
NWDSAddPartition                  value   $$$$$$         context server partitionRoot iterationHandle more objectInfo=pBuf_T
NWDSAddReplica                    status  $$$$           context server partitionRoot replicaType
NWDSChangeReplicaType             status  $$$$           context replicaName server newReplicaType
NWDSGetPartitionRoot              value   $$$            context objectName partitionRoot
NWDSJoinPartitions                status  $$$            context subordinatePartition flags
NWDSListPartitions                status  $$$$           context iterationHandle server partitions=pBuf_T
NWDSPartitionReceiveAllUpdates    status  $$$            context partitionRoot serverName
NWDSPartitionSendAllUpdates       status  $$$            context partitionRoot serverName
NWDSReloadDS                      status  $$             context serverName
NWDSRemovePartition               status  $$             context partitionRoot
NWDSRemoveReplica                 status  $$$            context server partitionRoot
NWDSRepairTimeStamps              status  $$             context partitionRoot
NWDSSplitPartition                status  $$$            context subordinatePartition flags
NWDSSyncPartition                 status  $$$$           context server partition seconds

# schema
NWDSModifyClassDef                status  $$$            context className optionalAttrs=pBuf_T
NWDSReadAttrDef                   status  $$$$$$         context infoType allAttrs attrNames=pBuf_T iterationHandle attrDefs=pBuf_T
NWDSReadClassDef                  status  $$$$$$         context infoType allClasses classNames=pBuf_T iterationHandle classDefs=pBuf_T
NWDSReadSyntaxDef                 status  $$$            context syntaxID syntaxDef=pSyntax_Info_T
NWDSReadSyntaxes                  status  $$$$$$         context infoType allSyntaxes syntaxNames=pBuf_T iterationHandle syntaxDefs=pBuf_T
NWDSRemoveAttrDef                 status  $$             context attrName
NWDSRemoveClassDef                status  $$             context className
NWDSSyncSchema                    status  $$$            context server seconds
END_OF_TABLE

my @TYPED_HANDLE_CLASSES = qw(pBuf_T pClass_Info_T pObject_Info_T pSyntax_Info_T);
my %IS_CLASS = map { $_ => 1 } @TYPED_HANDLE_CLASSES;
my %RESULT_FORM = map { $_ => 1 } qw(status value list empty number);

my (@SUBS, %BY_NAME);

# Parse the table once; a malformed or self-contradicting row is a defect of
# this file and stops every test that loads it.
for my $line (split /\n/, $TABLE) {
    next if $line =~ /^\s*(?:#|$)/;
    my ($name, $result, $proto, @fields) = split ' ', $line;
    die "SubTable: short row: $line\n" unless @fields;
    die "SubTable: duplicate sub $name\n" if $BY_NAME{$name};
    die "SubTable: bad result form '$result' for $name\n" unless $RESULT_FORM{$result};
    $proto = '' if $proto eq '-';
    die "SubTable: bad prototype for $name\n" unless $proto =~ /^\$*$/;
    @fields = () if "@fields" eq '-';

    my (@args, @handles, @outputs);
    for my $i (0 .. $#fields) {
        my ($arg, $mark, $class) = $fields[$i] =~ /^(\w+)(?:([=>])(\w+))?$/
            or die "SubTable: bad argument '$fields[$i]' for $name\n";
        die "SubTable: unknown handle class $class for $name\n"
            if defined $class && !$IS_CLASS{$class};
        push @args, $arg;
        next unless defined $mark;
        my $h = { index => $i, name => $arg, class => $class };
        push @{ $mark eq '=' ? \@handles : \@outputs }, $h;
    }
    die "SubTable: $name has " . @args . " arguments but prototype '$proto'\n"
        unless length($proto) == @args;

    my $argtext = exists $ARGTEXT_EXCEPTION{$name} ? $ARGTEXT_EXCEPTION{$name}
                                                  : join(', ', @args);
    my $row = {
        name           => $name,
        result         => $result,
        prototype      => $proto,
        args           => \@args,
        argc           => scalar @args,
        argtext        => $argtext,
        handles        => \@handles,    # read and class-tested, in order
        output_handles => \@outputs,    # written only
    };
    push @SUBS, $row;
    $BY_NAME{$name} = $row;
}
die "SubTable: expected 137 subs, have " . @SUBS . "\n" unless @SUBS == 137;

# Every sub's row, in table order (hash references; treat as read-only).
sub all_subs  { return @SUBS }
sub sub_names { return map { $_->{name} } @SUBS }
sub sub_info  { my ($name) = @_; return $BY_NAME{$name} }

# "a, b, c" (or the exceptional text) as it stands between the parentheses.
sub argtext_of { my ($name) = @_; return $BY_NAME{$name}{argtext} }

# The full usage message, without the location the interpreter appends.
sub usage_of {
    my ($name) = @_;
    return "Usage: Vorla::$name($BY_NAME{$name}{argtext})";
}

# The typed-handle arguments that are read and class-tested, in argument
# order, as { index, name, class } hashes.
sub handle_args { my ($name) = @_; return @{ $BY_NAME{$name}{handles} } }

sub typed_handle_classes { return @TYPED_HANDLE_CLASSES }

1;

# The directory benchmark's tree and operations, driven through the module:
# users spread over containers of 1,000 below O=Example, and the operations
# the benchmarks time on them.  Shared by bench/directory and bench/peer.
#
# User i is CN=u<i, 6 digits>.OU=ou<i/1000, 3 digits>.O=Example with the
# Surname "Sur<i, 7 digits>" and the Telephone Number "555-<i, 7 digits>".
# Every search and listing asks for the one attribute Surname with its value
# and reads each object's name out of the result, as a script would.
package DirBench;
use strict;
use warnings;
use Time::HiRes qw(time);
use Vorla qw(:constants);

our $PASSWORD = 'bench-secret';

my ($ctx, $req, $names, $out, $filter, $wanted);

sub put { my @v = ($_[1]); Vorla::NWDSPutAttrVal($ctx, $req, $_[0], $v[0]) == 0 or die "put\n" }

# Opens a context on the store named by NWCLIENT_STORE (created with the
# Admin's password when new) and logs in as the Admin.
sub start {
    $ctx = Vorla::NWDSCreateContextHandle() // die "no context\n";
    Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, "O=Example");
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, $req);
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, $names);
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, $out);
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, $filter);
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, $wanted);
    Vorla::NWDSInitBuf($ctx, DSV_SEARCH, $wanted);
    Vorla::NWDSPutAttrName($ctx, $wanted, "Surname");
    Vorla::NWDSInitBuf($ctx, DSV_READ, $names);
    Vorla::NWDSPutAttrName($ctx, $names, "Surname");
    Vorla::NWDSPutAttrName($ctx, $names, "Telephone Number");
    Vorla::NWDSLogin($ctx, 0, "CN=Admin", $PASSWORD, 0) == 0 or die "login as Admin: refused\n";
}

# The operations run as the Admin, or after as_reader() as a plain user,
# CN=reader.O=Example (added when missing), who may compare and read every
# attribute below the organization through one ACL value on O=Example.
our $READER_PASSWORD = 'reader-secret';
my ($admin_ctx, $reader_ctx);
sub as_admin { $ctx = $admin_ctx if $admin_ctx }
sub as_reader {
    unless ($reader_ctx) {
        $admin_ctx = $ctx;
        if (!defined Vorla::NWDSRead($ctx, "CN=reader", DS_ATTRIBUTE_NAMES, 0, $names, NO_MORE_ITERATIONS, $out)) {
            Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
            Vorla::NWDSPutAttrName($ctx, $req, "Object Class");
            put(SYN_CLASS_NAME, "User");
            Vorla::NWDSPutAttrName($ctx, $req, "Surname");
            put(SYN_CI_STRING, "Reader");
            defined Vorla::NWDSAddObject($ctx, "CN=reader", NO_MORE_ITERATIONS, 0, $req)
                or die "add reader: " . Vorla::GetLastErr() . "\n";
            Vorla::NWDSGenerateObjectKeyPair($ctx, "CN=reader", $READER_PASSWORD, 0) == 0 or die "reader's password\n";
            Vorla::NWDSInitBuf($ctx, DSV_MODIFY_ENTRY, $req);
            Vorla::NWDSPutChange($ctx, $req, DS_ADD_VALUE, "ACL");
            put(SYN_OBJECT_ACL, "[All Attributes Rights]\n[CR]\n.CN=reader.O=Example\n");
            defined Vorla::NWDSModifyObject($ctx, ".O=Example", NO_MORE_ITERATIONS, 0, $req)
                or die "grant the reader: " . Vorla::GetLastErr() . "\n";
        }
        $reader_ctx = Vorla::NWDSCreateContextHandle() // die "no context\n";
        Vorla::NWDSSetContext($reader_ctx, DCK_NAME_CONTEXT, "O=Example");
        Vorla::NWDSLogin($reader_ctx, 0, "CN=reader", $READER_PASSWORD, 0) == 0 or die "login as reader: refused\n";
    }
    $ctx = $reader_ctx;
}

sub user_name { my $i = shift; sprintf "CN=u%06d.OU=ou%03d", $i, int($i / 1000) }

# How many users the store holds already (they are added in order).
sub users_present {
    my $n = 0;
    $n += 1000 while defined Vorla::NWDSRead($ctx, user_name($n + 999), DS_ATTRIBUTE_NAMES, 0, $names,
                                             NO_MORE_ITERATIONS, $out);
    $n++ while defined Vorla::NWDSRead($ctx, user_name($n), DS_ATTRIBUTE_NAMES, 0, $names, NO_MORE_ITERATIONS, $out);
    return $n;
}

sub add_user {
    my ($i) = @_;
    if ($i % 1000 == 0) {
        Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
        Vorla::NWDSPutAttrName($ctx, $req, "Object Class");
        put(SYN_CLASS_NAME, "Organizational Unit");
        defined Vorla::NWDSAddObject($ctx, sprintf("OU=ou%03d", int($i / 1000)), NO_MORE_ITERATIONS, 0, $req)
            or die "add OU: " . Vorla::GetLastErr() . "\n";
    }
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
    Vorla::NWDSPutAttrName($ctx, $req, "Object Class");
    put(SYN_CLASS_NAME, "User");
    Vorla::NWDSPutAttrName($ctx, $req, "Surname");
    put(SYN_CI_STRING, sprintf "Sur%07d", $i);
    Vorla::NWDSPutAttrName($ctx, $req, "Telephone Number");
    put(SYN_TEL_NUMBER, sprintf "555-%07d", $i);
    defined Vorla::NWDSAddObject($ctx, user_name($i), NO_MORE_ITERATIONS, 0, $req)
        or die "add user $i: " . Vorla::GetLastErr() . "\n";
}

sub read_user {
    defined Vorla::NWDSRead($ctx, user_name($_[0]), DS_ATTRIBUTE_VALUES, 0, $names, NO_MORE_ITERATIONS, $out)
        or die "read: " . Vorla::GetLastErr() . "\n";
}

sub modify_user {
    my ($i, $n) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_MODIFY_ENTRY, $req);
    Vorla::NWDSPutChange($ctx, $req, DS_OVERWRITE_VALUE, "Telephone Number");
    put(SYN_TEL_NUMBER, sprintf "555-%07d", $n);
    defined Vorla::NWDSModifyObject($ctx, user_name($i), NO_MORE_ITERATIONS, 0, $req)
        or die "modify: " . Vorla::GetLastErr() . "\n";
}

# A subtree search of the organization for Surname equal to (or, with
# `wild`, beginning with) user i's; the names found.
sub search_surname {
    my ($i, $wild, $expect) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_SEARCH_FILTER, $filter);
    Vorla::NWDSPutAttrName($ctx, $filter, "Surname");
    my $v = sprintf("Sur%07d", $i) . ($wild ? '*' : '');
    Vorla::NWDSPutAttrVal($ctx, $filter, SYN_CI_STRING, $v);
    my ($iter, $searched, @found) = (NO_MORE_ITERATIONS, 0);
    do {
        Vorla::NWDSSearch($ctx, "", DS_SEARCH_SUBTREE, 0, $filter, DS_ATTRIBUTE_VALUES, 0, $wanted, $iter, 0,
                          $searched, $out) == 0 or die "search: failed\n";
        push @found, (Vorla::NWDSGetObjectName($ctx, $out))[0] for 1 .. Vorla::NWDSGetObjectCount($ctx, $out);
    } while ($iter != -1);
    die "search for $v found " . scalar(@found) . "\n" if defined $expect && @found != $expect;
    return @found;
}

# The users of one container whose name begins with u<i / 10, 5 digits>:
# ten of them.
sub list_class_and_name {
    my ($i) = @_;
    my $ou = sprintf "OU=ou%03d", int($i / 1000);
    my $pattern = sprintf "u%05d*", int($i / 10);
    my ($iter, @found) = (NO_MORE_ITERATIONS);
    do {
        Vorla::NWDSListByClassAndName($ctx, $ou, "User", $pattern, $iter, $out) == 0
            or die "list by class and name: failed\n";
        push @found, (Vorla::NWDSGetObjectName($ctx, $out))[0] for 1 .. Vorla::NWDSGetObjectCount($ctx, $out);
    } while ($iter != -1);
    return @found;
}

# Operations per second: the median of three rounds of n/3 calls each (a
# round ends early after 2 s), the argument of each call drawn by `pick`.
sub rate {
    my ($n, $pick, $code) = @_;
    my $per = int($n / 3) || 1;
    my @r = map { round_rate($code, [map { $pick->() } 1 .. $per]) } 1 .. 3;
    return (sort { $a <=> $b } @r)[1];
}

# Calls per second of one round: `code` on each argument in turn, ended
# early after 2 s.
sub round_rate {
    my ($code, $args) = @_;
    my ($t0, $done) = (time, 0);
    for (@$args) {
        $code->($_);
        ++$done;
        last if ($done & 15) == 0 && time - $t0 > 2;
    }
    return $done / (time - $t0);
}

# Two implementations' rates side by side: rounds of n/5 calls of each in
# turn, the same arguments for both in a round, so that a machine whose
# speed drifts during the run (other guests on the host) slows both alike;
# the median round of each.
sub rates_side_by_side {
    my ($n, $pick, $code_a, $code_b) = @_;
    my $per = int($n / 5) || 1;
    my (@a, @b);
    for (1 .. 5) {
        my @args = map { $pick->() } 1 .. $per;
        push @a, round_rate($code_a, \@args);
        push @b, round_rate($code_b, \@args);
    }
    return ((sort { $a <=> $b } @a)[2], (sort { $a <=> $b } @b)[2]);
}

1;

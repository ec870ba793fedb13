# Renaming and moving from a script: a new name with the old naming value
# kept or dropped, a container moved with the entries below it, a rename and
# move in one call, and the refusals that leave the tree as it was.  On either
# backend (t/lib/Backend.pm).
use strict;
use warnings;
use Test::More;
use FindBin;
use lib "$FindBin::Bin/lib";
use Backend password => 'Admin-pw';
use Vorla qw(:constants);

my $ctx = Vorla::NWDSCreateContextHandle();
Vorla::NWDSLogin($ctx, 0, ".CN=Admin.O=Example", Backend::password(), 0) == 0 or die "login as the Admin";
Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, "O=Example");
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $req);
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $out);

sub add {
    my ($name, $class) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'Object Class');
    Vorla::NWDSPutAttrVal($ctx, $req, SYN_CLASS_NAME, my $c = $class);
    if ($class eq 'User') {
        Vorla::NWDSPutAttrName($ctx, $req, 'Surname');
        Vorla::NWDSPutAttrVal($ctx, $req, SYN_CI_STRING, my $s = 'Tester');
    }
    defined Vorla::NWDSAddObject($ctx, $name, NO_MORE_ITERATIONS, 0, $req)
        or die "add $name: " . Vorla::GetLastErr() . "\n";
}

# The sorted values of one attribute, or the status of a failed read.
sub values_of {
    my ($name, $attr) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_READ, $req);
    Vorla::NWDSPutAttrName($ctx, $req, $attr);
    my $iter = Vorla::NWDSRead($ctx, $name, DS_ATTRIBUTE_VALUES, 0, $req, NO_MORE_ITERATIONS, $out);
    return Vorla::GetLastErr() unless defined $iter;
    my @v;
    for (1 .. Vorla::NWDSGetAttrCount($ctx, $out)) {
        my (undef, $n, $syntax) = Vorla::NWDSGetAttrName($ctx, $out);
        push @v, Vorla::NWDSGetAttrVal($ctx, $out, $syntax) for 1 .. $n;
    }
    return [sort @v];
}

add('OU=Src', 'Organizational Unit');
add('OU=Inner.OU=Src', 'Organizational Unit');
add('CN=Deep.OU=Inner.OU=Src', 'User');
add('OU=Dst', 'Organizational Unit');
add("CN=$_.OU=Src", 'User') for qw(Alice Other);

subtest 'a new name for an entry' => sub {
    is Vorla::NWDSModifyRDN($ctx, 'CN=Alice.OU=Src', 'CN=Bob', 0), 0, 'renamed, keeping the old value';
    is values_of('CN=Alice.OU=Src', 'CN'), -601, 'the old name is gone';
    is_deeply values_of('CN=Bob.OU=Src', 'CN'), ['Alice', 'Bob'], 'both naming values';
    is_deeply values_of('CN=Bob.OU=Src', 'Surname'), ['Tester'], 'other values follow';
    is Vorla::NWDSModifyRDN($ctx, 'CN=Bob.OU=Src', 'CN=Carol', 1), 0, 'renamed, dropping the old value';
    is_deeply values_of('CN=Carol.OU=Src', 'CN'), ['Alice', 'Carol'], 'only the replaced naming value goes';
    is Vorla::NWDSModifyRDN($ctx, 'CN=Carol.OU=Src', 'CN=Other', 1), -606, 'onto an existing name';
    is Vorla::NWDSModifyRDN($ctx, 'CN=Nobody.OU=Src', 'CN=X', 1), -601, 'an entry that does not exist';
    is_deeply values_of('CN=Carol.OU=Src', 'CN'), ['Alice', 'Carol'], 'the refused renames changed nothing';
};

subtest 'a container moves with its subtree' => sub {
    is Vorla::NWDSMoveObject($ctx, 'OU=Src', 'OU=Dst', 'OU=Moved'), 0, 'moved and renamed';
    is values_of('CN=Deep.OU=Inner.OU=Src', 'Surname'), -601, 'nothing left at the old place';
    is_deeply values_of('CN=Deep.OU=Inner.OU=Moved.OU=Dst', 'Surname'), ['Tester'], 'a deep entry followed';
    my $count = 0;
    is Vorla::NWDSGetCountByClassAndName($ctx, 'OU=Moved.OU=Dst', '', '', $count), 0, 'counted';
    is $count, 3, 'the moved container holds what it held';
    is Vorla::NWDSMoveObject($ctx, 'OU=Moved.OU=Dst', 'OU=Nowhere', 'OU=Moved'), -601, 'into a missing container';
    ok ref values_of('OU=Moved.OU=Dst', 'OU'), 'which leaves it where it was';
};

subtest 'rename and move in one call' => sub {
    is Vorla::NWDSModifyDN($ctx, 'CN=Carol.OU=Moved.OU=Dst', 'CN=Dave', 1), 0, 'to the top of the organization';
    is_deeply values_of('CN=Dave', 'CN'), ['Alice', 'Dave'], 'with its new name';
    is values_of('CN=Carol.OU=Moved.OU=Dst', 'CN'), -601, 'and not at the old place';
    is Vorla::NWDSModifyDN($ctx, 'CN=Dave', 'CN=Eve.OU=Nowhere', 1), -601, 'under a missing parent';
    is_deeply values_of('CN=Dave', 'CN'), ['Alice', 'Dave'], 'which changes nothing';
};

Vorla::NWDSFreeBuf($_) for $req, $out;
Vorla::NWDSFreeContext($ctx);
done_testing;

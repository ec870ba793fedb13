#!/usr/bin/perl
# Builds a small subtree (an organizational unit with a few users carrying
# telephone numbers, a postal address and an access control entry), reads it
# back printing every attribute's values, and removes it again.  It logs in
# as the Admin with the password in $ADMIN_PASSWORD, and runs unchanged on
# the embedded store or against a directory server:
#
#   NWCLIENT_STORE=:memory: NWCLIENT_ADMIN_PASSWORD=pw ADMIN_PASSWORD=pw perl -Mblib examples/subtree.pl
#   NWCLIENT_STORE=ldap://127.0.0.1:3890/o=Example ADMIN_PASSWORD=... perl -Mblib examples/subtree.pl
use strict;
use warnings;
use Vorla qw(:constants);

my $ctx = Vorla::NWDSCreateContextHandle();
defined $ctx or die "no context: " . Vorla::GetLastErr() . "\n";
Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, "O=Example");
my $rc = Vorla::NWDSLogin($ctx, 0, "CN=Admin", $ENV{ADMIN_PASSWORD} // '', 0);
die "login as the Admin failed: $rc\n" if $rc;
# Access control lists are values of the directory's own schema; a server
# without the attribute keeps its access rules elsewhere.
my $has_acl = defined Vorla::NWDSGetSyntaxID($ctx, "ACL");

Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $request) == 0 or die "no buffer\n";
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $result) == 0 or die "no buffer\n";

# Adds one entry from a list of [attribute, syntax, values...].
sub add {
    my ($name, @attributes) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $request);
    for my $a (@attributes) {
        my ($attr, $syntax, @values) = @$a;
        Vorla::NWDSPutAttrName($ctx, $request, $attr);
        for my $value (@values) {
            my @copy = ($value);    # value text is split in place: keep ours
            my $rc = Vorla::NWDSPutAttrVal($ctx, $request, $syntax, $copy[0]);
            die "$name: $attr: status $rc\n" if $rc;
        }
    }
    defined Vorla::NWDSAddObject($ctx, $name, NO_MORE_ITERATIONS, 0, $request)
        or die "adding $name failed: " . Vorla::GetLastErr() . "\n";
    print "added $name\n";
}

# Prints every attribute of an entry with its values.
sub show {
    my ($name) = @_;
    my $none = bless \(my $p = 0), 'pBuf_T';
    my $iter = NO_MORE_ITERATIONS;
    print "$name\n";
    do {
        $iter = Vorla::NWDSRead($ctx, $name, DS_ATTRIBUTE_VALUES, 1, $none, $iter, $result);
        defined $iter or die "reading $name failed: " . Vorla::GetLastErr() . "\n";
        for (1 .. Vorla::NWDSGetAttrCount($ctx, $result)) {
            my ($attr, $count, $syntax) = Vorla::NWDSGetAttrName($ctx, $result);
            for (1 .. $count) {
                my $value = Vorla::NWDSGetAttrVal($ctx, $result, $syntax);
                $value = '(stream)' unless defined $value;
                $value =~ s/\n(?=.)/ | /g;
                chomp $value;
                printf "    %-28s %s\n", $attr, $value;
            }
        }
    } while (($iter & 0xFFFFFFFF) != NO_MORE_ITERATIONS);
}

add("OU=Sales", ['Object Class', SYN_CLASS_NAME, 'Organizational Unit'],
                ['Description', SYN_CI_STRING, 'The sales team'],
                ['Telephone Number', SYN_TEL_NUMBER, '555-0100']);

my @people = (['jdoe', 'Doe', 'Jane', '555-0101'], ['rroe', 'Roe', 'Richard', '555-0102'],
              ['asmith', 'Smith', 'Alex', '555-0103', '555-0104']);
for my $p (@people) {
    my ($cn, $surname, $given, @phones) = @$p;
    add("CN=$cn.OU=Sales", ['Object Class', SYN_CLASS_NAME, 'User'],
        ['Surname', SYN_CI_STRING, $surname], ['Given Name', SYN_CI_STRING, $given],
        ['Telephone Number', SYN_TEL_NUMBER, @phones],
        ['Postal Address', SYN_PO_ADDRESS, "$given $surname\n1 Main Street\nSpringfield\nIL\n62701\nUSA\n"],
        $has_acl ? ['ACL', SYN_OBJECT_ACL, "[Entry Rights]\n[BR]\nCN=$cn.OU=Sales.O=Example\n"] : ());
}

show("OU=Sales");
show("CN=$_->[0].OU=Sales") for @people;

Vorla::NWDSRemoveObject($ctx, "CN=$_->[0].OU=Sales") == 0 || die "remove failed\n" for @people;
Vorla::NWDSRemoveObject($ctx, "OU=Sales") == 0 || die "remove failed\n";
print "removed the subtree\n";

Vorla::NWDSFreeBuf($_) for $request, $result;
Vorla::NWDSFreeContext($ctx);

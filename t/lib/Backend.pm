package Backend;
# Gives each end-to-end test its directory and the Admin's password, on
# either backend, before the module is loaded:
#
#   use Backend password => 'Admin-pw';     # before "use Vorla"
#
# VORLA_TEST_BACKEND selects the backend.  Unset (or "embedded"): a fresh
# private tree (NWCLIENT_STORE=:memory:, or the store given), whose Admin gets
# the given password.  "ldap": NWCLIENT_STORE holds the URL of a directory
# server (the private slapd of the test command), whose manager
# cn=Admin,<base> has the password in VORLA_TEST_LDAP_PASSWORD (default
# "admin-pw"); every entry under the base but the Admin is removed first, so
# each test starts from the same tree as on the embedded store.
#
# Invariants: a test never passes on ldap without talking to the server.  If
# the client refuses the URL (-641) or keeps it as a local file name (a client
# without the LDAP backend), the whole test is skipped with "LDAP backend not
# built"; any other failure is the test's to report.  The probe runs in a
# child process in a temporary folder, so such a client leaves no store
# behind in the tree.  Fault plans and traces of the caller never leak in.
use strict;
use warnings;
use File::Temp ();
use Test::More ();

our ($LDAP, $PASSWORD, $URL, $BASE, $MANAGER);

sub import {
    my ($class, %opt) = @_;
    delete @ENV{qw(NWCLIENT_FAULTS NWCLIENT_TRACE)};
    $LDAP = ($ENV{VORLA_TEST_BACKEND} // 'embedded') eq 'ldap';
    unless ($LDAP) {
        $ENV{NWCLIENT_STORE} = $opt{store} // ':memory:';
        $PASSWORD = $ENV{NWCLIENT_ADMIN_PASSWORD} = $opt{password} // 'Admin-pw';
        return;
    }
    $URL = $ENV{NWCLIENT_STORE} // '';
    $URL =~ m{^ldap[si]?://[^/]*/(.+)$}
        or Test::More::plan(skip_all => "VORLA_TEST_BACKEND=ldap wants the server's URL in NWCLIENT_STORE");
    $BASE = $1;
    $BASE =~ s/%([0-9A-Fa-f]{2})/chr hex $1/ge;
    $MANAGER = "cn=Admin,$BASE";
    $PASSWORD = $ENV{VORLA_TEST_LDAP_PASSWORD} // 'admin-pw';
    delete $ENV{NWCLIENT_ADMIN_PASSWORD};
    clear_server();
    probe();
}

sub ldap     { $LDAP }
sub password { $PASSWORD }

# The organization's name as scripts see it: o=Example is O=Example.
sub organization {
    return 'O=Example' unless $LDAP;
    return join '.', map { s/^(\w+)=/\U$1\E=/r } split /,/, $BASE;
}

# Skips the rest of the current subtest (or test) on ldap, with the reason.
sub embedded_only {
    my ($reason) = @_;
    Test::More::plan(skip_all => "embedded store only: $reason") if $LDAP;
}

sub server {
    require Net::LDAP;
    my ($hostport) = $URL =~ m{^(ldap[si]?://[^/]*)};
    my $ld = Net::LDAP->new($hostport, timeout => 10) or die "cannot reach $hostport: $@\n";
    my $m = $ld->bind($MANAGER, password => $PASSWORD);
    die "bind as $MANAGER: " . $m->error . "\n" if $m->code;
    return $ld;
}

# Removes every entry under the base except the base and the Admin, deepest
# first.
sub clear_server {
    my $ld = server();
    my $m = $ld->search(base => $BASE, scope => 'sub', filter => '(objectClass=*)', attrs => ['1.1']);
    die "listing $BASE: " . $m->error . "\n" if $m->code;
    my @dns = grep { lc $_ ne lc $BASE && lc $_ ne lc $MANAGER } map { $_->dn } $m->entries;
    for my $dn (sort { ($b =~ tr/,//) <=> ($a =~ tr/,//) } @dns) {
        my $d = $ld->delete($dn);
        die "removing $dn: " . $d->error . "\n" if $d->code;
    }
    $ld->unbind;
}

# Reads, as the server has it, what ldapsearch prints for one entry (LDIF
# without line wrapping), or the empty string when there is no such entry.
sub ldapsearch {
    my ($dn, @attrs) = @_;
    my ($hostport) = $URL =~ m{^(ldap[si]?://[^/]*)};
    my $pid = open my $fh, '-|';
    die "fork: $!\n" unless defined $pid;
    unless ($pid) {
        open STDERR, '>', '/dev/null';    # "No such object" is an empty answer here
        exec 'ldapsearch', '-x', '-LLL', '-o', 'ldif-wrap=no', '-H', $hostport,
            '-D', $MANAGER, '-w', $PASSWORD, '-b', $dn, '-s', 'base', '(objectClass=*)', @attrs;
        exit 127;
    }
    local $/;
    my $out = <$fh> // '';
    close $fh;
    my $rc = $? >> 8;
    die "ldapsearch -b $dn failed with $rc\n" unless $rc == 0 || $rc == 32;    # 32: no such object
    return $out;
}

# Asks a child client, in a folder of its own, to log in and read an entry
# that only the server holds.
sub probe {
    my $ld = server();
    my $marker = "ou=vorla-probe,$BASE";
    my $m = $ld->add($marker, attrs => [objectClass => 'organizationalUnit', ou => 'vorla-probe']);
    die "adding $marker: " . $m->error . "\n" if $m->code;
    my $dir = File::Temp->newdir;
    my $org = organization();
    my $code = <<'PERL';
use Vorla qw(:constants);
my ($org, $pw) = @ARGV;
my $ctx = Vorla::NWDSCreateContextHandle();
defined $ctx or do { print "context ", Vorla::GetLastErr(), "\n"; exit };
my $rc = Vorla::NWDSLogin($ctx, 0, ".CN=Admin.$org", $pw, 0);
print "login $rc\n";
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $out);
my $none = bless \(my $p = 0), 'pBuf_T';
my $iter = Vorla::NWDSRead($ctx, ".OU=vorla-probe.$org", DS_ATTRIBUTE_NAMES, 1, $none, NO_MORE_ITERATIONS, $out);
print "read ", defined $iter ? 0 : Vorla::GetLastErr(), "\n";
PERL
    require File::Spec;
    my @inc = map { File::Spec->rel2abs($_) } grep { !ref } @INC;
    my $pid = open my $fh, '-|';
    die "fork: $!\n" unless defined $pid;
    unless ($pid) {
        chdir $dir or die "chdir: $!\n";
        exec $^X, (map { "-I$_" } @inc), '-e', $code, $org, $PASSWORD;
        exit 127;
    }
    my %said = map { /^(\w+) (-?\d+)$/ ? ($1 => $2) : () } <$fh>;
    close $fh;
    opendir my $dh, $dir or die;
    my @left = grep { !/^\.\.?$/ } readdir $dh;
    $ld->delete($marker);
    $ld->unbind;
    my @refused = grep { ($said{$_} // 0) == -641 } qw(context login read);
    Test::More::plan(skip_all => "LDAP backend not built (the client answered -641)") if @refused;
    Test::More::plan(skip_all => "LDAP backend not built (the client kept the URL as a file name)") if @left;
}

1;

# A directory server that goes away under a running script, on a slapd of
# this test's own (scripts/slapd in a temporary folder, stopped by its pid
# whatever happens): a server that hangs or is gone gives -333 (no
# connection) within the timeout, and once a server answers on the URL
# again the next call connects, binds as the identity the script logged in
# as, and works.  Skipped when slapd is not installed or the client has no
# LDAP backend.
use strict;
use warnings;
use Test::More;
use FindBin;
use File::Path ();
use File::Temp ();
use Time::HiRes qw(time);

plan skip_all => 'slapd is not installed' unless -x '/usr/sbin/slapd' && -x '/usr/bin/ldapsearch';
my $slapd = "$FindBin::Bin/../scripts/slapd";
my $tmp = File::Temp::tempdir('vorla-away-XXXXXX', TMPDIR => 1);
my ($first, $second) = ("$tmp/first", "$tmp/second");
END {
    local $?;
    system 'bash', $slapd, 'stop', $_ for $first, $second;
    File::Path::remove_tree($tmp);
}
$SIG{$_} = sub { exit 1 } for qw(INT TERM);
my $url = `bash '$slapd' start '$first'`;
chomp $url;
plan skip_all => "slapd did not start: $url" unless $? == 0 && $url =~ m{^ldap://};
my $port = do { open my $fh, '<', "$first/port" or die; local $/; <$fh> =~ s/\s+//r };

BEGIN { delete @ENV{qw(NWCLIENT_FAULTS NWCLIENT_TRACE)} }
use Vorla qw(:constants);
$ENV{NWCLIENT_STORE} = $url;
$ENV{NWCLIENT_LDAP_TIMEOUT} = 1;
my $ctx = Vorla::NWDSCreateContextHandle();
my $rc = Vorla::NWDSLogin($ctx, 0, '.CN=Admin.O=Example', 'admin-pw', 0);
plan skip_all => 'LDAP backend not built (the client answered -641)' if $rc == -641;
is $rc, 0, 'logged in as the Admin';
Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, 'O=Example');
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $req);
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $out);
my $none = bless \(my $p = 0), 'pBuf_T';

# A read of the organization: its status and the seconds it took.
sub read_org {
    my $t0 = time;
    my $iter = Vorla::NWDSRead($ctx, '.O=Example', DS_ATTRIBUTE_VALUES, 1, $none, NO_MORE_ITERATIONS, $out);
    return (defined $iter ? 0 : Vorla::GetLastErr(), time - $t0);
}
sub add_ou {
    my ($name) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'Object Class');
    Vorla::NWDSPutAttrVal($ctx, $req, SYN_CLASS_NAME, my $c = 'Organizational Unit');
    return defined Vorla::NWDSAddObject($ctx, "OU=$name", NO_MORE_ITERATIONS, 0, $req) ? 0 : Vorla::GetLastErr();
}
sub pid_of { open my $fh, '<', "$_[0]/pid" or die "$_[0]/pid: $!"; local $/; <$fh> =~ s/\s+//r }

is((read_org())[0], 0, 'a read while the server is up');

# A server that stops answering: the timeout, not a hang.
my $pid = pid_of($first);
kill 'STOP', $pid or die "SIGSTOP $pid: $!";
for (1 .. 100) {    # until it has stopped
    open my $fh, '<', "/proc/$pid/stat" or last;
    last if (split ' ', scalar <$fh>)[2] eq 'T';
    Time::HiRes::sleep(0.01);
}
my ($st, $took) = read_org();
kill 'CONT', $pid;
is $st, -333, 'a server that does not answer gives no connection';
cmp_ok $took, '<', 3, sprintf 'within the timeout of 1 second (%.1f s)', $took;

# A server gone: no connection, at once.
system('bash', $slapd, 'stop', $first) == 0 or die "stopping slapd\n";
($st, $took) = read_org();
is $st, -333, 'a server gone gives no connection';
cmp_ok $took, '<', 3, sprintf 'without waiting (%.1f s)', $took;
is add_ou('Lost'), -333, 'so does a change';

# Another server on the same URL: the next calls connect and bind again.
my $again = `bash '$slapd' start '$second' $port`;
chomp $again;
is $again, $url, 'a server on the same port';
is((read_org())[0], 0, 'the next read connects again');
is add_ou('Found'), 0, 'a change works again, bound as the Admin (anonymous may not add)';
Vorla::NWDSFreeBuf($_) for $req, $out;
Vorla::NWDSFreeContext($ctx);

done_testing;

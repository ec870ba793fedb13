# Stream attributes from a script: open a descriptor, write through it,
# truncate at the current position, close, and read the content back.
use strict;
use warnings;
use Test::More;
use File::Temp ();

my $dir = File::Temp->newdir;
$ENV{NWCLIENT_STORE} = "$dir/tree.db";
$ENV{NWCLIENT_ADMIN_PASSWORD} = 'Admin-pw';
delete @ENV{qw(NWCLIENT_FAULTS NWCLIENT_TRACE)};

# Runs a script in a child against the same store and returns its output:
# NWSetEOF writes to standard output, which must not mix into this test's.
sub child {
    my ($code) = @_;
    my $prelude = 'use POSIX (); use Vorla qw(:constants); my $ctx = Vorla::NWDSCreateContextHandle();'
                . ' Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, "O=Example");'
                . ' Vorla::NWDSLogin($ctx, 0, "CN=Admin", "Admin-pw", 0) == 0 or die "login";';
    open my $fh, "-|", $^X, "-Mblib", "-e", "$prelude $code" or die "fork: $!";
    local $/;
    my $out = <$fh>;
    close $fh;
    return ($out, $? >> 8);
}

my ($out, $rc) = child(<<'PERL');
    my $fd = Vorla::NWDSOpenStream($ctx, "CN=Admin", "Login Script", DS_WRITE_STREAM);
    defined $fd or die "open: " . Vorla::GetLastErr();
    print "fd=$fd\n";
    print "set=", Vorla::NWSetStream($fd, "MAP ROOT H:=SYS:HOME\nWRITE \"hello\"\nextra"), "\n";
    print "cut=", Vorla::NWSetStream($fd, "ab\0cd"), "\n";
    my @none = Vorla::NWCloseStream($fd);
    print "close=", scalar(@none), "\n";
    print "closed=", Vorla::NWSetStream($fd, "x"), "\n";
    my $fd2 = Vorla::NWDSOpenStream($ctx, "CN=Admin", "Login Script", DS_READ_STREAM | DS_WRITE_STREAM);
    POSIX::lseek($fd2, 10, 0);
    print "eof=", Vorla::NWSetEOF($fd2), "\n";
    Vorla::NWCloseStream($fd2);
    print "bad=", defined(Vorla::NWDSOpenStream($ctx, "CN=Admin", "Surname", DS_READ_STREAM)) ? 1 : 0,
          " ", Vorla::GetLastErr(), "\n";
PERL
is $rc, 0, 'the child ran';
like $out, qr/^fd=(\d+)$/m, 'a descriptor, not undef';
my ($fd) = $out =~ /^fd=(\d+)$/m;
like $out, qr/^set=1$/m, 'every byte written';
like $out, qr/^cut=1$/m, 'text after a zero byte is not sent, and the rest counts as written';
like $out, qr/^close=0$/m, 'NWCloseStream returns nothing';
like $out, qr/^closed=0$/m, 'a closed descriptor takes nothing';
like $out, qr/^Handle is \d+eof=1$/m, 'NWSetEOF prints the handle without a line end, then truncates';
like $out, qr/^bad=0 -613$/m, 'an attribute that is not a stream is refused';

($out, $rc) = child(<<'PERL');
    my $fd = Vorla::NWDSOpenStream($ctx, "CN=Admin", "Login Script", DS_READ_STREAM);
    open my $fh, '<&=', $fd or die "fdopen: $!";
    local $/;
    print "[", scalar(<$fh>), "]\n";
PERL
is $out, "[MAP ROOT H]\n", 'another process reads the content as truncated';

done_testing;

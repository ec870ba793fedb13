# Status names and texts: generated from the client's header, importable as
# constants, meeting real statuses from the client, and leaving
# Vorla::constant as it was.
use strict;
use warnings;
use Test::More;
use Errno qw(EINVAL);
BEGIN { $ENV{NWCLIENT_STORE} = ':memory:' }
use Vorla qw(:constants);
use Vorla::Status qw(:all);

is Vorla::Status::name(-601), 'ERR_NO_SUCH_ENTRY', 'name';
is Vorla::Status::text(-601), 'no such entry', 'text';
is Vorla::Status::text(-612), "can't have multiple values", 'text with a word spelled out';
is Vorla::Status::describe(-606), 'ERR_ENTRY_ALREADY_EXISTS (-606)', 'describe';
is_deeply [map { Vorla::Status::name($_) } 0, '-337', -600, 'x', undef], ['SUCCESS', 'ERR_NOT_LOGGED_IN', undef, undef, undef],
    'success, a number as text, and what the client does not define';
is Vorla::Status::text(-600), 'unknown status -600', 'the text of an unknown number';
is Vorla::Status::code('ERR_NO_ACCESS'), -672, 'code of a name';
is ERR_FAILED_AUTHENTICATION, -669, 'imported as a constant';
is ERR_CONTEXT_CREATION, -328, 'a name both modules export is one value';
{
    my @warnings;
    local $SIG{__WARN__} = sub { push @warnings, @_ };
    eval "package Both1; use Vorla::Status qw(:all); use Vorla qw(:all); 1" or die $@;
    eval "package Both2; use Vorla qw(:all); use Vorla::Status qw(:all); 1" or die $@;
    is_deeply \@warnings, [], 'importing it from both, in either order, redefines nothing';
}

# Every #define ERR_ of the header has its name, and nothing else is there.
use FindBin ();
my $h = "$FindBin::Bin/../client/include/nwclient.h";
SKIP: {
    skip 'client header not found', 1 unless -f $h;
    open my $fh, '<', $h or die "$h: $!";
    my %want = map { /^#define (ERR_\w+) \((-\d+)\)/ ? ($2 => $1) : () } <$fh>;
    my %have = map { $_ => Vorla::Status::name($_) } grep { $_ } Vorla::Status::codes();
    is_deeply \%have, \%want, scalar(keys %want) . ' statuses, as in the header';
}

# A status met for real: a read of an entry that is not there.
my $ctx = Vorla::NWDSCreateContextHandle();
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $buf);
my $none = bless \(my $null = 0), 'pBuf_T';
is Vorla::NWDSRead($ctx, '.CN=nobody.O=Example', DS_ATTRIBUTE_VALUES, 1, $none, NO_MORE_ITERATIONS, $buf), undef, 'read fails';
is Vorla::Status::name(Vorla::GetLastErr()), 'ERR_NO_SUCH_ENTRY', 'and its status has a name';
Vorla::NWDSFreeBuf($buf);
Vorla::NWDSFreeContext($ctx);

local $!;
Vorla::constant('ERR_NO_SUCH_ENTRY', 0);
is $! + 0, EINVAL, 'Vorla::constant still knows only its own table';
done_testing;

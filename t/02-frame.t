# The frame's conventions, seen from a script: the version check, argument
# conversion and truncation, class tests, write-backs, result forms and the
# last status.  What the client received is read from its call trace.
use strict;
use warnings;
no warnings qw(once portable);
use Test::More;
use FindBin;
use lib "$FindBin::Bin/lib";
use Trace;
BEGIN { $ENV{NWCLIENT_STORE} = ':memory:'; delete $ENV{NWCLIENT_FAULTS}; }
use Vorla qw(:constants);
use DynaLoader;

# A second entry into the bootstrap, to drive the version check directly.
my $so = (grep { /Vorla\.so$/ } @DynaLoader::dl_shared_objects)[0];
my $lib = DynaLoader::dl_load_file($so, 0) or die DynaLoader::dl_error();
my $boot = DynaLoader::dl_install_xsub('main::boot_again', DynaLoader::dl_find_symbol($lib, 'boot_Vorla'));
ok(DynaLoader::dl_find_symbol($lib, '_boot_Vorla'), 'the bootstrap is exported under both names');

sub boot_with {
    my ($package, $xs, $v, @args) = @_;
    no strict 'refs';
    undef *{"${package}::XS_VERSION"};
    undef *{"${package}::VERSION"};
    ${"${package}::XS_VERSION"} = $xs if defined $xs;
    ${"${package}::VERSION"} = $v if defined $v;
    no warnings 'redefine';
    return eval { main::boot_again($package, @args); 1 } ? '' : $@;
}

subtest 'version check' => sub {
    is boot_with('P1', undef, undef, '0.13.05'), '', 'second argument 0.13.05 loads';
    like boot_with('P2', undef, undef, '0.13.5'), qr/^P2 object version 0\.13\.05 does not match \$P2:: 0\.13\.5 at /,
        'second argument 0.13.5 refused, empty variable name';
    is boot_with('P3', '0.13.05', '1.0'), '', 'XS_VERSION looked at first';
    is boot_with('P4', undef, '0.13.05'), '', 'VERSION when there is no XS_VERSION';
    like boot_with('P5', undef, 0.1305), qr/^P5 object version 0\.13\.05 does not match \$P5::VERSION 0\.1305 at /,
        'a number is compared as its text';
    {
        no strict 'refs';
        undef *P6::XS_VERSION;
        ${"P6::VERSION"} = undef;
        no warnings 'redefine';
        like eval { main::boot_again('P6'); 1 } ? '' : $@,
            qr/^P6 object version 0\.13\.05 does not match \$P6::VERSION  at /, 'undefined VERSION refused';
    }
    is boot_with('P7', undef, undef), '', 'no version scalar at all: no check';
    is boot_with('P8', '0.13.05', undef, '0.13.05', 'extra'), '', 'arguments after the second are ignored';
};

subtest 'last status' => sub {
    is Vorla::GetLastErr(), 0, 'zero before any value-returning call';
    eval { &Vorla::GetLastErr(1) };
    like $@, qr/^Usage: Vorla::GetLastErr\(\) at /, 'GetLastErr takes no argument';
    {
        local $ENV{NWCLIENT_FAULTS} = 'NWDSCreateContextHandle=-328';
        my @r = Vorla::NWDSCreateContextHandle();
        is_deeply \@r, [undef], 'a failed value-returning call gives one undef';
    }
    is Vorla::GetLastErr(), -328, 'and its status is kept';
    my $ctx = Vorla::NWDSCreateContext();
    cmp_ok $ctx, '>=', 0, 'a status-returning call succeeds...';
    is Vorla::GetLastErr(), -328, '...without touching the last status';
    my $h = Vorla::NWDSCreateContextHandle();
    ok defined $h, 'a successful value-returning call';
    is Vorla::GetLastErr(), 0, 'resets the last status to 0';
    Vorla::NWDSFreeContext($_) for $ctx, $h;
};

my $ctx = Vorla::NWDSCreateContextHandle();

subtest 'integer and string conversion' => sub {
    no warnings qw(numeric uninitialized);
    my @t = traced { Vorla::NWDSFreeContext("12abc"); Vorla::NWDSFreeContext(undef) };
    like $t[0], qr/^NWDSFreeContext\(context=12\) = /, 'the text 12abc reaches the client as 12';
    like $t[1], qr/^NWDSFreeContext\(context=0\) = /, 'undef reaches it as 0';
    @t = traced { Vorla::NWDSSetDefNameContext($ctx, 2, 42); Vorla::NWDSSetDefNameContext($ctx, 0, undef) };
    like $t[0], qr/nameContextLen=2, nameContext="42"\) = /, 'a number reaches a string argument as its text';
    like $t[1], qr/nameContext=""\) = /, 'undef as the empty text';
    @t = traced { Vorla::NWSetDefaultNameContext(65537, "[Root]") };
    like $t[0], qr/^NWSetDefaultNameContext\(contextLength=1, /, '16-bit argument keeps its low bits';
    my $none = bless \(my $p = 0), 'pBuf_T';
    @t = traced {
        Vorla::NWDSRead($ctx, "x", 1, 256, $none, 4294967295, $none);
        Vorla::NWDSRead($ctx, "x", 1, 257, $none, NO_MORE_ITERATIONS, $none);
    };
    like $t[0], qr/allAttrs=0, attrNames=NULL, iterationHandle=-1, objectInfo=NULL/, '8-bit flag 256 passes 0; all bits set pass as -1';
    like $t[1], qr/allAttrs=1, .*iterationHandle=-1,/, '257 passes 1; the constant passes all bits set';
};

subtest 'typed handles' => sub {
    my $rc = Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $buf);
    is $rc, 0, 'NWDSAllocBuf';
    isa_ok $buf, 'pBuf_T';
    my $copy = $buf;
    my @t = traced { Vorla::NWDSInitBuf($ctx, DSV_READ, $buf) };
    my $hex = sprintf '0x%x', $$buf;
    like $t[0], qr/buf=\Q$hex\E\)/, 'the full-width pointer reaches the client';
    isnt \$$buf, \$$copy, 'the handle is re-set with a fresh reference';
    is $$buf, $$copy, 'to the same buffer';

    @My::Buf::ISA = ('pBuf_T');
    my $sub = bless \(my $p = $$buf), 'My::Buf';
    my $alias = $sub;
    is Vorla::NWDSInitBuf($ctx, DSV_READ, $sub), 0, 'a subclass passes the class test';
    is ref $sub, 'pBuf_T', 'and comes back blessed into the class itself';
    is ref $alias, 'My::Buf', 'other references keep the old one';

    {
        local $ENV{NWCLIENT_FAULTS} = 'NWDSAllocBuf=-301';
        my $gone = 'something';
        is Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, $gone), -301, 'a failing allocation';
        ok !defined $gone, 'leaves a null handle as undef';
        eval { Vorla::NWDSFreeBuf($gone) };
        like $@, qr/^pBuf is not of type pBuf_T at /, 'which the next sub refuses';
    }
    is Vorla::NWDSFreeBuf($buf), 0, 'freed';
    is Vorla::NWDSFreeBuf($buf), -322, 'a freed buffer is refused by the client, not dereferenced';
    is Vorla::NWDSFreeBuf(bless \(my $g = 0xdeadbeef0), 'pBuf_T'), -322, 'so is a garbage pointer';
};

subtest 'write-backs' => sub {
    my $dest = 77;
    my $rc = Vorla::NWDSDuplicateContextHandle(999_999, $dest);
    isnt $rc, 0, 'a failing status-returning call';
    is $dest, 77, 'still writes its in-out integer (the value passed in)';

    my $none = bless \(my $p = 0), 'pBuf_T';
    my @t = traced { eval { Vorla::NWDSListContainers($ctx, "x", 5, $none); 1 } };
    like $@, qr/^Modification of a read-only value attempted at /, 'a literal in-out argument stops after the call';
    is scalar(@t), 1, 'which was made';
    like $t[0], qr/^NWDSListContainers\(.*iterationHandle=5, subordinates=NULL\) = /, 'from the literal value';

    @t = traced { eval { Vorla::NWGetDefaultNameContext(256, "ro"); 1 } };
    like $@, qr/^Modification of a read-only value attempted at /, 'a literal in-out string stops after the call';
    like $t[0], qr/^NWGetDefaultNameContext\(bufferSize=256, context=/, 'which was made, with the full area';

    my $tiny = "ab";
    Vorla::NWSetDefaultNameContext(40, "OU=A Rather Long Unit Name.O=Example");
    is Vorla::NWGetDefaultNameContext(10, $tiny), 0, 'a two-byte in-out string';
    is $tiny, "OU=A Rather Long Unit Name.O=Example", 'receives a longer text whole';

    my $short;
    is Vorla::NWGetDefaultNameContext(10, $short), 0, 'an undef in-out string';
    ok length $short, 'receives the whole text';
    is $short, Vorla::NWDSGetContext(Vorla::NWDSCreateContextHandle(), DCK_NAME_CONTEXT), 'the default name context';
};

subtest 'result forms' => sub {
    my @v = Vorla::NWGetNWNetVersion(undef);
    is scalar(@v), 4, 'a plain list of four';
    my $list = () = Vorla::NWLlocaleconv();
    is $list, 2, 'and of two';
    my @none = Vorla::NWCloseStream(999);
    is scalar(@none), 0, 'NWCloseStream returns nothing';
    is scalar(Vorla::NWCloseStream(999)), undef, 'undef in scalar context';
};

subtest 'the trace shows a call with null pointers' => sub {
    no warnings "numeric";
    my @t = traced { Vorla::NWCallsInit(5, "abc") };
    is_deeply \@t, ['NWCallsInit(in=NULL, out=NULL) = 0'], 'NWCallsInit(5, "abc")';
};

Vorla::NWDSFreeContext($ctx);
done_testing;

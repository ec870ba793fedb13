# Directory contexts from a script: creation and its failure, settings by key,
# illegal keys, freed contexts, and the default name context.
use strict;
use warnings;
use Test::More;
use FindBin;
use lib "$FindBin::Bin/lib";
use Trace;
BEGIN { $ENV{NWCLIENT_STORE} = ':memory:'; delete $ENV{NWCLIENT_FAULTS} }
use Vorla qw(:constants);

my $ctx = Vorla::NWDSCreateContextHandle();
ok defined $ctx && $ctx >= 0, 'a context handle';

subtest 'settings' => sub {
    is Vorla::NWDSGetContext($ctx, DCK_FLAGS), DCV_DEREF_ALIASES | DCV_XLATE_STRINGS | DCV_CANONICALIZE_NAMES,
        'default flags';
    is Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, 42), 0, 'a number set as a name context';
    is Vorla::NWDSGetContext($ctx, DCK_NAME_CONTEXT), '42', 'passes its text, which reads back as set';
    is Vorla::NWDSSetContext($ctx, DCK_FLAGS, "12"), 0, 'a text flag word';
    is Vorla::NWDSGetContext($ctx, DCK_FLAGS), 12, 'passes its integer';
    Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, "OU=Sales.O=Example");
    my $nc = Vorla::NWDSGetContext($ctx, DCK_NAME_CONTEXT);
    is $nc, "OU=Sales.O=Example", 'a text setting comes back';
    is length($nc), 18, 'without any byte after its end';
    is Vorla::NWDSGetDefNameContext($ctx), $nc, 'NWDSGetDefNameContext reads the same';
    is Vorla::NWDSSetDefNameContext($ctx, 9, "O=Example"), 0, 'NWDSSetDefNameContext';
    is Vorla::NWDSGetContext($ctx, DCK_NAME_CONTEXT), "O=Example", 'changes the name context';
    ok length(Vorla::NWDSGetContext($ctx, DCK_TREE_NAME)), 'a tree name';
    my @ints = map { Vorla::NWDSGetContext($ctx, $_) } DCK_CONFIDENCE, DCK_REFERRAL_SCOPE, DCK_LAST_CONNECTION;
    is scalar(grep { defined } @ints), 3, 'the other integer keys';
};

subtest 'illegal keys stop before the client' => sub {
    Vorla::NWDSCreateContextHandle();
    my $before = Vorla::GetLastErr();
    for my $key (4, 0, 6, 7, 9, 10, 12, -1) {
        my @t = traced { eval { Vorla::NWDSGetContext($ctx, $key) } };
        is $@, "Illegal key type received in GetAttrVal: $key.\n", "get, key $key";
        is scalar(@t), 0, 'no client call';
        @t = traced { eval { Vorla::NWDSSetContext($ctx, $key, 1) } };
        is $@, "Illegal key type received in GetAttrVal: $key.\n", "set, key $key";
        is scalar(@t), 0, 'no client call';
    }
    is Vorla::GetLastErr(), $before, 'the last status is untouched';
};

subtest 'duplicates and freed contexts' => sub {
    my $dup = Vorla::NWDSDuplicateContext($ctx);
    cmp_ok $dup, '>=', 0, 'NWDSDuplicateContext returns the new handle';
    is Vorla::NWDSGetContext($dup, DCK_NAME_CONTEXT), Vorla::NWDSGetContext($ctx, DCK_NAME_CONTEXT), 'with the settings';
    my $dest = -5;
    is Vorla::NWDSDuplicateContextHandle($ctx, $dest), 0, 'NWDSDuplicateContextHandle';
    cmp_ok $dest, '>=', 0, 'writes the new handle';
    is Vorla::NWDSFreeContext($dup), 0, 'free';
    is Vorla::NWDSGetContext($dup, DCK_FLAGS), undef, 'a freed context reads as undef';
    is Vorla::GetLastErr(), -303, 'with the bad-context status';
    cmp_ok Vorla::NWDSDuplicateContext($dup), '<', 0, 'duplicating it gives an error code';
    local $ENV{NWCLIENT_FAULTS} = 'NWDSCreateContext=-328';
    is Vorla::NWDSCreateContext(), -328, 'a client that cannot make a context returns -328, not undef';
    Vorla::NWDSFreeContext($dest);
};

subtest 'the default name context' => sub {
    my @t = traced { Vorla::NWGetDefaultNameContext(10, my $nc) };
    like $t[0], qr/^NWGetDefaultNameContext\(bufferSize=256, /, 'the client gets the whole area';
    is Vorla::NWSetDefaultNameContext(length("OU=X.O=Example"), "OU=X.O=Example"), 0, 'set';
    my $nc;
    Vorla::NWGetDefaultNameContext(0, $nc);
    is $nc, "OU=X.O=Example", 'and read back';
    my $new = Vorla::NWDSCreateContextHandle();
    is Vorla::NWDSGetContext($new, DCK_NAME_CONTEXT), "OU=X.O=Example", 'new contexts start from it';
    is Vorla::NWSetDefaultNameContext(4, "O=Example"), 0, 'a shorter length';
    Vorla::NWGetDefaultNameContext(0, $nc);
    is $nc, "O=Ex", 'takes that many bytes';
    Vorla::NWDSFreeContext($new);
};

Vorla::NWDSFreeContext($ctx);
done_testing;

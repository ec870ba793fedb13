# Constants by name: the lookup with its error number, importing, and the
# not-found cases.
use strict;
use warnings;
use Test::More;
use Errno qw(EINVAL);
BEGIN { $ENV{NWCLIENT_STORE} = ':memory:' }
use Vorla qw(DSV_READ NO_MORE_ITERATIONS :constants);

sub lookup { my $v = Vorla::constant($_[0], $_[1] // 0); return ($v, $! + 0) }

subtest 'lookup' => sub {
    is_deeply [lookup('DCK_TREE_NAME')], [11, 0], 'DCK_TREE_NAME';
    is_deeply [lookup('TR_ALL')], [507, 0], 'TR_ALL';
    is_deeply [lookup('DS_NCP_AUDITING')], [200, 0], 'DS_NCP_AUDITING';
    is_deeply [lookup('ERR_CONTEXT_CREATION')], [-328, 0], 'the one negative value';
    my ($v) = lookup('NO_MORE_ITERATIONS');
    is $v, 4294967295, 'NO_MORE_ITERATIONS has all 32 bits, without sign';
    is sprintf('%.1f', $v), '4294967295.0', 'as a floating-point number';
    is_deeply [lookup($_)], [0, 0], "$_ is a known zero" for qw(DSV_UNUSED_0 RT_MASTER SYN_UNKNOWN TR_NONE);
    is_deeply [lookup($_)], [0, EINVAL], "'$_' is not in the table"
        for 'dck_tree_name', '', 'DSV', 'DCK_FLAGSX', "DCK_FLAGS\0";
    lookup('NOPE');
    is_deeply [lookup('TA_ALL', 12345)], [251, 0], 'a later hit resets errno; the second argument is ignored';
    eval { &Vorla::constant('TA_ALL') };
    like $@, qr/^Usage: Vorla::constant\(name,arg\) at /, 'usage';
};

subtest 'importing' => sub {
    is DSV_READ, 3, 'imported by name';
    is DSV_GET_SERVER_ADDRESS, 53, 'imported by tag';
    is Vorla::SYN_HOLD(), 26, 'callable without importing';
    is scalar(@Vorla::CONSTANTS), 231, 'the export list holds the whole table';
    my @bad = grep { my ($v, $e) = lookup($_); $e } @Vorla::CONSTANTS;
    is_deeply \@bad, [], 'every exported name is in the table';
    eval "package Other; use Vorla qw(DSV_READX); 1";
    like $@, qr/^Vorla: DSV_READX is not in the constant table/, 'an unknown name is refused by name';
    eval { Vorla::NWDSNoSuchThing() };
    like $@, qr/^Undefined subroutine &Vorla::NWDSNoSuchThing called/, 'a mistyped sub is not taken for a constant';
    my $iter = -1;
    ok +(($iter & 0xFFFFFFFF) == NO_MORE_ITERATIONS), 'a handed-back -1 carries the end marker';
};

done_testing;

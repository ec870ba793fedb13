# Storage for the information records (Vorla::Info): handles of the right
# class and size that the subs accept, and the fields the client wrote read
# back by name.
use strict;
use warnings;
use Test::More;
BEGIN { $ENV{NWCLIENT_STORE} = ':memory:'; delete @ENV{qw(NWCLIENT_FAULTS NWCLIENT_TRACE)} }
use Vorla qw(:constants);
use Vorla::Info;

my $ctx = Vorla::NWDSCreateContextHandle();

is_deeply [map { Vorla::Info->size_of($_) } Vorla::Info->classes], [40, 80, 76],
    'class, object and syntax records have the client\'s sizes';
ok !eval { Vorla::Info->new('pBuf_T'); 1 }, 'no storage for a buffer handle';

subtest 'syntax definition' => sub {
    my $s = Vorla::Info->new('pSyntax_Info_T');
    my $h = $s->handle;
    isa_ok $h, 'pSyntax_Info_T';
    is Vorla::NWDSReadSyntaxDef($ctx, SYN_CI_STRING, $h), 0, 'read into the storage';
    is ref $h, 'pSyntax_Info_T', 're-set to the plain class';
    is $$h, $s->address, 'holding the same address';
    my $f = $s->fields;
    is $f->{ID}, SYN_CI_STRING, 'ID';
    is $f->{defStr}, 'Case Ignore String', 'defStr';
    ok $f->{flags}, 'flags';
    # Only the handle keeps this storage alive: the object is gone at once
    # (the sanitizer build sees a write into freed storage).
    my $kept = Vorla::Info->new('pSyntax_Info_T')->handle;
    is Vorla::NWDSReadSyntaxDef($ctx, SYN_INTEGER, $kept), 0, 'a handle keeps its storage';
};

subtest 'class definition' => sub {
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $req);
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $res);
    Vorla::NWDSInitBuf($ctx, DSV_READ_CLASS_DEF, $req);
    Vorla::NWDSPutClassItem($ctx, $req, 'User');
    my $it = NO_MORE_ITERATIONS;
    is Vorla::NWDSReadClassDef($ctx, DS_INFO_CLASS_DEFS, 0, $req, $it, $res), 0, 'User read';
    Vorla::NWDSGetClassDefCount($ctx, $res, my $n = 0);
    my $info = Vorla::Info->new('pClass_Info_T');
    my $name;
    is Vorla::NWDSGetClassDef($ctx, $res, $name, $info->handle), 0, 'class information';
    is $name, 'User', 'its name';
    is $info->fields->{classFlags}, DS_EFFECTIVE_CLASS | DS_NONREMOVABLE_CLASS, 'classFlags';
    is_deeply $info->fields->{asn1ID}, { length => 0, data => '' }, 'asn1ID';
    Vorla::NWDSFreeBuf($_) for $req, $res;
};

subtest 'object information' => sub {
    my $o = Vorla::Info->new('pObject_Info_T');
    my $rc = Vorla::NWDSReadObjectInfo($ctx, '.CN=Admin.O=Example', my $dn, $o->handle);
    if ($rc == 0) {
        is $o->fields->{baseClass}, 'User', 'baseClass';
    }
    else {
        is $o->bytes, "\0" x 80, "status $rc: the storage is as it was";
    }
    is_deeply [sort keys %{ $o->fields }],
        [qw(baseClass modificationTime objectFlags subordinateCount)], 'the field names';
};

done_testing;

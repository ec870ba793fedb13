# Attribute values in script form: the exact script-form tests of
# NWDSPutAttrVal and their messages, the syntax classes as scripts ask for
# them, and the readers' result forms on failure.
use strict;
use warnings;
use Test::More;
use FindBin;
use lib "$FindBin::Bin/lib";
use Trace;
BEGIN { $ENV{NWCLIENT_STORE} = ':memory:'; delete $ENV{NWCLIENT_FAULTS} }
use Vorla qw(:constants);

my $ctx = Vorla::NWDSCreateContextHandle();
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $buf);
Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $buf);

subtest 'syntax classes' => sub {
    my %want = (
        IsNumType    => [7, 8, 22, 24, 27],
        IsStringType => [1, 2, 3, 4, 5, 10, 20],
        IsMLType     => [0, 6, 9, 11 .. 19, 23, 25, 26],
    );
    for my $sub (sort keys %want) {
        my %yes = map { $_ => 1 } @{ $want{$sub} };
        my @got = grep { no strict 'refs'; &{"Vorla::$sub"}($_) } 0 .. 40, 1000, -1;
        is_deeply \@got, [sort { $a <=> $b } keys %yes], "$sub answers 1 exactly for its class";
    }
    is Vorla::IsNumType("8"), 1, 'an id given as text is read as a number';
};

subtest 'script forms refused before the client call' => sub {
    my @cases = (
        [SYN_INTEGER, "42", qr/^PutAttrVal\(\) need Integer as parameter Attrval when syntaxId is 8\. at /, 'a numeric string'],
        [SYN_INTEGER, do { my $n = 42; my $s = "$n"; $n }, qr/need Integer .* is 8\./, 'an integer once used as a string'],
        [SYN_INTEGER, 4.5, qr/need Integer .* is 8\./, 'a float'],
        [SYN_INTEGER, DS_ATTRIBUTE_VALUES, qr/need Integer .* is 8\./, 'a constant (a float)'],
        [SYN_INTEGER, undef, qr/need Integer .* is 8\./, 'undef'],
        [SYN_BOOLEAN, \1, qr/need Integer .* is 7\./, 'a reference'],
        [SYN_CI_STRING, 5, qr/^PutAttrVal\(\) need String as parameter Attrval when syntaxId is 3\. at /, 'a number for a string'],
        [SYN_CI_STRING, do { my $s = "7"; my $n = $s + 0; $s }, qr/need String .* is 3\./, 'a string once used as a number'],
        [SYN_PO_ADDRESS, 12, qr/need String .* is 18\./, 'a number for value text'],
        [SYN_OBJECT_ACL, undef, qr/need String .* is 17\./, 'undef for value text'],
        [SYN_UNKNOWN, "1\n2\n", qr/^PutAttrVal\(\) could not decode syntaxID: 0\.\n\z/, 'a syntax without a layout'],
        [SYN_TIMESTAMP, "100\nsoon\n", qr/^PutAttrVal\(\) could not decode syntaxID: 19\.\n\z/, 'a number line that does not scan'],
        [30, "x", qr/^PutAttrVal\(x, x, 30, x\) called with unknown syntaxID\. at /, 'an unsupported syntax'],
        [-1, "x", qr/^PutAttrVal\(x, x, -1, x\) called with unknown syntaxID\. at /, 'a negative id'],
    );
    for my $c (@cases) {
        my ($syntax, undef, $re, $what) = @$c;
        no warnings 'uninitialized';
        # The value is passed as the array's own element: a reused lexical would
        # carry the interpreter type of an earlier case.
        my @t = traced { eval { Vorla::NWDSPutAttrVal($ctx, $buf, $syntax, $c->[1]); 1 } };
        like $@, $re, $what;
        is scalar(@t), 0, "$what: no client call";
    }
};

subtest 'script forms accepted' => sub {
    my @t = traced {
        Vorla::NWDSPutAttrVal($ctx, $buf, SYN_INTEGER, 42);
        Vorla::NWDSPutAttrVal($ctx, $buf, SYN_CI_STRING, "Smith");
        Vorla::NWDSPutAttrVal($ctx, $buf, SYN_STREAM, undef);
        Vorla::NWDSPutAttrVal($ctx, $buf, SYN_STREAM, [1]);
    };
    is scalar(@t), 4, 'each makes its client call';
    like $t[0], qr/^NWDSPutAttrVal\(context=$ctx, buf=0x[0-9a-f]+, syntaxID=8, attrVal=0x[0-9a-f]+\)/, 'an integer';
    like $t[1], qr/syntaxID=3, attrVal=0x/, 'a string';
    like $t[2], qr/syntaxID=21, attrVal=NULL\)/, 'the stream syntax passes a null value';
    like $t[3], qr/syntaxID=21, attrVal=NULL\)/, 'whatever the script gave';
};

subtest 'value text is split in place' => sub {
    my $text = "[Entry Rights]\n[BS]\nCN=Admin.O=Example\n";
    my $copy = $text;
    Vorla::NWDSPutAttrVal($ctx, $buf, SYN_OBJECT_ACL, $text);
    is length($text), length($copy), 'the variable keeps its length';
    isnt $text, $copy, 'but its line feeds are now zero bytes';
    is $text, "[Entry Rights]\0[BS]\0CN=Admin.O=Example\0", 'exactly those';
    my $one = "just one line";
    Vorla::NWDSPutAttrVal($ctx, $buf, SYN_CI_LIST, $one);
    is $one, "just one line", 'a one-line text without a line feed is left as it was';
    my $shared = "a\nb\n";
    my $other = $shared;
    Vorla::NWDSPutAttrVal($ctx, $buf, SYN_CI_LIST, $shared);
    is $other, "a\nb\n", 'a copy made before the call is not touched';
    ok eval { Vorla::NWDSPutAttrVal($ctx, $buf, SYN_CI_LIST, "lit\neral\n"); 1 }, 'a literal is read, never written';
};

subtest 'readers on failure' => sub {
    local $ENV{NWCLIENT_FAULTS} = join ',', map { "$_=-307" }
        qw(NWDSGetAttrName NWDSGetObjectName NWDSGetAttrCount NWDSGetObjectCount NWDSComputeAttrValSize
           NWDSGetClassItemCount NWDSGetServerName);
    for my $sub (qw(NWDSGetAttrName NWDSGetObjectName NWDSGetAttrCount NWDSGetObjectCount)) {
        my @r = do { no strict 'refs'; &{"Vorla::$sub"}($ctx, $buf) };
        is_deeply \@r, [undef], "$sub gives one undef";
        is Vorla::GetLastErr(), -307, 'with the status kept';
    }
    my @r = Vorla::NWDSGetAttrVal($ctx, $buf, SYN_CI_STRING);
    is_deeply \@r, [undef], 'NWDSGetAttrVal gives one undef when the size query fails';
    my $count = 17;
    is Vorla::NWDSGetClassItemCount($ctx, $buf, $count), -307, 'a status-returning reader fails';
    is $count, 17, 'and still writes its in-out integer';
    my ($name, $partitions) = ("keep", 3);
    is Vorla::NWDSGetServerName($ctx, $buf, $name, $partitions), -307, 'NWDSGetServerName fails';
    is_deeply [$name, $partitions], ["keep", 3], 'writing back what it was given';
    my $size = 99;
    is Vorla::NWDSComputeAttrValSize($ctx, $buf, SYN_CI_STRING, $size), -307, 'NWDSComputeAttrValSize fails';
    is $size, 99, 'and writes attrValSize back';
};

is Vorla::TestFunc($ctx, $buf, 7, my $out = "x"), 1, 'TestFunc answers 1';
eval { Vorla::TestFunc($ctx, 5, 7, $out) };
like $@, qr/^buf is not of type pBuf_T at /, 'after its class test';

Vorla::NWDSFreeBuf($buf);
Vorla::NWDSFreeContext($ctx);
done_testing;

# The user guide's code works as printed: the quick start runs as a script and
# prints what it says, the name examples give the names shown, the search
# filter example finds the entries it describes, every value example of
# Vorla::Values reads back as written, and the schema guide agrees with the
# schema the client reads.  Every page is valid POD.
use strict;
use warnings;
use Test::More;
use Pod::Checker ();
BEGIN {
    $ENV{NWCLIENT_STORE} = ':memory:';
    $ENV{NWCLIENT_ADMIN_PASSWORD} = 'docs-secret';
    delete @ENV{qw(NWCLIENT_FAULTS NWCLIENT_TRACE NWCLIENT_NAME_CONTEXT)};
}
use Vorla qw(:constants);
use Vorla::Status ();

(my $lib = $INC{'Vorla.pm'}) =~ s/Vorla\.pm$//;
my %page = map { $_ => "$lib$_" } 'Vorla.pm', 'Vorla/Status.pm', 'Vorla/Schema.pod', 'Vorla/Values.pod';

sub slurp { open my $fh, '<', $_[0] or die "$_[0]: $!"; local $/; return <$fh> }

# The verbatim paragraphs of one =head1 section, un-indented, as one text.
sub section_code {
    my ($pod, $head) = @_;
    my ($body) = $pod =~ /^=head1 \Q$head\E\n(.*?)^=head1 /ms or die "no section $head";
    $body =~ s/^=begin comment.*?^=end comment\n//msg;
    my @code = grep { /^ / } split /\n\n+/, $body;
    return join "\n\n", map { s/^    //mgr } @code;
}

my $guide = slurp($page{'Vorla.pm'});

subtest 'valid POD' => sub {
    for my $name (sort keys %page) {
        my $checker = Pod::Checker->new(-warnings => 0);
        open my $out, '>', \my $messages;
        $checker->parse_from_file($page{$name}, $out);
        is $checker->num_errors, 0, "$name has no POD errors" or diag $messages;
    }
};

subtest 'quick start' => sub {
    my $code = section_code($guide, 'QUICK START');
    my @want = map { s/^#\s+(?:prints: )?//r } map { split /\n/ } $code =~ /^(# prints: .*(?:\n#\s{8,}.*)*)/mg;
    ok @want >= 3, 'it says what it prints';
    open my $run, '-|', $^X, (map { "-I$_" } @INC), '-e', $code or die "run: $!";
    my @got = <$run>;
    chomp @got;
    ok close($run), 'runs to its end' or diag "exit status $?";
    is_deeply \@got, \@want, 'prints what it says';
};

# One context for the rest, logged in as the Admin.
my $ctx = Vorla::NWDSCreateContextHandle();
is Vorla::NWDSLogin($ctx, 0, '.CN=Admin.O=Example', 'docs-secret', 0), 0, 'login';
my $none = bless \(my $null = 0), 'pBuf_T';
Vorla::NWDSAllocBuf(MAX_MESSAGE_LEN, my $req);
Vorla::NWDSAllocBuf(MAX_MESSAGE_LEN, my $out);

sub add_entry {
    my ($name, $class, %attrs) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'Object Class');
    Vorla::NWDSPutAttrVal($ctx, $req, SYN_CLASS_NAME, "$class");
    for my $a (sort keys %attrs) {
        Vorla::NWDSPutAttrName($ctx, $req, $a);
        Vorla::NWDSPutAttrVal($ctx, $req, Vorla::NWDSGetSyntaxID($ctx, $a), "$_") for @{ $attrs{$a} };
    }
    return defined Vorla::NWDSAddObject($ctx, $name, NO_MORE_ITERATIONS, 0, $req) ? 0 : Vorla::GetLastErr();
}

subtest 'name examples' => sub {
    my $code = section_code($guide, 'NAMES');
    my @lines = grep { /^Vorla::/ } split /\n/, $code;
    my $context = $ctx;    # the examples' $ctx, seen by the string evals below
    my $checked = 0;
    for my $line (@lines) {
        my ($call, $want) = $line =~ /^(.*?;)\s*(?:#\s*(\S+))?\s*$/;
        my $got = eval $call;
        die $@ if $@;
        next unless defined $want;
        is $got, $want, $call;
        $checked++;
    }
    cmp_ok $checked, '>=', 4, "$checked examples";
};

subtest 'search filter example' => sub {
    Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, 'O=Example');
    is add_entry("CN=$_->[0]", 'User', Surname => [$_->[1]], @$_[2 .. $#$_]), 0, "add $_->[0]"
        for ['fa', 'Doe', 'Telephone Number' => ['1']], ['fb', 'Dow', 'Telephone Number' => ['2']],
            ['fc', 'Doe'], ['fd', 'Smith', 'Telephone Number' => ['3']];
    my ($code) = $guide =~ /^=head1 SEARCH FILTERS\n.*?\n\n(    Vorla::NWDSAllocBuf.*?Vorla::NWDSFreeBuf\(\$filter\);\n)/ms;
    ok $code, 'the example is there' or return;
    $code =~ s/^    //mg;
    my @seen = ($ctx, $none, $out);    # the example's variables, seen by the string eval
    open my $fh, '>', \my $printed;
    my $old = select $fh;
    my $ok = eval "$code; 1";
    select $old;
    ok $ok, 'runs' or diag $@;
    is_deeply [split /\n/, $printed // ''], ['CN=fa', 'CN=fb'], 'finds the users it describes';
};

subtest 'value examples read back as written' => sub {
    Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, '[Root]');
    my $values = slurp($page{'Vorla/Values.pod'});
    my @examples = $values =~ /^    # (.+?) \((SYN_\w+)\)\n    (.+)\n/mg;
    is add_entry('CN=values.O=Example', 'User', Surname => ['Values']), 0, 'a user';
    is add_entry('CN=printer.O=Example', 'Printer'), 0, 'a printer';
    my $n = 0;
    while (my ($attr, $syn, $literal) = splice @examples, 0, 3) {
        next if $attr eq 'Object Class';
        my $value = eval $literal;
        my $syntax = Vorla::constant($syn, 0);
        is Vorla::NWDSGetSyntaxID($ctx, $attr), $syntax, "$attr is $syn";
        my $rc;
        for my $entry ('CN=values.O=Example', 'CN=printer.O=Example') {
            Vorla::NWDSInitBuf($ctx, DSV_MODIFY_ENTRY, $req);
            Vorla::NWDSPutChange($ctx, $req, DS_ADD_VALUE, $attr);
            Vorla::NWDSPutAttrVal($ctx, $req, $syntax, Vorla::IsNumType($syntax) ? 0 + $value : "$value");
            $rc = defined Vorla::NWDSModifyObject($ctx, $entry, NO_MORE_ITERATIONS, 0, $req) ? 0 : Vorla::GetLastErr();
            next if $rc == Vorla::Status::code('ERR_ILLEGAL_ATTRIBUTE');
            is $rc, 0, "$attr put on $entry" or last;
            Vorla::NWDSInitBuf($ctx, DSV_READ, $req);
            Vorla::NWDSPutAttrName($ctx, $req, $attr);
            ok defined Vorla::NWDSRead($ctx, $entry, DS_ATTRIBUTE_VALUES, 0, $req, NO_MORE_ITERATIONS, $out), 'read';
            Vorla::NWDSGetAttrCount($ctx, $out);
            my (undef, $count, $got_syntax) = Vorla::NWDSGetAttrName($ctx, $out);
            # A new entry may hold values of its own (a User its default ACLs).
            my @got = map { Vorla::NWDSGetAttrVal($ctx, $out, $got_syntax) } 1 .. $count;
            ok scalar(grep { defined && $_ eq $value } @got), "$attr reads back as written" or diag explain \@got;
            $n++;
            last;
        }
    }
    cmp_ok $n, '>=', 20, "$n examples";
};

subtest 'schema guide agrees with the client' => sub {
    my $schema = slurp($page{'Vorla/Schema.pod'});
    Vorla::NWDSInitBuf($ctx, DSV_READ_CLASS_DEF, $req);
    Vorla::NWDSPutClassName($ctx, $req, $_) for 'User', 'Group';
    my $iter = NO_MORE_ITERATIONS;
    is Vorla::NWDSReadClassDef($ctx, DS_EXPANDED_CLASS_DEFS, 0, $req, $iter, $out), 0, 'read User and Group';
    Vorla::NWDSGetClassDefCount($ctx, $out, my $count = 0);
    for (1 .. $count) {
        my $info = bless \(my $p = 0), 'pClass_Info_T';
        Vorla::NWDSGetClassDef($ctx, $out, my $class = '', $info);
        my @lists;
        for my $l (0 .. 4) {
            Vorla::NWDSGetClassItemCount($ctx, $out, my $n = 0);
            push @lists, [map { Vorla::NWDSGetClassItem($ctx, $out, my $item = ''); $item } 1 .. $n];
        }
        my ($section) = $schema =~ /^=head2 \Q$class\E\n(.*?)(?=^=head)/ms;
        like $section, qr/^B<Mandatory:> \Q@{[join ', ', @{ $lists[3] }]}\E\.$/m, "$class: mandatory attributes";
        like $section, qr/^B<Contained in:> \Q@{[join ', ', @{ $lists[1] }]}\E\.$/m, "$class: containment";
    }
};

Vorla::NWDSFreeBuf($_) for $req, $out;
Vorla::NWDSFreeContext($ctx);
done_testing;

# Search filters on a tree of 10,000 users, each search's result beside the
# same search answered by hand from what was put in: wildcards in a filter
# buffer, filters written as text (and, or, not, ranges, presence), aliases
# followed into the aliased subtree, the name context as an empty base, and
# malformed texts refused.  On either backend (t/lib/Backend.pm); an LDAP
# server has no integer attribute for users and no ordering rule for sn, so
# the ranges are the embedded store's.
use strict;
use warnings;
use Test::More;
use FindBin;
use lib "$FindBin::Bin/lib";
BEGIN { delete $ENV{NWCLIENT_NAME_CONTEXT} }
use Backend password => 'filters-secret';
use Vorla qw(:constants);

my $ctx = Vorla::NWDSCreateContextHandle();
Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, 'O=Example');
is Vorla::NWDSLogin($ctx, 0, 'CN=Admin', Backend::password(), 0), 0, 'logged in as the Admin';
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $req);
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $out);
Vorla::NWDSAllocBuf(65536, my $filter);
my $none = bless \(my $p = 0), 'pBuf_T';

sub add {
    my ($name, @attrs) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
    for (my $k = 0; $k < @attrs; $k += 3) {    # elements, not copies: an integer stays a plain integer
        Vorla::NWDSPutAttrName($ctx, $req, $attrs[$k]);
        Vorla::NWDSPutAttrVal($ctx, $req, $attrs[$k + 1], $attrs[$k + 2]) == 0 or die "put $attrs[$k]\n";
    }
    defined Vorla::NWDSAddObject($ctx, $name, NO_MORE_ITERATIONS, 0, $req) or die "add $name: " . Vorla::GetLastErr();
}

# The tree, and what each user holds.
my @surnames = qw(Smith Smythe Jones Johnson Brown Robinson Smalley Adams Miller Smart);
my @titles = (undef, 'Temp', 'Clerk', 'Manager', 'Temp Clerk');
my %user;
for my $ou (0 .. 9) {
    add(sprintf('OU=ou%d', $ou), 'Object Class', SYN_CLASS_NAME, 'Organizational Unit');
    for my $k (0 .. 999) {
        my $i = $ou * 1000 + $k;
        my %u = (ou => $ou, surname => $surnames[$i % @surnames], tel => sprintf('555-%02d%02d', $i % 7, $i % 100),
                 grace => $i % 13, title => $titles[$i % @titles], mail => $i % 3 ? "u$i\@example.com" : "u$i\@other.org");
        my $name = sprintf 'CN=u%05d.OU=ou%d', $i, $ou;
        add($name, 'Object Class', SYN_CLASS_NAME, 'User', 'Surname', SYN_CI_STRING, $u{surname},
            'Telephone Number', SYN_TEL_NUMBER, $u{tel},
            Backend::ldap() ? () : ('Login Grace Limit', SYN_INTEGER, $u{grace}),
            'Internet EMail Address', SYN_CI_STRING, $u{mail},
            defined $u{title} ? ('Title', SYN_CI_STRING, $u{title}) : ());
        $user{$name} = \%u;
    }
}
my $alias = eval { add('CN=ToOu1.OU=ou0', 'Object Class', SYN_CLASS_NAME, 'Alias', 'Aliased Object Name', SYN_DIST_NAME, 'OU=ou1'); 1 };
ok $alias, 'an alias' or diag $@;

# Every name a search gives, over all its parts, and its status.
sub search {
    my (%a) = @_;
    my ($iter, $searched, @found) = (NO_MORE_ITERATIONS, 0);
    do {
        my $st = Vorla::NWDSSearch($ctx, $a{base} // '', $a{scope} // DS_SEARCH_SUBTREE, $a{aliases} // 0,
                                   $a{filter}, DS_ATTRIBUTE_NAMES, 0, $none, $iter, 0, $searched, $out);
        return $st if $st;
        push @found, (Vorla::NWDSGetObjectName($ctx, $out))[0] for 1 .. Vorla::NWDSGetObjectCount($ctx, $out);
    } while ($iter != -1);
    return [sort @found];
}
sub buffer_filter {
    my (@items) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_SEARCH_FILTER, $filter);
    while (my ($attr, $syntax, $value) = splice @items, 0, 3) {
        Vorla::NWDSPutAttrName($ctx, $filter, $attr);
        is Vorla::NWDSPutAttrVal($ctx, $filter, $syntax, $value), 0, "put $attr=$value" if defined $value;
    }
    return $filter;
}
sub text_filter {
    Vorla::NWDSInitBuf($ctx, DSV_SEARCH_FILTER, $filter);
    is Vorla::NWDSPutAttrName($ctx, $filter, $_[0]), 0, 'the text goes in as one attribute name' if $_[1] // 1;
    Vorla::NWDSPutAttrName($ctx, $filter, $_[0]) unless $_[1] // 1;
    return $filter;
}
sub users { my ($test) = @_; [sort grep { local $_ = $user{$_}; $test->() } keys %user] }

subtest 'wildcards in a filter buffer' => sub {
    is_deeply search(filter => buffer_filter('Surname', SYN_CI_STRING, 'sm*')),
        users(sub { $_->{surname} =~ /^sm/i }), 'a prefix, case ignored';
    is_deeply search(filter => buffer_filter('Surname', SYN_CI_STRING, '*SON')),
        users(sub { $_->{surname} =~ /son$/i }), 'a suffix';
    is_deeply search(filter => buffer_filter('Surname', SYN_CI_STRING, 'S*th*')),
        users(sub { $_->{surname} =~ /^s.*th/i }), 'pieces in order';
    is_deeply search(filter => buffer_filter('Internet EMail Address', SYN_CI_STRING, '*@example.com')),
        users(sub { $_->{mail} =~ /\@example\.com$/ }), 'an address domain';
    is_deeply search(filter => buffer_filter('Telephone Number', SYN_TEL_NUMBER, '555-01*')),
        users(sub { $_->{tel} =~ /^555-01/ }), 'a telephone prefix, under its rule';
    is_deeply search(filter => buffer_filter('Surname', SYN_CI_STRING, 'Sm*', 'Title', SYN_CI_STRING, 'temp*')),
        users(sub { $_->{surname} =~ /^sm/i && ($_->{title} // '') =~ /^temp/i }), 'two assertions';
};

subtest 'filters written as text' => sub {
    my %case = (
        '(&(Object Class=User)(|(Surname=Sm*)(Telephone Number=555-01*))(!(Title=Temp)))' =>
            sub { ($_->{surname} =~ /^sm/i || $_->{tel} =~ /^555-01/) && ($_->{title} // '') ne 'Temp' },
        '(&(Login Grace Limit>=5)(Login Grace Limit<=7))' => sub { $_->{grace} >= 5 && $_->{grace} <= 7 },
        '(Login Grace Limit<=2)'                           => sub { $_->{grace} <= 2 },
        '( | (Title=manager) (Surname=Jones) )'            => sub { ($_->{title} // '') eq 'Manager' || $_->{surname} eq 'Jones' },
        '(&(Object Class=User)(!(Title=*))(CN=u*))'            => sub { !defined $_->{title} },
        '(&(Surname>=Sm)(Surname<=Smz))'                   => sub { lc $_->{surname} ge 'sm' && lc $_->{surname} le 'smz' },
        '(Title=Temp\2a)'                                  => sub { 0 },
        '(Title~=temp clerk)'                              => sub { ($_->{title} // '') eq 'Temp Clerk' },
        '(|(Surname=*ith)(Internet EMail Address=u1*@other.org))' =>
            sub { $_->{surname} =~ /ith$/ || $_->{mail} =~ /^u1.*\@other\.org$/ },
    );
    if (Backend::ldap()) {
        my @ranges = grep { /Login Grace Limit|Surname>=/ } keys %case;
        delete @case{@ranges};
        SKIP: { skip 'embedded store only: ranges (no integer attribute for users, no ordering rule for sn)', scalar @ranges }
        is search(filter => text_filter('(&(Surname>=Sm)(Surname<=Smz))')), -619,
            'a range the server cannot order is refused, not answered with nothing';
    }
    for my $text (sort keys %case) {
        is_deeply search(filter => text_filter($text)), users($case{$text}), $text;
    }
    # A long one: an or of 500 names, well past 4,096 bytes.
    my @picked = map { $_ * 19 } 0 .. 499;
    my $long = '(|' . join('', map { sprintf '(CN=u%05d)', $_ } @picked) . ')';
    cmp_ok length $long, '>', 4096, 'a text of ' . length($long) . ' bytes';
    is_deeply search(filter => text_filter($long)),
        [sort map { sprintf 'CN=u%05d.OU=ou%d', $_, int($_ / 1000) } @picked], 'answered whole';
};

subtest 'scope, aliases and the base' => sub {
    my $f = text_filter('(Surname=Smythe)', 0);
    is_deeply search(base => 'OU=ou3', scope => DS_SEARCH_SUBORDINATES, filter => $f),
        users(sub { $_->{ou} == 3 && $_->{surname} eq 'Smythe' }), 'one level';
    is_deeply search(filter => $f), users(sub { $_->{surname} eq 'Smythe' }), 'an empty base is the name context';
    is_deeply search(base => 'OU=ou0', filter => $f, aliases => 0),
        users(sub { $_->{ou} == 0 && $_->{surname} eq 'Smythe' }), 'not without searchAliases';
    is_deeply search(base => 'OU=ou0', filter => $f, aliases => 1),
        users(sub { $_->{ou} <= 1 && $_->{surname} eq 'Smythe' }), 'an alias is followed into its subtree';
    is_deeply search(base => 'CN=ToOu1.OU=ou0', filter => $f),
        users(sub { $_->{ou} == 1 && $_->{surname} eq 'Smythe' }), 'an alias as the base is dereferenced';
    Vorla::NWDSInitBuf($ctx, DSV_READ, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'OU');
    ok defined Vorla::NWDSRead($ctx, 'CN=ToOu1.OU=ou0', DS_ATTRIBUTE_VALUES, 0, $req, NO_MORE_ITERATIONS, $out),
        'a read of the alias' or diag Vorla::GetLastErr();
    my (undef, undef, $syntax) = Vorla::NWDSGetAttrName($ctx, $out);
    is Vorla::NWDSGetAttrVal($ctx, $out, $syntax), 'ou1', 'reads the entry it stands for';
};

subtest 'malformed texts are refused' => sub {
    for my $bad ('(&(Surname=Sm*)', '(Surname=Sm*))', '(&)', '(Surname=\zz)', '()', '(Surname>=Sm*)',
                 '(=x)', '(!(Surname=a)(Surname=b))', '(' x 200 . 'Surname=a' . ')' x 200) {
        is search(filter => text_filter($bad, 0)), -326, "refused: " . substr($bad, 0, 30);
    }
    is search(filter => text_filter('(No Such Thing=1)', 0)), -603, 'an unknown attribute';
    SKIP: {
        skip 'embedded store only: an integer attribute', 1 if Backend::ldap();
        is search(filter => text_filter('(Login Grace Limit=many)', 0)), -619, 'a value not of its syntax';
    }
};

done_testing;

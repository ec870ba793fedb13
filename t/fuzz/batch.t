# The fuzzer's short batch: every sub of the module, learnt from the module
# itself, called at random with fixed seeds, each batch in a child process;
# no crash, sanitizer report, hang or unexpected stop.  About a minute under
# the sanitizer build, a few seconds under the ordinary one.  Before that,
# the supervisor is shown to see each kind of failure.
use strict;
use warnings;
use FindBin;
use lib "$FindBin::Bin", "$FindBin::Bin/../lib";
use Test::More;

use Fuzz::Subs;
use Fuzz::Run;
use SubTable ();

my $SANITIZED = ($ENV{LD_PRELOAD} // '') =~ /asan/;
my $BUDGET    = $SANITIZED ? 50 : 8;    # seconds of batches

my @subs = Fuzz::Subs::discover();
subtest 'what the module says of its subs' => sub {
    is_deeply [sort map { $_->{name} } @subs], [sort(SubTable::sub_names())], 'every sub, found in the module';
    for my $s (@subs) {
        my $row = SubTable::sub_info($s->{name});
        my %want = map { $_->{index} => $_->{class} } SubTable::handle_args($s->{name});
        is_deeply $s->{handle}, \%want, "$s->{name}: its typed handles" or last;
        is_deeply $s->{args}, $row->{args}, "$s->{name}: its argument names" or last;
    }
    my ($alloc) = grep { $_->{name} eq 'NWDSAllocBuf' } @subs;
    is_deeply $alloc->{writes}, { 1 => 1 }, 'written arguments found by their read-only stop';
};

subtest 'the supervisor sees every kind of failure' => sub {
    my $fake = sub {
        my ($name, $code) = @_;
        return [{ name => $name, code => $code, argc => 0, args => [], handle => {}, writes => {} }];
    };
    my %o = (seed => 7, calls => 50, call_timeout => 1, batch_timeout => 30, last_calls => 5);
    my $r = Fuzz::Run::batch(%o, subs => $fake->('Segv', sub { kill 'SEGV', $$ }));
    like $r->{problems}[0]{kind}, qr/^(crash|sanitizer)$/, 'a signal is a crash (under the sanitizer, its report)';
    like $r->{problems}[0]{text}, qr/seed 7 .*\n\t\d+ Segv\(\)/s, 'with the seed and the last call';
    $r = Fuzz::Run::batch(%o, subs => $fake->('Sleep', sub { sleep 5 }));
    is $r->{problems}[0]{kind}, 'hang', 'a call past its alarm is a hang';
    $r = Fuzz::Run::batch(%o, subs => $fake->('Die', sub { die "something else\n" }));
    is $r->{problems}[0]{kind}, 'stop', 'a stop no convention allows is reported';
    like $r->{problems}[0]{text}, qr/Die stopped with "something else"/, 'with its message';
    $r = Fuzz::Run::batch(%o, subs => $fake->('Ok', sub { 1 }));
    is_deeply [$r->{calls}, scalar @{ $r->{problems} }], [50, 0], 'a clean batch';
};

my %t = (calls => 0, problems => [], by_sub => {});
my $start = time;
for my $seed (1 .. 1000) {
    last if $seed > 2 && time - $start > $BUDGET;
    my $r = Fuzz::Run::batch(seed => $seed, calls => 3000, subs => \@subs, call_timeout => 20,
                             batch_timeout => 300, last_calls => 20);
    $t{calls} += $r->{calls};
    push @{ $t{problems} }, @{ $r->{problems} };
    $t{by_sub}{$_} += $r->{by_sub}{$_}[1] for keys %{ $r->{by_sub} };
    $t{batches} = $seed;
}
my @never = grep { !$t{by_sub}{ $_->{name} } } @subs;
note sprintf '%d calls in %d batches (seeds 1 to %d) in %d s%s', $t{calls}, $t{batches}, $t{batches},
    time - $start, $SANITIZED ? ', sanitizer build' : '';
ok $t{calls} >= 2 * 3000, 'the batches ran';
is scalar(@never), 0, 'every sub completed a call' or diag join ' ', map { $_->{name} } @never;
is scalar @{ $t{problems} }, 0, 'no crash, sanitizer report, hang or unexpected stop'
    or diag join "\n", map { $_->{text} } @{ $t{problems} };

done_testing;

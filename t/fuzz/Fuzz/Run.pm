package Fuzz::Run;
# The fuzzer's supervisor: runs batches, each in a child process of its own
# with a recorded seed and a fresh store in a directory of its own, and reads
# what became of it.  A batch ends well when the child exits 0 with no
# sanitizer report on its standard error; otherwise it is a crash (a signal,
# or a sanitizer report), a hang (the per-call alarm fired, or the batch ran
# past its deadline and was killed), and in every case the report names the
# seed and the last calls from the batch's journal.  Unexpected stops are
# the child's findings, reported the same way.
#
# Batch seeds are consecutive from the first, so `--seed S --batches 1`
# repeats batch S alone.

use strict;
use warnings;
use File::Path ();
use File::Temp ();
use POSIX ();
use Time::HiRes ();

use Fuzz::Subs;
use Fuzz::Batch;

my $SANITIZER = qr/ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:|UndefinedBehaviorSanitizer/;

sub _tail {
    my ($file, $n) = @_;
    open my $fh, '<', $file or return ();
    my @l;
    while (my $l = <$fh>) { push @l, $l; shift @l if @l > $n }
    chomp @l;
    return @l;
}

sub _slurp { my ($f) = @_; open my $fh, '<', $f or return ''; local $/; return <$fh> // '' }

# One batch: { seed, calls, by_sub => {name => [called, completed]}, stops,
# problems => [ { kind, text } ] }.
sub batch {
    my (%o) = @_;
    my $dir = File::Temp::tempdir('vorla-fuzz-XXXXXX', TMPDIR => 1);
    my %f = map { $_ => "$dir/$_" } qw(journal findings summary stderr);
    my $pid = fork // die "fork: $!";
    if (!$pid) {
        open STDOUT, '>', '/dev/null';
        open STDERR, '>', $f{stderr};
        $ENV{NWCLIENT_STORE} = "$dir/tree.db";
        $ENV{NWCLIENT_ADMIN_PASSWORD} = 'fuzz-Admin-pw';
        delete @ENV{qw(NWCLIENT_TRACE NWCLIENT_FAULTS NWCLIENT_NAME_CONTEXT)};
        my $b = Fuzz::Batch->new(seed => $o{seed}, calls => $o{calls}, timeout => $o{call_timeout},
                                 journal => $f{journal}, findings => $f{findings});
        $b->run($o{subs});
        open my $s, '>', $f{summary};
        print $s $b->summary;
        close $s;
        POSIX::_exit(0);    # nothing of the parent's (END blocks, temp files) runs here
    }
    my $deadline = Time::HiRes::time() + $o{batch_timeout};
    my $killed = 0;
    while (waitpid($pid, POSIX::WNOHANG()) == 0) {
        if (Time::HiRes::time() > $deadline) { kill 'KILL', $pid; $killed = 1; waitpid $pid, 0; last }
        Time::HiRes::sleep(0.05);
    }
    my $status = $?;
    my %r = (seed => $o{seed}, calls => 0, by_sub => {}, stops => {}, problems => []);
    for (split /\n/, _slurp($f{summary})) {
        my ($k, @v) = split ' ';
        if ($k eq 'calls') { $r{calls} = $v[0] }
        elsif ($k eq 'sub') { $r{by_sub}{ $v[0] } = [@v[1, 2]] }
        elsif ($k eq 'stop') { $r{stops}{ $v[0] } = $v[1] }
        elsif ($k eq 'warnings') { $r{warnings} = $v[0] }
    }
    my @journal = _tail($f{journal}, $o{last_calls});
    if (!$r{calls} && @journal && $journal[-1] =~ /^(\d+) /) { $r{calls} = $1 }
    my $err = _slurp($f{stderr});
    my $signal = $status & 127;
    my $kind;
    if ($killed || $signal == POSIX::SIGALRM()) { $kind = 'hang' }
    elsif ($err =~ $SANITIZER) { $kind = 'sanitizer' }
    elsif ($signal) { $kind = 'crash' }
    elsif ($status >> 8) { $kind = 'exit ' . ($status >> 8) }
    if ($kind) {
        my $why = $killed ? 'killed after ' . $o{batch_timeout} . ' s' : $signal ? "signal $signal" : "status $status";
        my @err = map { length > 240 ? substr($_, 0, 240) . '...' : $_ } grep { defined && length } (split /\n/, $err)[0 .. 24];
        push @{ $r{problems} }, { kind => $kind, text => join "\n",
            "$kind in batch seed $o{seed} ($why); last calls:", map({ "\t$_" } @journal),
            (@err ? ('standard error:', map { "\t$_" } @err) : ()) };
    }
    for my $finding (split /^(?=stop\t)/m, _slurp($f{findings})) {
        next unless $finding =~ s/^stop\t//;
        push @{ $r{problems} }, { kind => 'stop', text => $finding };
    }
    File::Path::remove_tree($dir);
    return \%r;
}

# Runs batches until `calls` calls are made (or `batches` batches run);
# prints a line per batch with $o{log} and returns the totals.
sub run {
    my (%o) = @_;
    $o{per_batch}     //= 4000;
    $o{call_timeout}  //= 20;
    $o{batch_timeout} //= 600;
    $o{last_calls}    //= 20;
    $o{log}           //= sub { print STDERR @_ };
    my @subs = Fuzz::Subs::discover();
    my %t = (calls => 0, batches => 0, subs => scalar @subs, by_sub => {}, stops => {},
             problems => [], started => Time::HiRes::time());
    for (my $seed = $o{seed}; ; ++$seed) {
        last if defined $o{batches} && $t{batches} >= $o{batches};
        last if defined $o{calls} && $t{calls} >= $o{calls};
        my $r = batch(%o, seed => $seed, calls => $o{per_batch}, subs => \@subs);
        $t{batches}++;
        $t{calls} += $r->{calls};
        for my $n (keys %{ $r->{by_sub} }) {
            $t{by_sub}{$n}[$_] += $r->{by_sub}{$n}[$_] for 0, 1;
        }
        $t{stops}{$_} += $r->{stops}{$_} for keys %{ $r->{stops} };
        push @{ $t{problems} }, @{ $r->{problems} };
        $o{log}->(sprintf "batch seed %d: %d calls, %s\n", $seed, $r->{calls},
                  @{ $r->{problems} } ? join(', ', map { $_->{kind} } @{ $r->{problems} }) : 'ok');
        $o{log}->("$_->{text}\n") for @{ $r->{problems} };
    }
    $t{seconds} = Time::HiRes::time() - $t{started};
    $t{called}    = grep { $t{by_sub}{$_}[0] } keys %{ $t{by_sub} };
    $t{completed} = grep { $t{by_sub}{$_}[1] } keys %{ $t{by_sub} };
    my %k;
    $k{ $_->{kind} =~ /^exit/ ? 'crash' : $_->{kind} }++ for @{ $t{problems} };
    $t{kinds} = \%k;
    $t{never} = [grep { !$t{by_sub}{ $_->{name} } || !$t{by_sub}{ $_->{name} }[1] } @subs];
    return \%t;
}

# The totals as the report prints them.
sub report {
    my ($t) = @_;
    my $k = $t->{kinds};
    my $stops = join ', ', map { "$_ $t->{stops}{$_}" } sort keys %{ $t->{stops} };
    return sprintf("%d calls in %d batches (%.0f s, %.0f calls/s); %d of %d subs called, %d completed at least once\n"
                 . "crashes %d, sanitizer reports %d, hangs %d, unexpected stops %d\n"
                 . "allowed stops: %s\n",
        $t->{calls}, $t->{batches}, $t->{seconds}, $t->{calls} / ($t->{seconds} || 1), $t->{called}, $t->{subs},
        $t->{completed}, $k->{crash} // 0, $k->{sanitizer} // 0, $k->{hang} // 0, $k->{stop} // 0, $stops || 'none')
        . (@{ $t->{never} } ? 'never completed: ' . join(' ', map { $_->{name} } @{ $t->{never} }) . "\n" : '');
}

1;

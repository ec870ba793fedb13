package Fuzz::Subs;
# The subs the fuzzer calls, learnt from the loaded module itself: every
# compiled sub of package Vorla with a prototype, its argument names from its
# own usage message, which arguments are typed handles of which class (from
# its class-test messages) and which it writes back (from the read-only stop
# a written argument gives).  Nothing here lists a sub by name, so a sub added
# to the module is fuzzed without anyone naming it.
#
# The probes call the subs for real, with every client function failing at
# once through the fault plan, and with -1 or null handles for the rest, so
# that no probe changes anything.

use strict;
use warnings;
use B ();
use IO::Handle ();
use POSIX ();

use Vorla ();

my @HANDLE_CLASSES = qw(pBuf_T pClass_Info_T pObject_Info_T pSyntax_Info_T);

sub handle_classes { return @HANDLE_CLASSES }

# The names of the compiled subs of package Vorla that carry a prototype.
sub names {
    my @out;
    no strict 'refs';
    for my $name (sort keys %Vorla::) {
        next if $name =~ /::$/;
        my $code = defined &{"Vorla::$name"} ? \&{"Vorla::$name"} : next;
        my $cv = B::svref_2object($code);
        next unless $cv->XSUB && !($cv->CvFLAGS & B::CVf_CONST());
        next unless defined prototype($code);
        push @out, $name;
    }
    return @out;
}

# Runs $code on the rest of the arguments themselves (not copies, so a
# read-only one stays read-only) and returns the stop message, or undef.
sub _stop {
    my $code = shift;
    local $@;
    local $SIG{__WARN__} = sub { };
    return eval { &$code(@_); 1 } ? undef : $@;
}

sub _null_handle { my ($class) = @_; return bless \(my $p = 0), $class }

# Everything known of one sub: { name, code, argc, args => [names],
# handle => { index => class }, writes => { index => 1 } }.
sub describe {
    my ($name) = @_;
    no strict 'refs';
    my $code = \&{"Vorla::$name"};
    my $argc = length prototype($code);
    my $usage = _stop($code, (0) x ($argc + 1)) // '';
    my ($text) = $usage =~ /^Usage: Vorla::\Q$name\E\((.*)\) at /
        or die "Fuzz::Subs: $name gives no usage message for a wrong count: $usage\n";
    my @args = grep { length } split /\s*,\s*/, $text;
    die "Fuzz::Subs: $name: prototype of $argc, usage '$text'\n" unless @args == $argc;
    my %sub = (name => $name, code => $code, argc => $argc, args => \@args,
               handle => {}, writes => {});
    my %at = map { $args[$_] => $_ } 0 .. $#args;
    # Handles, first to last: each class test names the next one.
    my @probe = map { my $v = -1; $v } 1 .. $argc;
    for (1 .. $argc) {
        my @a = @probe;    # a sub may re-set a handle: keep the probe's own
        my $stop = _stop($code, @a) // last;
        my ($arg, $class) = $stop =~ /^(\w+) is not of type (\w+) at / or last;
        my $i = $at{$arg};
        last if !defined $i || exists $sub{handle}{$i};
        $sub{handle}{$i} = $class;
        $probe[$i] = _null_handle($class);
    }
    # Written arguments: a read-only value there stops the sub after the call.
    # (A handle re-set to null would be set to undef, which a read-only
    # value may be already; so the handles hold an address that no call
    # dereferences, every client call failing at once.)
    for my $i (0 .. $argc - 1) {
        my @a = map { my $c = $sub{handle}{$_}; $c ? bless(\(my $p = 8), $c) : -1 } 0 .. $argc - 1;
        Internals::SvREADONLY($a[$i], 1);
        my $stop = _stop($code, @a) // next;
        $sub{writes}{$i} = 1 if $stop =~ /^Modification of a read-only value attempted/;
    }
    return \%sub;
}

# Every sub described, with the client failing every call meanwhile.
sub discover {
    my @names = names();
    local $ENV{NWCLIENT_FAULTS} = join ',', map { "$_=-1" } @names;
    local $ENV{NWCLIENT_STORE} = ':memory:';
    delete local $ENV{NWCLIENT_TRACE};
    # NWSetEOF prints on the interpreter's standard output: that goes to
    # /dev/null meanwhile, at the descriptor.
    STDOUT->flush;
    open my $saved, '>&', \*STDOUT or die "dup: $!";
    open my $null, '>', '/dev/null' or die "/dev/null: $!";
    POSIX::dup2(fileno $null, 1);
    my @subs = map { describe($_) } @names;
    STDOUT->flush;
    POSIX::dup2(fileno $saved, 1);
    return @subs;
}

1;

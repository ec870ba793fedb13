package Fuzz::Batch;
# One batch of random calls, run inside the child process that Fuzz::Run
# forks: a fresh file store with an Admin login, a pool of live contexts and
# buffers, then `calls` calls of subs drawn at random, each written to the
# journal before it is made.  A stop that the sub's conventions allow is
# counted; any other stop is a finding, written with its call and the calls
# before it.  Each call runs under an alarm whose default action ends the
# process, which the supervisor reads as a hang.
#
# The allowed stops: the sub's own usage message for a wrong argument count;
# the class-test message of one of its typed-handle arguments that was given
# something else; the read-only error when a read-only value stood in a
# written argument; the stops of the subs that take a key (an illegal key)
# or an attribute value in script form (a value of the wrong form).

use strict;
use warnings;
use IO::Handle ();
use Scalar::Util ();

use Vorla ();
use Fuzz::Gen;

my $PASSWORD = 'fuzz-Admin-pw';
my $ADMIN    = '.CN=Admin.O=Example';
my $RECENT   = 24;    # calls kept for a finding

sub _verdict {
    my ($sub, $stop, $args, $ro) = @_;
    my $name = $sub->{name};
    if ($stop =~ /^Usage: Vorla::(\w+)\(/) {
        return $1 eq $name && @$args != $sub->{argc} ? 'usage' : undef;
    }
    return undef if @$args != $sub->{argc};
    if (my ($arg, $class) = $stop =~ /^(\w+) is not of type (\w+) at /) {
        for my $i (keys %{ $sub->{handle} }) {
            next unless $sub->{args}[$i] eq $arg && $sub->{handle}{$i} eq $class;
            my $v = $args->[$i];
            return 'class' unless Scalar::Util::blessed($v) && $v->isa($class);
        }
        return undef;
    }
    if ($stop =~ /^Modification of a read-only value attempted at /) {
        return (grep { $ro->[$_] && $sub->{writes}{$_} } 0 .. $#$ro) ? 'read-only' : undef;
    }
    my %has = map { $_ => 1 } @{ $sub->{args} };
    return 'key'        if $has{key} && $stop =~ /^Illegal key type received in GetAttrVal: -?\d+\.\n/;
    return 'value-form' if $has{attrVal} && $stop =~ /^PutAttrVal\(/;
    return undef;
}

sub new {
    my ($class, %o) = @_;
    my $self = bless { %o, n => 0, recent => [], by_sub => {}, stops => {}, findings => 0 }, $class;
    open $self->{journal_fh}, '>', $o{journal} or die "$o{journal}: $!";
    open $self->{found_fh}, '>', $o{findings} or die "$o{findings}: $!";
    $self->{journal_fh}->autoflush(1);
    $self->{found_fh}->autoflush(1);
    $self->{gen} = Fuzz::Gen->new(password => $PASSWORD);
    return $self;
}

# One call of $sub with @$args (read-only where @$ro says); the results, or
# undef after a stop.
sub call {
    my ($self, $sub, $args, $ro) = @_;
    my $line = ++$self->{n} . " $sub->{name}(" . join(', ', map { Fuzz::Gen::describe_arg($_) } @$args) . ")";
    $line .= ' ro:' . join('', @$ro) if grep { $_ } @$ro;
    print { $self->{journal_fh} } "$line\n";
    push @{ $self->{recent} }, $line;
    shift @{ $self->{recent} } if @{ $self->{recent} } > $RECENT;
    my @a = @$args;
    for my $i (0 .. $#a) { Internals::SvREADONLY($a[$i], 1) if $ro->[$i] }
    my $count = $self->{by_sub}{ $sub->{name} } //= [0, 0];
    $count->[0]++;
    alarm $self->{timeout};
    my @r;
    my $ok = eval { @r = $sub->{code}->(@a); 1 };
    alarm 0;
    if ($ok) {
        $count->[1]++;
        $self->harvest($sub, \@a, \@r);
        return \@r;
    }
    my $stop = $@;
    if (my $kind = _verdict($sub, $stop, \@a, $ro)) {
        $self->{stops}{$kind}++;
        return undef;
    }
    $self->{findings}++;
    my $what = $stop;
    $what =~ s/\s+\z//;
    print { $self->{found_fh} } "stop\tseed $self->{seed} call $self->{n}: $sub->{name} stopped with \"$what\"\n",
        map { "\t$_\n" } @{ $self->{recent} };
    return undef;
}

# What the call made: contexts, buffers, connections, iterations, streams.
sub harvest {
    my ($self, $sub, $args, $r) = @_;
    my $g = $self->{gen};
    my $name = $sub->{name};
    my @names = @{ $sub->{args} };
    for my $i (0 .. $#$args) {
        my $v = $args->[$i];
        next unless defined $v;
        my $arg = $names[$i] // next;
        if (ref $v && Scalar::Util::blessed($v) && $v->isa('pBuf_T') && $name =~ /AllocBuf$/) {
            $g->add_buffer($$v);
        }
        elsif (!ref $v && $sub->{writes}{$i} && $arg =~ /^(conn|connHandle)$/ && $v =~ /^\d+$/ && $v > 0) {
            $g->add_conn($v);
        }
        elsif (!ref $v && $sub->{writes}{$i} && $arg eq 'iterationHandle' && $v =~ /^-?\d+$/ && $v != -1) {
            $g->add_iter($v);
        }
    }
    my $first = $r->[0];
    return unless defined $first && !ref $first && $first =~ /^-?\d+$/;
    if ($name =~ /CreateContext|DuplicateContext$/) { $g->add_context($first) }
    elsif ($name =~ /FreeContext$/ && $first == 0) { $g->drop_context($args->[0]) if ($args->[0] // '') =~ /^\d+$/ }
    elsif ($name =~ /FreeBuf$/ && $first == 0) { $g->drop_buffer(${ $args->[0] }) }
    elsif ($name =~ /OpenStream$/) { $g->add_fd($first) }
    elsif ($name =~ /CloseStream$/) { }
    elsif (grep { $_ eq 'iterationHandle' } @names and $first != -1 and @$r == 1) { $g->add_iter($first) }
}

sub by_name { my ($self, $name) = @_; return $self->{subs_by_name}{$name} }

# A call of a sub found by the name of its client function, with these
# arguments (used to set up the pools; it is journaled and checked as any).
sub direct {
    my ($self, $name, @args) = @_;
    my $sub = $self->{subs_by_name}{$name} or return undef;
    return $self->call($sub, \@args, [(0) x @args]);
}

# Contexts (one logged in as the Admin, one not), buffers, and requests that
# the operations can really carry out.
sub setup {
    my ($self) = @_;
    my $g = $self->{gen};
    for (1 .. 3) {
        my $r = $self->direct('NWDSCreateContextHandle') or next;
        $g->add_context($r->[0]);
    }
    my @ctx = $g->contexts;
    $self->direct('NWDSLogin', $ctx[0], 0, $ADMIN, $PASSWORD, 0) if @ctx;
    $self->direct('NWDSSetContext', $ctx[1], 3, 'O=Example') if @ctx > 1;    # DCK_NAME_CONTEXT
    for (1 .. 6) { $self->direct('NWDSAllocBuf', 4096, my $b); }
    $self->direct('NWDSAllocBuf', pick(1, 2, 3, 4, 8, 64), my $tiny) for 1 .. 2;
}

sub pick { return $_[rand @_] }

# Prepares a request in a pool buffer, or makes an entry, so that the calls
# after it find something to work on.
sub prepare {
    my ($self) = @_;
    my $g = $self->{gen};
    my @ctx = $g->contexts or return;
    my $ctx = chance(0.7) ? $ctx[0] : pick(@ctx);
    if (chance(0.1)) {
        $self->direct('NWDSLogin', $ctx, 0, $ADMIN, $PASSWORD, 0);
        return;
    }
    my @bufs = $g->buffers or return;
    my $h = sub { my $a = pick(@bufs); bless \$a, 'pBuf_T' };
    my $k = int rand 6;
    if ($k == 0 || $k == 1) {    # an entry
        my $buf = $h->();
        my $user = chance(0.6);
        my $name = $g->new_name($user ? 'CN' : 'OU');
        $self->direct('NWDSInitBuf', $ctx, 7, $buf);                       # DSV_ADD_ENTRY
        $self->direct('NWDSPutAttrName', $ctx, $buf, 'Object Class');
        $self->direct('NWDSPutAttrVal', $ctx, $buf, 20, $user ? 'User' : 'Organizational Unit');
        if ($user) {
            $self->direct('NWDSPutAttrName', $ctx, $buf, 'Surname');
            $self->direct('NWDSPutAttrVal', $ctx, $buf, 3, 'Fuzz');
        }
        my $r = $self->direct('NWDSAddObject', $ctx, $name, -1, 0, $buf);
        $g->add_name($name) if $r && defined $r->[0];
    }
    elsif ($k == 2) {    # a change
        my $buf = $h->();
        $self->direct('NWDSInitBuf', $ctx, 9, $buf);                       # DSV_MODIFY_ENTRY
        $self->direct('NWDSPutChange', $ctx, $buf, pick(0 .. 7), pick('Telephone Number', 'Description', 'ACL', 'Surname'));
        $self->direct('NWDSPutAttrVal', $ctx, $buf, pick(3, 10, 17), pick("555\n", "text", "[Entry Rights]\n[BR]\n[Public]\n"));
    }
    elsif ($k == 3) {    # names to read or search for
        my $buf = $h->();
        $self->direct('NWDSInitBuf', $ctx, pick(3, 6, 12, 19), $buf);       # read, search, attr defs, rights
        $self->direct('NWDSPutAttrName', $ctx, $buf, pick('Surname', 'CN', 'Object Class', 'ACL')) for 1 .. 2;
    }
    elsif ($k == 4) {    # a filter
        my $buf = $h->();
        $self->direct('NWDSInitBuf', $ctx, 28, $buf);                      # DSV_SEARCH_FILTER
        $self->direct('NWDSPutAttrName', $ctx, $buf, pick('Object Class', 'CN', '(&(Object Class=User)(CN=fz*))'));
    }
    else {               # class items
        my $buf = $h->();
        $self->direct('NWDSInitBuf', $ctx, pick(15, 14, 16, 40), $buf);    # class defs, define, modify, syntaxes
        $self->direct('NWDSBeginClassItem', $ctx, $buf);
        $self->direct('NWDSPutClassItem', $ctx, $buf, pick('User', 'Organization', 'Telephone Number', 'Top'));
    }
}

sub chance { return rand() < $_[0] }

# The whole batch; returns its counts.
sub run {
    my ($self, $subs) = @_;
    srand $self->{seed};
    $self->{subs_by_name} = { map { $_->{name} => $_ } @$subs };
    local $SIG{__WARN__} = sub { $self->{warnings}++ };
    $self->setup;
    my $g = $self->{gen};
    while ($self->{n} < $self->{calls}) {
        if (chance(0.04)) { $self->prepare; next }
        my $sub = $subs->[rand @$subs];
        my ($args, $ro) = $g->args_for($sub);
        # Now and then the sub's own client function fails at once.
        local $ENV{NWCLIENT_FAULTS} = chance(0.02) ? "$sub->{name}=" . pick(-1, -301, -601, -649, 1) : $ENV{NWCLIENT_FAULTS};
        $self->call($sub, $args, $ro);
    }
    return $self;
}

# The counts as lines: "calls N", "sub NAME CALLED COMPLETED", "stop KIND N".
sub summary {
    my ($self) = @_;
    my @l = ("calls $self->{n}", "findings $self->{findings}", "warnings " . ($self->{warnings} // 0));
    push @l, map { "sub $_ @{ $self->{by_sub}{$_} }" } sort keys %{ $self->{by_sub} };
    push @l, map { "stop $_ $self->{stops}{$_}" } sort keys %{ $self->{stops} };
    return join '', map { "$_\n" } @l;
}

1;

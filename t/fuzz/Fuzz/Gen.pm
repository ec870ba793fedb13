package Fuzz::Gen;
# Arguments for one call of a sub, and the pools of live things they are
# drawn from: contexts, buffers (live and freed), information storage,
# connections, iteration handles, stream descriptors and the names of
# entries the batch has made.  All randomness comes from rand(), so a batch
# seeded with srand() repeats itself.
#
# What an argument gets is decided by what the sub's own probe showed (a
# typed handle of a class, a written argument) and by its parameter name
# (a context, a name, a size...), the client's published names; everything
# else gets any kind of scalar.  Two kinds are the script's to get right and
# get only good values: stream descriptors (a descriptor a script has not
# opened is any file of the process) and raw native addresses (null or real
# storage).

use strict;
use warnings;
use Scalar::Util ();
use Vorla::Info;

@Fuzz::Sub::pBuf_T::ISA = ('pBuf_T');    # a class that inherits from one the subs take

my $DEFAULT_MESSAGE_LEN = 4096;

# Arguments that are the script's to get right, by parameter name.
my %SCRIPTS_OWN = (FHandle => 'fd', handle => 'fd', treeBufPtrs => 'pointers');

my @INTS = (0, 1, 2, 3, 4, 7, 8, 255, 256, 65535, 65536, -1, -2, 2**31 - 1, -2**31, 2**31,
            2**32 - 1, 2**32, 2**53, -2**53, 9223372036854775807, -9223372036854775807 - 1,
            18446744073709551615, 1e300, -1e300, 9**9**9, -9**9**9, 0.5, -0.5);
my @SIZES = (0, 1, 2, 3, 4, 5, 8, 16, 63, 64, 257, 1024, $DEFAULT_MESSAGE_LEN, 65536, -1, 2**31 - 1, 2**32);
my @ATTRS = ('Object Class', 'Surname', 'CN', 'Telephone Number', 'Description', 'Member',
             'Group Membership', 'Network Address', 'ACL', 'Login Script', 'Print Job Configuration',
             'Postal Address', 'Facsimile Telephone Number', 'Security Equals', 'Back Link',
             'Inherited ACL', 'Login Time', 'Replica', 'Password Required', 'Revision',
             'Equivalent To Me', 'Locked By Intruder', 'Path', 'Typed Name', 'Hold', 'Email Address',
             '[Entry Rights]', '[All Attributes Rights]', 'Nonexistent Attribute', 'cn', 'SN');
my @CLASSES = ('User', 'Organization', 'Organizational Unit', 'Group', 'Alias', 'NCP Server',
               'Top', 'Country', 'Locality', 'Volume', 'Organizational Role', 'Person', 'Nonexistent');
my @NAMES = ('[Root]', '.[Root]', 'O=Example', '.O=Example', 'CN=Admin.O=Example', '.CN=Admin.O=Example',
             'Admin', 'Admin.Example', 'CN=Admin', '.CN=VORLA_SRV1.O=Example', 'VORLA_SRV1', 'CN=VORLA_SRV1',
             '[Public]', '.', '..', 'CN=x+SN=y.O=Example', 'CN=a\\.b.O=Example', 'CN=Nobody.O=Example',
             'OU=Nowhere.O=Example', 'VORLA_TREE', '*', 'C=US', 'O=', 'CN=', '=', '.CN=Admin.O=Example.');
my @VALUES = ("1\n", "CN=Admin.O=Example\n", "[Entry Rights]\n[BCDRS]\nCN=Admin.O=Example\n",
              "a\nb\nc\nd\ne\nf\n", "0\n4\n\x01\x02\x03\x04\n", "12345\n1\n2\n", "0\nVOL\n/path\n",
              "CN=Admin.O=Example\n1\n2\n", "line1\nline2\n", "\n\n\n", "x" x 300, "[Nothing]\n[XYZ]\n\n");

sub new {
    my ($class, %o) = @_;
    return bless {
        password => $o{password}, ctx => [], bufs => [], freed => [], live => {},
        info => { map { $_ => [] } Vorla::Info->classes }, conns => [], iters => [],
        fds => [], names => [@NAMES], serial => 0,
    }, $class;
}

sub pick { return $_[rand @_] }
sub chance { return rand() < $_[0] }

# ---- scalars of every kind ------------------------------------------------------

sub string {
    my $k = int rand 14;
    return ''                                   if $k == 0;
    return 'x' x (1 + int rand 80)              if $k == 1;
    return 'y' x (4000 + int rand 70000)        if $k == 2;
    return join '', map { chr int rand 256 } 1 .. 1 + int rand 64   if $k == 3;
    return "\x{c4}rger \x{540d}\x{524d} \x{1F600}" if $k == 4;          # wide characters
    if ($k == 5) { my $s = "caf\xc3\xa9"; utf8::decode($s); return $s }
    return "\xff\xfe\xc0\x80bad"                if $k == 6;
    return "%s%n%p%x" x 8                       if $k == 7;
    return "a\0b"                               if $k == 8;
    return pick('12abc', '0 but true', ' 42 ', '-0', '1e5', 'inf', 'nan', '0x10') if $k == 9;
    return pick(@NAMES) . pick('', '.', '..', '\\', '+', '=', '.' x 40)          if $k == 10;
    return pick(@ATTRS)                         if $k == 11;
    return join('.', map { "OU=" . ('z' x (1 + int rand 80)) } 1 .. 1 + int rand 12) if $k == 12;
    return pick(@VALUES);
}

sub anything {
    my ($self) = @_;
    my $k = int rand 20;
    return pick(@INTS)                 if $k < 6;
    return int(rand 2**32) - 2**31     if $k == 6;
    return string()                    if $k < 12;
    return undef                       if $k == 12;
    return pick([], {}, \'x', \\1, sub { 1 }, qr/x/, \*STDOUT, \my @a) if $k == 13;
    return bless {}, 'Fuzz::Alien'    if $k == 14;
    return $self->buf_handle           if $k == 15;
    my $n = 1.5 * (rand 100); return $n if $k == 16;
    my $s = "7"; my $x = $s + 0; return $s if $k == 17;    # a string used as a number
    my $i = 9; my $t = "$i"; return $i;                      # a number used as a string
}

# ---- pools ---------------------------------------------------------------------------

sub add_context { my ($self, $c) = @_; push @{ $self->{ctx} }, $c if defined $c && $c > 0 }
sub contexts    { return @{ $_[0]{ctx} } }
sub drop_context { my ($self, $c) = @_; $self->{ctx} = [grep { $_ != $c } @{ $self->{ctx} }] }

sub add_buffer {
    my ($self, $addr) = @_;
    return if !$addr || $self->{live}{$addr}++;
    push @{ $self->{bufs} }, $addr;
    $self->{freed} = [grep { $_ != $addr } @{ $self->{freed} }];
}

sub drop_buffer {
    my ($self, $addr) = @_;
    return unless delete $self->{live}{$addr};
    $self->{bufs} = [grep { $_ != $addr } @{ $self->{bufs} }];
    push @{ $self->{freed} }, $addr;
    shift @{ $self->{freed} } if @{ $self->{freed} } > 16;
}

sub buffers { return @{ $_[0]{bufs} } }

sub buf_handle {
    my ($self) = @_;
    my $addr = @{ $self->{bufs} } ? pick(@{ $self->{bufs} }) : 0;
    return bless \$addr, 'pBuf_T';
}

sub info_handle {
    my ($self, $class) = @_;
    my $pool = $self->{info}{$class};
    push @$pool, Vorla::Info->new($class) if @$pool < 3;
    return pick(@$pool)->handle;
}

sub add_conn { my ($self, $c) = @_; push @{ $self->{conns} }, $c; shift @{ $self->{conns} } if @{ $self->{conns} } > 8 }
sub add_iter { my ($self, $i) = @_; push @{ $self->{iters} }, $i; shift @{ $self->{iters} } if @{ $self->{iters} } > 8 }
sub add_fd   { my ($self, $fd) = @_; push @{ $self->{fds} }, $fd }
sub drop_fd  { my ($self, $fd) = @_; $self->{fds} = [grep { $_ != $fd } @{ $self->{fds} }] }
sub fds      { return @{ $_[0]{fds} } }

sub add_name {
    my ($self, $n) = @_;
    push @{ $self->{names} }, $n;
    splice @{ $self->{names} }, scalar(@NAMES), 1 if @{ $self->{names} } > @NAMES + 40;
}

sub new_name {
    my ($self, $type) = @_;
    my $parent = chance(0.5) ? '.O=Example' : pick(grep { /^\.?OU=/ } @{ $self->{names} }) // '.O=Example';
    $parent = ".$parent" unless $parent =~ /^\./;
    return sprintf '.%s=fz%d%s', $type, ++$self->{serial}, $parent;
}

sub name { my ($self) = @_; return chance(0.85) ? pick(@{ $self->{names} }) : string() }

# ---- one argument by what it is ------------------------------------------------------

# A value for a typed handle of $class: mostly good storage, sometimes null,
# freed or foreign (buffers), or a handle of the wrong kind.
sub handle_arg {
    my ($self, $class) = @_;
    if (chance(0.06)) {
        my $other = pick(grep { $_ ne $class } qw(pBuf_T pClass_Info_T pObject_Info_T pSyntax_Info_T));
        return pick(undef, 0, 42, $class, [], bless(\(my $p = 0), $other), bless(\(my $q = 0), 'Fuzz::Alien'));
    }
    if ($class eq 'pBuf_T') {
        my $addr = chance(0.08) ? 0
                 : chance(0.08) && @{ $self->{freed} } ? pick(@{ $self->{freed} })
                 : chance(0.04) ? pick(8, 4096, 2**40 + 8, -8, int rand 2**47)
                 : @{ $self->{bufs} } ? pick(@{ $self->{bufs} }) : 0;
        return bless \$addr, chance(0.03) ? 'Fuzz::Sub::pBuf_T' : 'pBuf_T';
    }
    return bless(\(my $z = 0), $class) if chance(0.15);
    return $self->info_handle($class);
}

sub by_name {
    my ($self, $arg) = @_;
    local $_ = $arg;
    return pick($self->contexts) // 1          if /^(context|contextHandle|oldContext|srcContextHandle)$/ && @{ $self->{ctx} };
    return @{ $self->{conns} } && chance(0.8) ? pick(@{ $self->{conns} }) : pick(0, 1, 2, -1, 99)
                                               if /^(conn|connHandle|connRef)$/;
    return chance(0.6) || !@{ $self->{iters} } ? -1 : pick(@{ $self->{iters} }) if /iterationHandle/;
    return pick($self->{password}, '', 'wrong', 'x' x 300, "pw\0x")           if /assword|sessionKey/;
    return pick(@ATTRS)                        if /attr/i && !/attrVal/;
    return pick(@CLASSES)                      if /class/i;
    return pick(0 .. 28, -1, 2**31 - 1)        if /syntax/i;
    return pick(0 .. 5, -1)                    if /infoType/;
    return pick(@SIZES)                        if /size|Len$|length|bufferSize|numOf|count|seconds|timeFilter|arg$/i;
    return pick(0 .. 10, -1, 2**31 - 1, 256)   if /flag|options|scope|key|Type$|more|^all|delete|searchAliases|operation|matches|objectID|unused|reserved|void/i;
    return pick(@VALUES, 1, 0, -1, 2**31 - 1)  if /attrVal|^Value$|attr1|outbuf/;
    return $self->name                         if /name|object|server|partition|DN$|equal|subject|parent|replica|tree|filter|inStr|string|context/i;
    return undef;
}

# The arguments of one call of $sub: [values], [read-only flags].
sub args_for {
    my ($self, $sub) = @_;
    my $n = $sub->{argc};
    $n = int rand($n + 3) if chance(0.04);
    my (@v, @ro);
    for my $i (0 .. $n - 1) {
        my $arg = $sub->{args}[$i] // 'extra';
        my $own = $SCRIPTS_OWN{$arg};
        if (my $class = $sub->{handle}{$i}) {
            push @v, $self->handle_arg($class);
        }
        elsif ($own && $own eq 'fd') {
            push @v, @{ $self->{fds} } && chance(0.8) ? pick(@{ $self->{fds} }) : pick(-1, 2**31 - 1, 1_000_000);
        }
        elsif ($own && $own eq 'pointers') {
            push @v, chance(0.3) ? 0 : $self->pointer_array;
        }
        else {
            my $v = chance(0.8) ? $self->by_name($arg) : undef;
            push @v, defined $v || chance(0.3) ? $v : $self->anything;
        }
        push @ro, $sub->{writes}{$i} && chance(0.04) ? 1 : 0;
    }
    # A real array of pointers holds as many as its count says.
    for my $i (0 .. $#v) {
        next unless ($SCRIPTS_OWN{ $sub->{args}[$i] // '' } // '') eq 'pointers' && $v[$i];
        for my $j (0 .. $#v) { $v[$j] = int rand 5 if ($sub->{args}[$j] // '') eq 'numOfPtrs' }
    }
    return (\@v, \@ro);
}

# An array of 4 pointers to areas of 80 bytes each, kept alive by the pool.
sub pointer_array {
    my ($self) = @_;
    unless ($self->{pointers}) {
        my @areas = map { "\0" x 80 } 1 .. 4;
        my $array = pack 'p4', @areas;
        $self->{pointers} = { areas => \@areas, array => \$array };
        $self->{pointers}{addr} = unpack 'J', pack 'p', ${ $self->{pointers}{array} };
    }
    return $self->{pointers}{addr};
}

# Short text of an argument for the journal.
sub describe_arg {
    my ($v) = @_;
    return 'undef' unless defined $v;
    if (ref $v) {
        my $r = ref $v;
        return "$r(" . (Scalar::Util::reftype($v) eq 'SCALAR' ? ${$v} // 'undef' : '..') . ')';
    }
    my $s = "$v";
    my $len = length $s;
    $s = substr($s, 0, 40) . "...[$len]" if $len > 48;
    $s =~ s/([^\x20-\x7e])/sprintf(ord($1) > 255 ? '\\x{%x}' : '\\x%02x', ord $1)/ge;
    return Scalar::Util::looks_like_number($v) && $v eq $s ? $s : "\"$s\"";
}

1;

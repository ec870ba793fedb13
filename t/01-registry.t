#!/usr/bin/perl
# The sub registry of Vorla: which subs the module installs, their
# prototypes, their argument-count stops and the class tests of their
# typed-handle arguments.  Expected values come from t/lib/SubTable.pm.

use strict;
use warnings;

BEGIN { $ENV{NWCLIENT_STORE} = ':memory:' }

use FindBin;
use lib "$FindBin::Bin/lib";

use B ();
use File::Temp ();
use Test::More;

use SubTable qw(all_subs sub_names sub_info usage_of handle_args
                typed_handle_classes);

use Vorla;

my $FILE = __FILE__;
my $AT   = qr/ at \Q$FILE\E line \d+\.\n\z/;

# ---------------------------------------------------------------------------
# Client-call detection: the client library appends one line per call to the
# file named by NWCLIENT_TRACE, so an empty file after a call means the call
# never reached the client.

my $trace_fh = File::Temp->new(TEMPLATE => 'vorla-trace-XXXXXX', TMPDIR => 1);
my $TRACE    = $trace_fh->filename;

sub trace_text {
    open my $fh, '<', $TRACE or return '';
    local $/;
    my $text = <$fh>;
    return defined $text ? $text : '';
}

sub trace_reset {
    open my $fh, '>', $TRACE or die "cannot truncate $TRACE: $!";
    close $fh;
}

# Runs $code with tracing on; returns the trace lines it produced.
sub traced {
    my ($code) = @_;
    trace_reset();
    local $ENV{NWCLIENT_TRACE} = $TRACE;
    $code->();
    return trace_text();
}

sub no_client_call {
    my ($trace, $what) = @_;
    my $ok = is($trace, '', "$what: no client call");
    diag("client calls made:\n$trace") unless $ok;
    return $ok;
}

# Calls Vorla::$name with @args, bypassing the prototype; returns the error.
sub call_error {
    my ($name, @args) = @_;
    no strict 'refs';
    local $@;
    eval { &{"Vorla::$name"}(@args); 1 } and return undef;
    return $@;
}

sub valid_handle {
    my ($class) = @_;
    return bless \(my $p = 0), $class;
}

# Arguments for a full-count call of $name: a valid null handle of the right
# class for every typed-handle argument, the integer 0 elsewhere.
sub good_args {
    my ($name) = @_;
    my $row  = sub_info($name);
    my @args = (0) x $row->{argc};
    $args[ $_->{index} ] = valid_handle($_->{class}) for handle_args($name);
    return @args;
}

# Subs that must not run for real in this process: NWCloseStream would close
# one of the process's descriptors and NWSetEOF prints to standard output.
# They are only ever called with a wrong argument count here.
my %COUNT_ONLY = map { $_ => 1 } qw(NWCloseStream NWSetEOF);

my @ROWS = all_subs();

# ---------------------------------------------------------------------------
subtest 'installed subs: exactly the table, nothing more' => sub {
    no strict 'refs';

    for my $name (sub_names()) {
        ok(defined &{"Vorla::$name"}, "Vorla::$name is defined");
    }

    # Every compiled (XS) sub of the package must be in the table.  Pure-Perl
    # helpers of Vorla.pm (import, AUTOLOAD, ...) are not compiled and are
    # left out; 'bootstrap' is the loader's own entry to the module.
    my %known = map { $_ => 1 } sub_names(), 'bootstrap';
    my @extra;
    for my $sym (sort keys %Vorla::) {
        next if $sym =~ /::$/;
        my $glob = $Vorla::{$sym};
        next unless ref \$glob eq 'GLOB';
        my $code = *{$glob}{CODE} or next;
        next unless B::svref_2object($code)->XSUB;
        push @extra, $sym unless $known{$sym};
    }
    is_deeply(\@extra, [], 'no compiled sub outside the table')
        or diag("unexpected: @extra");

    my @xs = grep {
        my $c = defined &{"Vorla::$_"} ? \&{"Vorla::$_"} : undef;
        $c && B::svref_2object($c)->XSUB;
    } sub_names();
    is(scalar @xs, 137, 'all 137 table subs are compiled subs');
};

# ---------------------------------------------------------------------------
subtest 'prototypes' => sub {
    for my $row (@ROWS) {
        my $name = $row->{name};
        is(prototype("Vorla::$name"), $row->{prototype},
           "prototype of $name is '$row->{prototype}'");
    }
    # The empty prototype makes the interpreter reject arguments at compile
    # time, for a direct (non-ampersand) call.
    ok(!defined eval 'Vorla::GetLastErr(1); 1',
       'GetLastErr(1) is refused when compiled');
    like($@, qr/^Too many arguments for Vorla::GetLastErr/,
         '... by the prototype check');
};

# ---------------------------------------------------------------------------
subtest 'usage stop on a wrong argument count' => sub {
    for my $row (@ROWS) {
        my $name  = $row->{name};
        my $argc  = $row->{argc};
        my $usage = qr/^\Q${\ usage_of($name)}\E$AT/;

        my @counts = ($argc + 1);
        push @counts, $argc - 1 if $argc > 0;
        push @counts, 0         if $argc > 1;

        my $trace = traced(sub {
            for my $n (@counts) {
                my $err = call_error($name, (0) x $n);
                like($err, $usage, "$name with $n argument(s) stops with its usage");
            }
        });
        no_client_call($trace, "$name, wrong counts");
    }

    # A wrong count is refused before the arguments are looked at: even
    # arguments that would fail the class test give the usage message.
    my $err = call_error('NWDSRead', (undef) x 6);
    like($err, qr/^\Q${\ usage_of('NWDSRead')}\E$AT/,
         'NWDSRead with 6 undef arguments: usage, not a class test');
    $err = call_error('NWDSSearch', (undef) x 13);
    like($err, qr/^\Q${\ usage_of('NWDSSearch')}\E$AT/,
         'NWDSSearch with 13 undef arguments: usage, not a class test');
};

# ---------------------------------------------------------------------------
# The wrong values that every typed-handle argument must refuse.
sub wrong_values {
    my ($class) = @_;
    my ($sibling) = grep { $_ ne $class } typed_handle_classes();
    return (
        [ 'undef'                       => undef ],
        [ 'the integer 5'               => 5 ],
        [ 'the integer 0'               => 0 ],
        [ "the string '$class'"         => "$class" ],
        [ 'an unblessed scalar ref'     => \my $x ],
        [ 'an unblessed array ref'      => [] ],
        [ 'a ref blessed elsewhere'     => valid_handle('Some::Other::Class') ],
        [ "a $sibling handle"           => valid_handle($sibling) ],
    );
}

subtest 'class test of every typed-handle argument' => sub {
    my $handles = 0;
    for my $row (grep { @{ $_->{handles} } } @ROWS) {
        my $name = $row->{name};
        for my $h (handle_args($name)) {
            $handles++;
            my $msg = qr/^\Q$h->{name} is not of type $h->{class}\E$AT/;
            my $trace = traced(sub {
                for my $wrong (wrong_values($h->{class})) {
                    my ($label, $value) = @$wrong;
                    my @args = good_args($name);
                    $args[ $h->{index} ] = $value;
                    like(call_error($name, @args), $msg,
                         "$name: $h->{name} as $label is refused");
                }
            });
            no_client_call($trace, "$name, bad $h->{name}");
        }
    }
    is($handles, 55, 'all 55 typed-handle arguments were exercised');
};

# ---------------------------------------------------------------------------
subtest 'with several wrong handles only the first is reported' => sub {
    my $err = call_error('NWDSSearch',
        0, 'base', 0, 0, undef, 0, 0, undef, my $it = 0, 0, my $cnt = 0, undef);
    like($err, qr/^filter is not of type pBuf_T$AT/,
         'NWDSSearch: filter, attrNames, objectInfo all undef -> filter');

    for my $row (grep { @{ $_->{handles} } > 1 } @ROWS) {
        my $name = $row->{name};
        my @h    = handle_args($name);
        my $trace = traced(sub {
            # All handles wrong: the first in argument order is named.
            my @args = good_args($name);
            $args[ $_->{index} ] = undef for @h;
            like(call_error($name, @args),
                 qr/^\Q$h[0]{name} is not of type $h[0]{class}\E$AT/,
                 "$name: all handles undef -> $h[0]{name}");

            # All but the first wrong, in different ways: the second is named.
            @args = good_args($name);
            $args[ $h[$_]{index} ] = $_ % 2 ? 'junk' : \my $r for 1 .. $#h;
            like(call_error($name, @args),
                 qr/^\Q$h[1]{name} is not of type $h[1]{class}\E$AT/,
                 "$name: first handle good, the rest wrong -> $h[1]{name}");
        });
        no_client_call($trace, "$name, several bad handles");
    }
};

# ---------------------------------------------------------------------------
subtest 'a handle of a derived class passes the class test' => sub {
    @My::Buf::ISA        = ('pBuf_T');
    @My::ClassInfo::ISA  = ('pClass_Info_T');
    @My::ObjectInfo::ISA = ('pObject_Info_T');
    @My::SyntaxInfo::ISA = ('pSyntax_Info_T');
    @My::Deeper::ISA     = ('My::Buf');

    # Each call gives the client a null pointer or an unknown context, so
    # the client refuses it with a status; what matters is that the call
    # got past the class test and reached the client.
    my @cases = (
        [ NWDSFreeBuf => sub { Vorla::NWDSFreeBuf(valid_handle('My::Buf')) } ],
        [ NWDSFreeBuf => sub { Vorla::NWDSFreeBuf(valid_handle('My::Deeper')) } ],
        [ NWDSGetClassDef => sub {
              my $class_name = '';
              my $info = valid_handle('My::ClassInfo');
              Vorla::NWDSGetClassDef(-1, valid_handle('My::Buf'), $class_name, $info);
          } ],
        [ NWDSReadObjectInfo => sub {
              my $dn   = '';
              my $info = valid_handle('My::ObjectInfo');
              Vorla::NWDSReadObjectInfo(-1, 'CN=Nobody', $dn, $info);
          } ],
        [ NWDSReadSyntaxDef => sub {
              my $def = valid_handle('My::SyntaxInfo');
              Vorla::NWDSReadSyntaxDef(-1, 0, $def);
          } ],
    );
    for my $case (@cases) {
        my ($name, $code) = @$case;
        my ($status, $err);
        my $trace = traced(sub {
            $status = eval { $code->() };
            $err    = $@;
        });
        is($err, '', "$name with derived-class handles does not stop");
        like($status, qr/^-?\d+\z/, "$name returns an integer status");
        isnt($status, 0, "$name: the client refuses the null/unknown arguments");
        like($trace, qr/^\Q$name(\E/m, "$name reached the client");
    }
};

done_testing();

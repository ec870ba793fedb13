package Vorla::Info;
# Storage for the information records that a script hands to the client
# through a typed handle (pObject_Info_T, pClass_Info_T, pSyntax_Info_T):
# an area of the record's exact size, handles that point at it, and its
# fields read back into a hash.
#
# Invariants: the area is a Perl string of the record's size whose buffer is
# never reallocated: it is made private once, when its address is taken, and
# then marked read-only, so that Perl never writes to it (only the client
# does, through the address); what is read back is always a fresh copy.  The area
# lives as long as the Vorla::Info object or any handle made by ->handle
# that has not been re-set by a sub.  Field layouts are the client's, on
# this platform's byte order and alignment.

use strict;
use warnings;
use Carp ();
use Scalar::Util ();

our $VERSION = '0.13.05';

# Per class: the record's size and how its fields read back.
my %RECORD = (
    pObject_Info_T => {
        size   => 80,
        fields => sub {
            my ($flags, $subs, $mtime, $base) = unpack 'L L L Z68', $_[0];
            return { objectFlags => $flags, subordinateCount => $subs,
                     modificationTime => $mtime, baseClass => $base };
        },
    },
    pClass_Info_T => {
        size   => 40,
        fields => sub {
            my ($flags, $len, $data) = unpack 'L L a32', $_[0];
            $len = 32 if $len > 32;
            return { classFlags => $flags,
                     asn1ID => { length => $len, data => substr($data, 0, $len) } };
        },
    },
    pSyntax_Info_T => {
        size   => 76,
        fields => sub {
            my ($id, $name, $flags) = unpack 'L Z68 S', $_[0];
            return { ID => $id, defStr => $name, flags => $flags };
        },
    },
);

# Handles made by ->handle: one subclass per record class, so that the class
# test of the subs accepts them, each keeping its area alive.
my %KEEP;    # refaddr of a handle -> its area
for my $class (keys %RECORD) {
    no strict 'refs';
    *{"${class}::ISA"}{ARRAY};    # the handle class exists as a package, for ->isa
    @{"Vorla::Info::Handle::${class}::ISA"} = ($class);
    *{"Vorla::Info::Handle::${class}::DESTROY"} = sub {
        delete $KEEP{ Scalar::Util::refaddr($_[0]) };
    };
}

sub classes { return sort keys %RECORD }

sub size_of {
    my (undef, $class) = @_;
    my $r = $RECORD{ $class // '' } or Carp::croak("Vorla::Info: no record for class '" . ($class // '') . "'");
    return $r->{size};
}

sub new {
    my ($pkg, $class) = @_;
    my $size = $pkg->size_of($class);
    my $area = "\0" x $size;
    my $self = bless { class => $class, area => \$area }, ref($pkg) || $pkg;
    # The address of the area's own buffer; taking it makes the string
    # private (never shared with another scalar).
    $self->{address} = unpack 'J', pack 'p', ${ $self->{area} };
    Internals::SvREADONLY(${ $self->{area} }, 1);
    return $self;
}

sub class   { return $_[0]{class} }
sub address { return $_[0]{address} }
sub size    { return length ${ $_[0]{area} } }

# A new typed handle of the record's class pointing at the area.
sub handle {
    my ($self) = @_;
    my $addr = $self->{address};
    my $h = bless \$addr, "Vorla::Info::Handle::$self->{class}";
    $KEEP{ Scalar::Util::refaddr($h) } = $self->{area};
    return $h;
}

# The record's bytes as the client left them (a copy of its own).
sub bytes { return pack 'a*', ${ $_[0]{area} } }

# The record's fields, by their published names.
sub fields {
    my ($self) = @_;
    return $RECORD{ $self->{class} }{fields}->(${ $self->{area} });
}

1;
__END__

=head1 NAME

Vorla::Info - storage for object, class and syntax information records

=head1 SYNOPSIS

    use Vorla qw(:constants);
    use Vorla::Info;

    my $syntax = Vorla::Info->new('pSyntax_Info_T');
    Vorla::NWDSReadSyntaxDef($ctx, SYN_CI_STRING, my $h = $syntax->handle);
    my $f = $syntax->fields;      # { ID => 3, defStr => 'SYN_CI_STRING', flags => ... }

    my $class = Vorla::Info->new('pClass_Info_T');
    Vorla::NWDSGetClassDef($ctx, $result, my $name, my $c = $class->handle);
    printf "%s: flags %#x\n", $name, $class->fields->{classFlags};

    my $object = Vorla::Info->new('pObject_Info_T');
    Vorla::NWDSReadObjectInfo($ctx, "CN=Admin", my $dn, my $o = $object->handle);
    print $object->fields->{baseClass}, "\n";

=head1 DESCRIPTION

C<NWDSReadObjectInfo>, C<NWDSGetClassDef> and C<NWDSReadSyntaxDef> write a
record into storage that the script supplies through a typed handle, and the
client writes the whole record there.  A handle made by hand
(C<bless \(my $p = $address), 'pObject_Info_T'>) points wherever its integer
says, and a wrong integer lets the client write over the interpreter's
memory.  A C<Vorla::Info> object is storage of the record's exact size, with
handles that point at it and a reader of its fields.

=over 4

=item Vorla::Info->new(CLASS)

New zeroed storage for the record of CLASS: C<pObject_Info_T> (80 bytes),
C<pClass_Info_T> (40 bytes) or C<pSyntax_Info_T> (76 bytes).  Any other class
stops the script.

=item $info->handle

A new typed handle for the storage, blessed into a class that inherits from
CLASS, so every sub that takes CLASS accepts it.  The storage lives as long
as the object or any of its handles does.  The subs re-set their handle
argument after the call (the variable becomes a plain CLASS handle holding
the same address); such a re-set handle does not keep the storage alive, so
keep the object while you use it.

=item $info->fields

The record's fields as the client left them, in a new hash reference, under
their published names:

    pObject_Info_T  objectFlags, subordinateCount, modificationTime, baseClass
    pClass_Info_T   classFlags, asn1ID => { length, data }
    pSyntax_Info_T  ID, defStr, flags

Integers come back unsigned; texts up to their first zero byte; C<data> is
C<length> bytes (at most 32).

=item $info->bytes, $info->size, $info->address, $info->class

The raw bytes of the record, its size, the address the handles hold, and
CLASS.

=item Vorla::Info->size_of(CLASS), Vorla::Info->classes

The record size of CLASS, and the classes there is storage for.

=back

=cut

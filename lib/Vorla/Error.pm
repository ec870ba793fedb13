package Vorla::Error;
# The exception that Vorla::Tree raises when a directory operation fails: the
# status number, its name, the operation and the entry it was about.  It
# reads as one line, "adding CN=jdoe.OU=Sales: ERR_ENTRY_ALREADY_EXISTS
# (-606)", and compares as that text.  Objects are never changed once made.
use strict;
use warnings;
use overload '""' => \&message, 'bool' => sub { 1 }, fallback => 1;

our $VERSION = '0.13.05';

# The status's name, from Vorla::Status when it is there.
sub status_name {
    my ($status) = @_;
    my $name = eval { require Vorla::Status; Vorla::Status::name($status) };
    return $name;
}

sub new {
    my ($class, %a) = @_;
    my $self = bless { status => $a{status} // 0, operation => $a{operation} // 'calling the client',
                       entry => $a{entry}, attribute => $a{attribute}, detail => $a{detail} }, $class;
    $self->{name} = status_name($self->{status}) // 'status';
    return $self;
}

sub status    { $_[0]{status} }
sub name      { $_[0]{name} }
sub operation { $_[0]{operation} }
sub entry     { $_[0]{entry} }
sub attribute { $_[0]{attribute} }

sub text {
    my $t = eval { require Vorla::Status; Vorla::Status::text($_[0]{status}) };
    return $t;
}

sub message {
    my ($self) = @_;
    my $m = $self->{operation};
    $m .= " $self->{entry}" if defined $self->{entry} && length $self->{entry};
    $m .= ": $self->{attribute}" if defined $self->{attribute};
    $m .= ": $self->{detail}" if defined $self->{detail};
    return "$m: $self->{name} ($self->{status})";
}

# Raises a new (or this) error as an exception.
sub throw { my $self = shift; $self = $self->new(@_) unless ref $self; die $self }

1;
__END__

=head1 NAME

Vorla::Error - a failed directory operation, as an exception

=head1 SYNOPSIS

    use Vorla::Tree;
    eval { $tree->add('CN=jdoe.OU=Sales', { 'Object Class' => 'User', Surname => 'Doe' }) };
    if (my $e = $@) {
        die $e unless ref $e && $e->isa('Vorla::Error');
        print "$e\n";                # adding CN=jdoe.OU=Sales: ERR_ENTRY_ALREADY_EXISTS (-606)
        print $e->status, "\n";      # -606
        print $e->name, "\n";        # ERR_ENTRY_ALREADY_EXISTS
    }

=head1 DESCRIPTION

L<Vorla::Tree> raises a C<Vorla::Error> when the client refuses an operation.
Used as a string it is the message shown above; its parts are:

=over 4

=item status

The client's status number (negative).

=item name

Its name, such as C<ERR_NO_SUCH_ENTRY> (from L<Vorla::Status>).

=item text

Its short text, such as "no such entry", when L<Vorla::Status> has one.

=item operation

What was being done: C<adding>, C<modifying>, C<reading>, C<searching>,
C<removing>, C<renaming>, C<moving>, C<setting the password of>,
C<logging in as>, ...

=item entry

The entry's name as the script gave it.

=item attribute

The attribute, when the failure was about one of its values.

=back

A tree made with C<< raise => 0 >> returns false instead and keeps the error
in C<< $tree->error >>.

=cut

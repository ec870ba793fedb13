package Vorla::Entry;
# One directory entry as read or found: its name and its attributes' values
# in script form (integers, strings, value text), with each attribute's
# syntax.  Attribute names match without regard to case.  An entry is a
# copy: changing the directory goes through Vorla::Tree.
use strict;
use warnings;
use Vorla::Convert;

our $VERSION = '0.13.05';

# new($name, { attr => value | [values] }): an entry to add.
sub new {
    my ($class, $name, $attrs) = @_;
    my %vals = map { my $v = $attrs->{$_}; ($_ => [ref $v eq 'ARRAY' ? @$v : $v]) } keys %{ $attrs // {} };
    return bless { dn => $name, vals => \%vals, syn => {} }, $class;
}

sub _make { bless { dn => $_[1], vals => $_[2], syn => $_[3] }, $_[0] }

sub dn { $_[0]{dn} }

# The attribute's own key in this entry, found without regard to case.
sub _key {
    my ($s, $attr) = @_;
    return $attr if exists $s->{vals}{$attr};
    my $lc = lc $attr;
    for (keys %{ $s->{vals} }) { return $_ if lc $_ eq $lc }
    return undef;
}

sub attributes { sort keys %{ $_[0]{vals} } }

sub exists { defined $_[0]->_key($_[1]) }

# All values in list context, the first in scalar context.
sub get_value {
    my ($s, $attr) = @_;
    my $k = $s->_key($attr);
    my $v = defined $k ? $s->{vals}{$k} : [];
    return wantarray ? @$v : $v->[0];
}

# Values of a structured syntax as hashes (or arrays of lines); others as is.
sub get_struct {
    my ($s, $attr) = @_;
    my $k = $s->_key($attr) // return;
    my @v = map { Vorla::Convert::struct_form($s->{syn}{$k} // 0, $_) } @{ $s->{vals}{$k} };
    return wantarray ? @v : $v[0];
}

sub syntax { my $k = $_[0]->_key($_[1]); defined $k ? $_[0]{syn}{$k} : undef }

# { attr => [values] }, a copy.
sub as_hash { my ($s) = @_; return { map { ($_ => [@{ $s->{vals}{$_} }]) } keys %{ $s->{vals} } } }

sub _attrs { $_[0]->as_hash }

1;
__END__

=head1 NAME

Vorla::Entry - one directory entry: its name and its values

=head1 SYNOPSIS

    my $e = $tree->read('CN=jdoe.OU=Sales');
    print $e->dn, "\n";
    print scalar $e->get_value('Surname'), "\n";          # the first value
    print join(', ', $e->get_value('Telephone Number')), "\n";
    for my $acl ($e->get_struct('ACL')) { print "$acl->{subject}: $acl->{rights}\n" }

=head1 DESCRIPTION

Entries come from C<< $tree->read >> and from a search's cursor.  Values are
as the directory gives them: numbers for the integer syntaxes, texts for the
string syntaxes, value text (lines ended by line feeds) for structured
syntaxes; C<get_struct> gives structured values as hashes instead (see
L<Vorla::Convert> for their fields).  Names match without regard to case.

=over 4

=item dn

The entry's name, as the search or read gave it (relative to the tree's name
context).

=item attributes

The attribute names, sorted.

=item get_value(ATTR)

Every value (list context) or the first (scalar context); none when the entry
has no such attribute.

=item get_struct(ATTR)

As C<get_value>, structured values as hashes.

=item exists(ATTR), syntax(ATTR)

Whether the entry has the attribute; its syntax id.

=item as_hash

C<< { attribute => [values] } >>, a copy.

=item Vorla::Entry->new(NAME, { ATTR => VALUE or [VALUES] })

An entry to hand to C<< $tree->add >>.

=back

=cut

package Vorla::Cursor;
# Walks the result of a search one entry at a time through the search's
# iteration handle: one result buffer (borrowed from the tree's pool) holds
# one part of the result; the next part is asked for only when the entries
# of this one have been given.  Nothing but the current part is held, so a
# result of any size walks in the same memory.
#
# Invariants: the filter and result buffers go back to the tree's pool when
# the walk ends, fails or the cursor goes away; an unfinished search is
# closed with NWDSCloseIteration.
use strict;
use warnings;
use Vorla qw(:constants);
use Vorla::Entry;

our $VERSION = '0.13.05';
use constant END_ITER => -1;

sub _start {
    my ($class, $tree, $base, $scope, $filter, $attrs, $aliases, $shown) = @_;
    my $ctx = $tree->{ctx};
    my $self = bless { tree => $tree, ctx => $ctx, base => $base, shown => $shown // $base, scope => $scope,
                       aliases => $aliases, iter => END_ITER, left => 0, started => 0, count => 0 }, $class;
    my $none = bless \(my $null = 0), 'pBuf_T';
    $self->{filter} = $none;
    my $empty = !defined $filter || (ref $filter eq 'HASH' ? !%$filter : ref $filter eq 'ARRAY' ? !@$filter : $filter eq '');
    unless ($empty) {
        $self->{filter} = $self->{own_filter} = $tree->_take_result;
        $tree->_put_filter($self->{filter}, $filter);
    }
    ($self->{names}, $self->{all}) = ($none, 1);
    if ($attrs && @$attrs) {
        $self->{names} = $self->{own_names} = $tree->_take_result;
        $self->{all} = 0;
        Vorla::NWDSInitBuf($ctx, DSV_SEARCH, $self->{names});
        for (@$attrs) { my $rc = Vorla::NWDSPutAttrName($ctx, $self->{names}, $_); die [$rc, $_] if $rc }
    }
    $self->{out} = $tree->_take_result;
    $self->_part;    # the first part now, so that a bad base or filter fails at search()
    return $self;
}

# Asks for the next part of the result.
sub _part {
    my ($s) = @_;
    my $searched = 0;
    $s->{tree}->_env;
    my $rc = Vorla::NWDSSearch($s->{ctx}, $s->{base}, $s->{scope}, $s->{aliases}, $s->{filter},
                               DS_ATTRIBUTE_VALUES, $s->{all}, $s->{names}, $s->{iter}, 0, $searched, $s->{out});
    $s->{started} = 1;
    if ($rc) { $s->_finish; die [$rc] }
    $s->{left} = Vorla::NWDSGetObjectCount($s->{ctx}, $s->{out}) // 0;
}

# The next entry, or undef at the end.
sub next {
    my ($s) = @_;
    while (!$s->{left}) {
        return undef if !$s->{out} || $s->{iter} == END_ITER;
        my $ok = eval { $s->_part; 1 };
        return $s->{tree}->_fail('searching', $s->{shown}, $@->[0]) unless $ok;
    }
    $s->{left}--;
    my ($ctx, $out) = ($s->{ctx}, $s->{out});
    my ($name, $count) = Vorla::NWDSGetObjectName($ctx, $out);
    return $s->{tree}->_fail('searching', $s->{shown}, Vorla::GetLastErr()) unless defined $name;
    my (%vals, %syn);
    Vorla::Tree::_take_attrs($ctx, $out, $count, \%vals, \%syn);
    $s->{count}++;
    $s->_finish if !$s->{left} && $s->{iter} == END_ITER;
    return Vorla::Entry->_make($name, \%vals, \%syn);
}

# Every remaining entry (this holds them all: for small results).
sub all { my ($s) = @_; my @e; while (my $e = $s->next) { push @e, $e } return @e }

# How many entries have been given so far.
sub count { $_[0]{count} }

sub _finish {
    my ($s) = @_;
    my $tree = $s->{tree} or return;
    if ($s->{iter} != END_ITER && $tree->{ctx}) {
        $tree->_env;
        Vorla::NWDSCloseIteration($s->{ctx}, $s->{iter}, DSV_SEARCH);
        $s->{iter} = END_ITER;
    }
    $tree->_give_result(delete $s->{$_}) for grep { $s->{$_} } qw(out own_filter own_names);
    $s->{left} = 0;
}

sub close { $_[0]->_finish; 1 }

sub DESTROY { local ($@, $!, $?); $_[0]->_finish }

1;
__END__

=head1 NAME

Vorla::Cursor - the entries a search found, one at a time

=head1 SYNOPSIS

    my $cursor = $tree->search(base => 'OU=Sales', filter => '(Surname=D*)');
    while (my $entry = $cursor->next) {
        print $entry->dn, "\n";
    }

=head1 DESCRIPTION

C<< $tree->search >> gives a cursor.  C<next> gives the next entry (a
L<Vorla::Entry>), or undef when there is none left (or, on a tree opened with
C<< raise => 0 >>, when the search failed: see C<< $tree->error >>).  The
cursor holds one buffer's worth of the result at a time and asks the
directory for the next part as it is walked, so results of any size take the
same memory.

C<all> gives the remaining entries as a list (it holds them all).  C<count>
is the number of entries given so far.  C<close> ends the walk early and
gives its buffers back to the tree; dropping the cursor does the same.

=cut

package Vorla::Tree;
# An object layer over the faithful subs: a tree opened on a store (or a
# server URL), logged in through one context, with search, read, add,
# modify, rename, move, remove, passwords, rights and group members.
#
# Invariants: a tree owns one context and its buffers (a request buffer, an
# attribute-name buffer and a small pool of result buffers that searches in
# progress borrow); all are made by new() and freed by close() or when the
# tree goes away, never per call.  Values given by the caller are converted
# into fresh scalars (Vorla::Convert) and never changed.  Every failure is a
# Vorla::Error, raised, or kept in error() when the tree was opened with
# raise => 0.
use strict;
use warnings;
use Carp ();
use Vorla qw(:constants);
use Vorla::Error;
use Vorla::Convert;
use Vorla::Entry;
use Vorla::Cursor;

our $VERSION = '0.13.05';
our $ERROR;    # the last error of any tree (new() with raise => 0 has no tree to keep it)

my %SCOPE = (base => DS_SEARCH_ENTRY, entry => DS_SEARCH_ENTRY, one => DS_SEARCH_SUBORDINATES,
             subordinates => DS_SEARCH_SUBORDINATES, sub => DS_SEARCH_SUBTREE, subtree => DS_SEARCH_SUBTREE);
use constant { END_ITER => -1, BUFFER_FULL => -304, NO_SUCH_ATTRIBUTE => -603 };
my $NONE = bless \(my $null = 0), 'pBuf_T';

sub new {
    my ($class, %o) = @_;
    my $self = bless { raise => $o{raise} // 1, store => $o{store} // $o{server}, syntax => {},
                       pool => [], bufs => [] }, $class;
    $self->_env;
    local $ENV{NWCLIENT_ADMIN_PASSWORD} = $o{admin_password} if defined $o{admin_password};
    my $ctx = Vorla::NWDSCreateContextHandle();
    return $self->_fail('opening the tree', $self->{store}, Vorla::GetLastErr()) unless defined $ctx;
    $self->{ctx} = $ctx;
    if (defined $o{context}) {
        my $rc = Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, $o{context});
        return $self->_fail('setting the name context to', $o{context}, $rc) if $rc;
    }
    $self->{context} = Vorla::NWDSGetContext($ctx, DCK_NAME_CONTEXT) // '[Root]';
    for my $b (qw(req names)) {
        my $rc = Vorla::NWDSAllocBuf($b eq 'req' ? MAX_MESSAGE_LEN : DEFAULT_MESSAGE_LEN, my $buf);
        return $self->_fail('allocating a buffer for', $self->{store}, $rc) if $rc;
        push @{ $self->{bufs} }, $self->{$b} = $buf;
    }
    # The store is opened (and made, with the Admin password given) now.
    my $rc = $self->_object_info('[Root]');
    return $self->_fail('opening the tree', $self->{store}, $rc) if $rc;
    if (defined $o{user}) { $self->login($o{user}, $o{password}) or return }
    return $self;
}

sub context { $_[0]{context} }
sub handle  { $_[0]{ctx} }
sub error   { $_[0]{error} }
sub status  { $_[0]{error} ? $_[0]{error}->status : 0 }

# raise(0) asks for statuses instead of exceptions; gives the old setting.
sub raise { my ($s, $v) = @_; my $old = $s->{raise}; $s->{raise} = $v if @_ > 1; return $old }

sub _env {
    my ($s) = @_;
    $ENV{NWCLIENT_STORE} = $s->{store} if defined $s->{store} && ($ENV{NWCLIENT_STORE} // '') ne $s->{store};
}

sub _fail {
    my ($s, $op, $entry, $status, %more) = @_;
    my $e = Vorla::Error->new(operation => $op, entry => $entry, status => $status, %more);
    $s->{error} = $ERROR = $e;
    die $e if $s->{raise};
    return;
}

sub _ok { $_[0]{error} = undef; return $_[1] // 1 }

sub login {
    my ($s, $name, $password) = @_;
    $s->_env;
    my $rc = Vorla::NWDSLogin($s->{ctx}, 0, $name, $password // '', 0);
    return $rc ? $s->_fail('logging in as', $name, $rc) : $s->_ok($s);
}

sub logout {
    my ($s) = @_;
    $s->_env;
    my $rc = Vorla::NWDSLogout($s->{ctx});
    return $rc ? $s->_fail('logging out', undef, $rc) : $s->_ok($s);
}

sub whoami {
    my ($s) = @_;
    my ($who) = Vorla::NWDSWhoAmI($s->{ctx});
    return $who;
}

# The syntax id of an attribute, asked once per tree.
sub _syntax {
    my ($s, $attr) = @_;
    my $syn = $s->{syntax}{ lc $attr };
    return $syn if defined $syn;
    $s->_env;
    ($syn) = Vorla::NWDSGetSyntaxID($s->{ctx}, $attr);
    return $s->{syntax}{ lc $attr } = $syn if defined $syn;
    die [Vorla::GetLastErr(), $attr];
}

# Result buffers: taken from the tree's pool, given back when done.
sub _take_result {
    my ($s) = @_;
    return pop @{ $s->{pool} } if @{ $s->{pool} };
    my $rc = Vorla::NWDSAllocBuf(MAX_MESSAGE_LEN, my $b);
    die [$rc] if $rc;
    push @{ $s->{bufs} }, $b;
    return $b;
}
sub _give_result { push @{ $_[0]{pool} }, $_[1] if $_[0]{ctx} }

# Reads one object's attributes from a result buffer into $vals/$syn.
sub _take_attrs {
    my ($ctx, $out, $count, $vals, $syn) = @_;
    for (1 .. $count) {
        my ($attr, $n, $id) = Vorla::NWDSGetAttrName($ctx, $out);
        die [Vorla::GetLastErr()] unless defined $attr;
        $syn->{$attr} = $id;
        my $list = $vals->{$attr} //= [];
        push @$list, Vorla::NWDSGetAttrVal($ctx, $out, $id) for 1 .. $n;
    }
}

# Runs $code, turning the [status, attribute] dies of the helpers into errors.
sub _guard {
    my ($s, $op, $entry, $code) = @_;
    $s->_env;
    my @r = eval { $code->() };
    return $s->_ok(@r ? $r[0] : 1) unless $@;
    my $err = $@;
    die $err if ref $err ne 'ARRAY';
    my ($status, $attr, $detail) = @$err;
    return $s->_fail($op, $entry, $status, attribute => $attr, detail => $detail);
}

sub read {
    my ($s, $name, %o) = @_;
    return $s->_guard('reading', $name, sub {
        my ($ctx, $names, $all) = ($s->{ctx}, $NONE, 1);
        if ($o{attrs} && @{ $o{attrs} }) {
            ($names, $all) = ($s->{names}, 0);
            my $key = join "\0", @{ $o{attrs} };
            if (($s->{names_for} // '') ne $key) {    # the names of the last read are kept
                $s->{names_for} = undef;
                Vorla::NWDSInitBuf($ctx, DSV_READ, $names);
                for (@{ $o{attrs} }) { my $rc = Vorla::NWDSPutAttrName($ctx, $names, $_); die [$rc, $_] if $rc }
                $s->{names_for} = $key;
            }
        }
        my $out = $s->_take_result;
        my (%vals, %syn);
        my $iter = END_ITER;
        my $ok = eval {
            do {
                $iter = Vorla::NWDSRead($ctx, $name, DS_ATTRIBUTE_VALUES, $all, $names, $iter, $out);
                die [Vorla::GetLastErr()] unless defined $iter;
                _take_attrs($ctx, $out, Vorla::NWDSGetAttrCount($ctx, $out) // 0, \%vals, \%syn);
            } while ($iter != END_ITER);
            1;
        };
        my $err = $@;
        Vorla::NWDSCloseIteration($ctx, $iter, DSV_READ) if !$ok && defined $iter && $iter != END_ITER;
        $s->_give_result($out);
        die $err unless $ok;
        return Vorla::Entry->_make($name, \%vals, \%syn);
    });
}

# Reads the names of an entry's Object Class (every entry has one): the
# status tells whether the entry is there.
sub _object_info {
    my ($s, $name) = @_;
    my ($ctx, $names) = ($s->{ctx}, $s->{names});
    my $out = eval { $s->_take_result } or return $@->[0];
    $s->{names_for} = undef;
    # All attribute names: an entry that can be browsed is there, whichever
    # of its attributes the identity may compare (none, before a login).
    Vorla::NWDSInitBuf($ctx, DSV_READ, $names);
    my $iter = Vorla::NWDSRead($ctx, $name, DS_ATTRIBUTE_NAMES, 1, $names, END_ITER, $out);
    my $rc = defined $iter ? 0 : Vorla::GetLastErr();
    Vorla::NWDSCloseIteration($ctx, $iter, DSV_READ) if defined $iter && $iter != END_ITER;
    $s->_give_result($out);
    return $rc;
}

# True when the entry exists.
sub exists {
    my ($s, $name) = @_;
    $s->_env;
    my $rc = $s->_object_info($name);
    return $s->_ok(1) if $rc == 0;
    return $s->_ok(0) if $rc == -601;
    return $s->_fail('looking for', $name, $rc);
}

# [change type or undef, attribute, syntax, put forms...] for each attribute.
sub _items {
    my ($s, $change, $attrs, $with_values) = @_;
    my @items;
    my @pairs = ref $attrs eq 'HASH' ? map { ($_, $attrs->{$_}) } sort keys %$attrs
              : ref $attrs eq 'ARRAY' ? @$attrs : ($attrs, undef);
    while (@pairs) {
        my ($attr, $v) = splice @pairs, 0, 2;
        my @vals = !defined $v ? () : ref $v eq 'ARRAY' ? @$v : ($v);
        my $syn = $s->_syntax($attr);
        # Each form stays in a scalar of its own (a reused one would keep the
        # type of an earlier value).
        my @forms = map {
            my @f = eval { Vorla::Convert::put_form($syn, $_) };
            if (my $why = $@) { chomp $why; die [-613, $attr, $why] }
            @f;
        } @vals;
        my $ch = ref $change eq 'CODE' ? $change->(scalar @vals) : $change;
        push @items, [$ch, $attr, $syn, @forms];
    }
    return @items;
}

# Puts the items into the request buffer and sends it with $call, in parts
# when it does not fit one buffer.
sub _send {
    my ($s, $verb, $items, $call) = @_;
    my ($ctx, $req) = ($s->{ctx}, $s->{req});
    my $iter = END_ITER;
    my $head = sub {
        my ($ch, $attr) = @_;
        return defined $ch ? Vorla::NWDSPutChange($ctx, $req, $ch, $attr) : Vorla::NWDSPutAttrName($ctx, $req, $attr);
    };
    my $flush = sub {
        $iter = $call->($iter, 1);
        die [Vorla::GetLastErr()] unless defined $iter;
        Vorla::NWDSInitBuf($ctx, $verb, $req);
    };
    Vorla::NWDSInitBuf($ctx, $verb, $req);
    my $ok = eval {
        for my $it (@$items) {
            my ($ch, $attr, $syn, @forms) = @$it;
            my $rc = $head->($ch, $attr);
            if ($rc == BUFFER_FULL) { $flush->(); $rc = $head->($ch, $attr) }
            die [$rc, $attr] if $rc;
            for my $f (@forms) {
                $rc = Vorla::NWDSPutAttrVal($ctx, $req, $syn, $f);
                if ($rc == BUFFER_FULL) {
                    $flush->();
                    $rc = $head->($ch, $attr) || Vorla::NWDSPutAttrVal($ctx, $req, $syn, $f);
                }
                die [$rc, $attr] if $rc;
            }
        }
        defined $call->($iter, 0) or die [Vorla::GetLastErr()];
        1;
    };
    return 1 if $ok;
    my $err = $@;
    Vorla::NWDSCloseIteration($ctx, $iter, $verb) if $iter != END_ITER;
    die $err;
}

sub add {
    my ($s, $name, $attrs) = @_;
    ($name, $attrs) = ($name->dn, $name->_attrs) if ref $name && $name->isa('Vorla::Entry');
    return $s->_guard('adding', $name, sub {
        my @items = $s->_items(undef, $attrs);
        my ($ctx, $req) = ($s->{ctx}, $s->{req});
        $s->_send(DSV_ADD_ENTRY, \@items, sub { Vorla::NWDSAddObject($ctx, $name, $_[0], $_[1], $req) });
    });
}

# modify($name, add => {...}, delete => {...} | [names], replace => {...}),
# the changes applied in the order given, all or none.
sub modify {
    my ($s, $name, @changes) = @_;
    @changes = @{ $changes[1] } if @changes == 2 && $changes[0] eq 'changes';
    return $s->_guard('modifying', $name, sub {
        my @items;
        while (@changes) {
            my ($what, $attrs) = splice @changes, 0, 2;
            if ($what eq 'add') { push @items, $s->_items(DS_ADD_VALUE, $attrs) }
            elsif ($what eq 'delete') {
                $attrs = [map { ($_ => undef) } @$attrs] if ref $attrs eq 'ARRAY';
                push @items, $s->_items(sub { $_[0] ? DS_REMOVE_VALUE : DS_REMOVE_ATTRIBUTE }, $attrs);
            }
            elsif ($what eq 'replace') {
                for my $it ($s->_items(DS_ADD_VALUE, $attrs)) {
                    push @items, [DS_CLEAR_ATTRIBUTE, $it->[1], $it->[2]];
                    push @items, $it if @$it > 3;
                }
            }
            else { Carp::croak("Vorla::Tree::modify: '$what' is not add, delete or replace") }
        }
        my ($ctx, $req) = ($s->{ctx}, $s->{req});
        $s->_send(DSV_MODIFY_ENTRY, \@items, sub { Vorla::NWDSModifyObject($ctx, $name, $_[0], $_[1], $req) });
    });
}

sub _status_op {
    my ($s, $op, $name, $rc) = @_;
    return $rc ? $s->_fail($op, $name, $rc) : $s->_ok(1);
}

# The leftmost part of a name (its RDN), and the rest.
sub split_name {
    my ($name) = @_;
    my ($rdn, $rest) = $name =~ /^((?:[^.\\]|\\.)*)(?:\.(.*))?$/s;
    return ($rdn, $rest);
}

sub rename {
    my ($s, $name, $newrdn, %o) = @_;
    $s->_env;
    return $s->_status_op('renaming', $name, Vorla::NWDSModifyRDN($s->{ctx}, $name, $newrdn, $o{keep_old} ? 0 : 1));
}

sub move {
    my ($s, $name, $parent, $newrdn) = @_;
    $s->_env;
    $newrdn //= (split_name($name))[0];
    return $s->_status_op('moving', $name, Vorla::NWDSMoveObject($s->{ctx}, $name, $parent, $newrdn));
}

sub remove {
    my ($s, $name) = @_;
    $s->_env;
    return $s->_status_op('removing', $name, Vorla::NWDSRemoveObject($s->{ctx}, $name));
}

# set_password($name, $new): as an administrator; with $old: as its owner.
sub set_password {
    my ($s, $name, $new, $old) = @_;
    $s->_env;
    my $rc = defined $old ? Vorla::NWDSChangeObjectPassword($s->{ctx}, 0, $name, $old, $new)
                          : Vorla::NWDSGenerateObjectKeyPair($s->{ctx}, $name, $new, 0);
    return $s->_status_op('setting the password of', $name, $rc);
}

sub verify_password {
    my ($s, $name, $password) = @_;
    $s->_env;
    return Vorla::NWDSVerifyObjectPassword($s->{ctx}, 0, $name, $password) == 0;
}

# The rights mask $subject holds on $object (or one of its attributes).
sub effective_rights {
    my ($s, $subject, $object, $attr) = @_;
    $s->_env;
    my $mask = 0;
    my $rc = Vorla::NWDSGetEffectiveRights($s->{ctx}, $subject, $object, $attr // '[Entry Rights]', $mask);
    return $rc ? $s->_fail('reading the rights of', "$subject on $object", $rc) : $s->_ok($mask & 0xFFFFFFFF);
}

# The names in a group's Member attribute (none when it has none).
sub members {
    my ($s, $group) = @_;
    my $e = do { local $s->{raise} = 0; $s->read($group, attrs => ['Member']) };
    return $e->get_value('Member') if $e;
    return $s->_fail('reading the members of', $group, $s->status) unless $s->status == NO_SUCH_ATTRIBUTE;
    $s->{error} = undef;
    return ();
}

# search(base => ..., scope => 'subtree', filter => '(Surname=Doe)' | {...},
#        attrs => [...]): a cursor over the matching entries.
sub search {
    my ($s, %o) = @_;
    my $base = $o{base} // ($s->{context} eq '[Root]' ? '[Root]' : ".$s->{context}");
    my $scope = $SCOPE{ $o{scope} // 'subtree' };
    Carp::croak("Vorla::Tree::search: scope is base, one or sub") unless defined $scope;
    return $s->_guard('searching', $o{base} // $s->{context}, sub {
        Vorla::Cursor->_start($s, $base, $scope, $o{filter}, $o{attrs}, $o{aliases} ? 1 : 0, $o{base} // $s->{context});
    });
}

# Puts a filter into a DSV_SEARCH_FILTER buffer: a text in the LDAP filter
# grammar goes as the one attribute name of the buffer, which the client
# reads as the filter; a hash (or list) of attribute => value(s) (undef:
# presence), all of which must hold, goes as names and values.
sub _put_filter {
    my ($s, $buf, $filter) = @_;
    my $ctx = $s->{ctx};
    Vorla::NWDSInitBuf($ctx, DSV_SEARCH_FILTER, $buf);
    unless (ref $filter) {
        $filter = "($filter)" unless $filter =~ /^\s*\(/;
        my $rc = Vorla::NWDSPutAttrName($ctx, $buf, $filter);
        die [$rc, undef, "the filter $filter"] if $rc;
        return;
    }
    my $pairs = ref $filter eq 'HASH' ? [map { ($_, $filter->{$_}) } sort keys %$filter] : $filter;
    for my $it ($s->_items(undef, $pairs)) {
        my ($ch, $attr, $syn, @forms) = @$it;
        my $rc = Vorla::NWDSPutAttrName($ctx, $buf, $attr);
        $rc ||= Vorla::NWDSPutAttrVal($ctx, $buf, $syn, $_) for @forms;
        die [$rc, $attr] if $rc;
    }
}

sub close {
    my ($s) = @_;
    return unless $s->{ctx};
    $s->_env;
    Vorla::NWDSFreeBuf($_) for grep { ref } @{ $s->{bufs} };
    Vorla::NWDSFreeContext($s->{ctx});
    @{ $s }{qw(ctx bufs pool)} = (undef, [], []);
    return 1;
}

sub DESTROY { local ($@, $!, $?); $_[0]->close }

1;
__END__

=head1 NAME

Vorla::Tree - a directory tree as objects: search, read and change entries

=head1 SYNOPSIS

    use Vorla::Tree;

    my $tree = Vorla::Tree->new(store => '/srv/nds/tree.db', context => 'O=Example');
    $tree->login('Admin', $password);

    $tree->add('CN=jdoe.OU=Sales', { 'Object Class' => 'User', Surname => 'Doe',
                                     'Telephone Number' => ['555-0100', '555-0101'],
                                     'Login Maximum Simultaneous' => '2' });
    $tree->set_password('CN=jdoe.OU=Sales', 'first-pw');

    my $users = $tree->search(base => 'OU=Sales', filter => '(&(Object Class=User)(Surname=D*))',
                              attrs => ['Surname', 'Telephone Number']);
    while (my $u = $users->next) {
        printf "%s %s\n", $u->dn, join(', ', $u->get_value('Telephone Number'));
    }

    $tree->modify('CN=jdoe.OU=Sales', replace => { Surname => 'Dough' },
                                      add => { 'Telephone Number' => '555-0102' },
                                      delete => ['Login Maximum Simultaneous']);
    $tree->rename('CN=jdoe.OU=Sales', 'CN=jdough');
    $tree->move('CN=jdough.OU=Sales', 'OU=Marketing');
    $tree->remove('CN=jdough.OU=Marketing');

=head1 DESCRIPTION

A layer in pure Perl over the subs of L<Vorla>: a tree object holds one
directory context, logged in or not, and the buffers its operations use
(made once, freed with the tree).  Entries come back as L<Vorla::Entry>
objects, searches as L<Vorla::Cursor> objects that walk results of any size
one entry at a time.

=head2 Names

Names are read as the client reads them, relative to the tree's name context
(C<context>): with C<< context => 'O=Example' >>, C<CN=jdoe.OU=Sales> is
C<CN=jdoe.OU=Sales.O=Example>; a leading dot makes a full name
(C<.CN=Admin.O=Example>), each trailing dot climbs one level, and types may be
left out (C<jdoe.Sales>).  Names in values (Member, an ACL's subject) are read
the same way, and names come back relative to the name context.

=head2 Values

Give values in natural Perl forms; each is converted into a fresh scalar of
the form the directory wants, so your variables are never changed:

=over 4

=item *

integer syntaxes: numbers, or texts that read as whole numbers, such as the
fields of a CSV line (C<'42'>); booleans also C<true>/C<false>,
C<yes>/C<no>;

=item *

string syntaxes: any text (numbers too);

=item *

structured syntaxes: value text (lines ended by line feeds), a hash of
fields such as C<< { attribute => '[Entry Rights]', rights => 'BR', subject =>
'CN=jdoe.OU=Sales' } >> for an ACL, or an array of lines for a list or a
postal address; L<Vorla::Convert> lists every hash form.

=back

An attribute's value is one value or an array of values.  A text for an
integer attribute that is no number is refused before anything is sent.

=head2 Errors

A failure raises a L<Vorla::Error>, which reads as
C<adding CN=jdoe.OU=Sales: ERR_ENTRY_ALREADY_EXISTS (-606)> and carries
C<status>, C<name>, C<operation>, C<entry> (and C<attribute> where one value
was at fault).  Opened with C<< raise => 0 >> (or after C<< $tree->raise(0) >>)
the methods return false instead (undef, or an empty list), and
C<< $tree->error >> and C<< $tree->status >> tell what failed; both are
cleared by the next success.

=head1 METHODS

=over 4

=item Vorla::Tree->new(%options)

C<store>: the store file (sets C<NWCLIENT_STORE> for the tree's calls), or
C<server>, a directory server's URL; neither: the client's configured store.
C<context>: the name context.  C<user> and C<password>: log in at once.
C<admin_password>: the Admin's first password, when the store is made by
this call.  C<raise>: 0 for statuses instead of exceptions (a tree that
cannot be opened is then undef, and C<$Vorla::Tree::ERROR> says why).

=item login(NAME, PASSWORD), logout, whoami

Log the tree's context in as NAME (every change needs rights, which a
context that has not logged in does not have), out again; the name it is
logged in as.

=item search(%options)

C<base> (default: the name context), C<scope> (C<base>, C<one> or C<sub>,
the default), C<filter>, C<attrs> (the attributes wanted; default all),
C<aliases> (true: dereference aliases).  The filter is a text in the LDAP
filter grammar with NDS attribute names, C<(&(Object Class=User)(Surname=D*))>
(and C<&>, or C<|>, not C<!>, equality with C<*> wildcards, presence C<=*>,
C<< >= >> and C<< <= >>), or a hash C<< { Surname => 'Doe', 'Telephone Number'
=> undef } >> in which every attribute must have the value (one of the values
of an array) or, with undef, any value.  Gives a L<Vorla::Cursor>; the first
part of the result is asked for at once, so a bad base or filter fails here.

=item read(NAME, attrs => [ATTRIBUTES])

The entry with all its attributes (or those named), a L<Vorla::Entry>.

=item exists(NAME)

True when the entry is there.

=item add(NAME, { ATTRIBUTE => VALUE or [VALUES] }), add(ENTRY)

Adds an entry; C<Object Class> names its class.  A request larger than one
buffer is sent in parts, as one change.

=item modify(NAME, add => {...}, delete => {...} or [ATTRIBUTES], replace => {...})

Changes applied in the order given, all of them or none: C<add> adds values,
C<delete> with values removes them and with a list of names (or undef
values) removes whole attributes, C<replace> gives attributes exactly the
values given (none: removes the attribute).

=item rename(NAME, NEW_RDN, keep_old => 1)

Gives the entry a new name in its container; the old naming value is removed
unless C<keep_old>.

=item move(NAME, NEW_PARENT [, NEW_RDN])

Moves the entry (with everything below it) under another container.

=item remove(NAME)

Removes a leaf entry (C<ERR_ENTRY_IS_NOT_LEAF> for a container that still
holds entries).

=item set_password(NAME, NEW [, OLD])

Sets an entry's password as an administrator, or with OLD as its owner.
C<verify_password(NAME, PASSWORD)> is true when PASSWORD is the entry's.

=item effective_rights(SUBJECT, OBJECT [, ATTRIBUTE])

The rights mask SUBJECT holds on OBJECT: on the entry itself (the default,
C<[Entry Rights]>) or on one attribute; C<Vorla::Convert::rights_letters>
writes it as letters.

=item members(GROUP)

The names in a group's C<Member> attribute (none when it has none).

=item raise([FLAG]), error, status

Exceptions (1) or statuses (0); the last error, its status.

=item context, handle, close

The name context; the directory context handle, for the subs of L<Vorla>;
freeing the context and the buffers (done too when the tree goes away).

=back

=head1 SEE ALSO

L<Vorla>, L<Vorla::Entry>, L<Vorla::Cursor>, L<Vorla::Convert>,
L<Vorla::Error>, L<Vorla::Status>, L<Vorla::LDIF>, L<vorla>.

=cut

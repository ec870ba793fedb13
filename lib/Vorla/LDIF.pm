package Vorla::LDIF;
# LDIF (RFC 2849) for directory entries and changes, with NDS names: the
# reader gives one record at a time, the writer writes entries.
#
# Attribute types: LDIF allows letters, digits and hyphens only, so a blank
# in an NDS attribute name is written as a hyphen ("Telephone-Number") and a
# hyphen read back is a blank; names with blanks are read as well.  Values
# that are not safe as they are (line feeds, as in value text, leading
# blanks, colons or "<", bytes outside printable ASCII) are written in
# base 64.  Lines are folded at 76 characters.
#
# Invariants: the reader never gives a record it could not read whole; every
# error it raises is "NAME:LINE: reason\n", LINE being the first line of the
# offending (unfolded) line.
use strict;
use warnings;
use MIME::Base64 ();

our $VERSION = '0.13.05';

sub to_type   { (my $t = $_[0]) =~ tr/ /-/; $t }
sub from_type { (my $n = $_[0]) =~ tr/-/ /; $n }

# ---- writing --------------------------------------------------------------

sub writer {
    my ($class, $fh) = @_;
    print {$fh} "version: 1\n";
    return bless { fh => $fh, count => 0 }, $class;
}

sub _line {
    my ($type, $value) = @_;
    my $line = $value =~ /\A(?:[\x01-\x09\x0B\x0C\x0E-\x1F\x21-\x39\x3B\x3D-\x7F][\x01-\x09\x0B\x0C\x0E-\x7F]*)?\z/
               && $value !~ / \z/
             ? "$type: $value" : "${type}:: " . MIME::Base64::encode_base64($value, '');
    return $line if length $line <= 76;
    my @parts = (substr $line, 0, 76, '');
    push @parts, ' ' . substr $line, 0, 75, '' while length $line;
    return join "\n", @parts;
}

# write($name, [[attribute, [values]], ...]) or write($name, change records):
# one entry.
sub write {
    my ($s, $name, $attrs) = @_;
    my $fh = $s->{fh};
    print {$fh} "\n", _line('dn', $name), "\n";
    for my $a (@$attrs) {
        my ($attr, $values) = @$a;
        print {$fh} _line(to_type($attr), $_), "\n" for @$values;
    }
    $s->{count}++;
}

sub count { $_[0]{count} }

# ---- reading ------------------------------------------------------------------

# reader($fh, $name): $name is what errors call the input.
sub reader {
    my ($class, $fh, $name) = @_;
    return bless { fh => $fh, name => $name // '-', line => 0, pending => undef, first => 1 }, $class;
}

sub _fail { my ($s, $line, $why) = @_; die "$s->{name}:$line: $why\n" }

# The next unfolded line as [line number, text]; undef at the end; [n, '']
# for a line that ends a record.
sub _next_line {
    my ($s) = @_;
    my $fh = $s->{fh};
    my $cur = delete $s->{pending};
    while (1) {
        my $raw = <$fh>;
        unless (defined $raw) { return $cur }
        $s->{line}++;
        $raw =~ s/\r?\n\z//;
        if ($raw =~ s/^ //) {
            $s->_fail($s->{line}, 'a continued line without a line before it') unless $cur;
            $cur->[1] .= $raw;
            next;
        }
        if (defined $cur) { $s->{pending} = [$s->{line}, $raw]; return $cur }
        $cur = [$s->{line}, $raw];
    }
}

# One "type: value" line: (type, options, value).
sub _parse {
    my ($s, $no, $text) = @_;
    my ($type, $opts, $kind, $value) = $text =~ /^([A-Za-z0-9][A-Za-z0-9 -]*?)((?:;[A-Za-z0-9-]+)*)\s*:([:<]?)\s*(.*)$/s
        or $s->_fail($no, "'$text' is not 'attribute: value'");
    if ($kind eq ':') {
        $s->_fail($no, 'bad base 64') unless $value =~ m{^[A-Za-z0-9+/=\s]*$};
        $value = MIME::Base64::decode_base64($value);
    }
    elsif ($kind eq '<') {
        my ($path) = $value =~ m{^file://(/.*)$} or $s->_fail($no, "only file:// URLs are read, not '$value'");
        open my $in, '<:raw', $path or $s->_fail($no, "$path: $!");
        local $/;
        $value = <$in> // '';
    }
    return ($type, $value);
}

# The next record, or undef at the end:
#   { line, dn, type => 'add' | 'delete' | 'modify' | 'modrdn',
#     attrs => [[attribute, value], ...]             (add)
#     changes => [[add|delete|replace, attribute, [values]], ...] (modify)
#     newrdn, deleteoldrdn, newsuperior }             (modrdn)
sub next {
    my ($s) = @_;
    my @lines;
    while (my $l = $s->_next_line) {
        next if $l->[1] =~ /^#/;
        if ($l->[1] eq '') { last if @lines; next }
        push @lines, $l;
    }
    return undef unless @lines;
    if ($s->{first}) {
        $s->{first} = 0;
        if ($lines[0][1] =~ /^version\s*:\s*(.*)$/) {
            $s->_fail($lines[0][0], "version $1 is not 1") unless $1 eq '1';
            shift @lines;
            return $s->next unless @lines;
        }
    }
    my ($no, $first) = @{ shift @lines };
    my ($t, $dn) = $s->_parse($no, $first);
    $s->_fail($no, "a record begins with 'dn:', not '$t:'") unless lc $t eq 'dn';
    $s->_fail($no, 'an empty name') unless length $dn;
    my $rec = { line => $no, dn => $dn, type => 'add' };
    if (@lines && $lines[0][1] =~ /^changetype\s*:\s*(.*)$/i) {
        my $ct = lc $1;
        $s->_fail($lines[0][0], "changetype '$ct' is not add, delete, modify, modrdn or moddn")
            unless $ct =~ /^(add|delete|modify|modrdn|moddn)$/;
        $rec->{type} = $ct eq 'moddn' ? 'modrdn' : $ct;
        shift @lines;
    }
    my $type = $rec->{type};
    if ($type eq 'add') {
        $s->_fail($no, "an entry without attributes") unless @lines;
        for (@lines) { my ($a, $v) = $s->_parse(@$_); push @{ $rec->{attrs} }, [from_type($a), $v] }
    }
    elsif ($type eq 'delete') {
        $s->_fail($lines[0][0], 'a delete record has no further lines') if @lines;
    }
    elsif ($type eq 'modrdn') {
        for (@lines) {
            my ($a, $v) = $s->_parse(@$_);
            $a = lc $a;
            $s->_fail($_->[0], "'$a' has no place in a modrdn record") unless $a =~ /^(newrdn|deleteoldrdn|newsuperior)$/;
            $rec->{$a} = $v;
        }
        $s->_fail($no, 'a modrdn record without newrdn') unless defined $rec->{newrdn};
    }
    else {
        while (@lines) {
            my ($n, $text) = @{ shift @lines };
            my ($op, $attr) = $s->_parse($n, $text);
            $op = lc $op;
            $s->_fail($n, "'$op' is not add, delete or replace") unless $op =~ /^(add|delete|replace)$/;
            my @values;
            while (@lines && $lines[0][1] ne '-') {
                my ($a, $v) = $s->_parse(@{ shift @lines });
                $s->_fail($n, "a value of '$a' under '$op: $attr'") if lc from_type($a) ne lc from_type($attr);
                push @values, $v;
            }
            $s->_fail($n, "'$op: $attr' is not ended by '-'") unless @lines;
            shift @lines;
            push @{ $rec->{changes} }, [$op, from_type($attr), \@values];
        }
        $s->_fail($no, 'a modify record without changes') unless $rec->{changes};
    }
    return $rec;
}

# Every record of the input (errors first: nothing is given from an input
# that is not read whole).
sub read_all {
    my ($s) = @_;
    my @r;
    while (my $r = $s->next) { push @r, $r }
    return @r;
}

1;
__END__

=head1 NAME

Vorla::LDIF - LDIF files of NDS entries and changes

=head1 SYNOPSIS

    use Vorla::LDIF;
    my $w = Vorla::LDIF->writer(\*STDOUT);
    $w->write('CN=jdoe.OU=Sales.O=Example',
              [['Object Class', ['User']], ['Telephone Number', ['555-0100', '555-0101']]]);

    my $r = Vorla::LDIF->reader($fh, 'users.ldif');
    while (my $rec = $r->next) {            # dies "users.ldif:12: reason" on bad input
        print "$rec->{type} $rec->{dn}\n";
    }

=head1 DESCRIPTION

Reads and writes LDIF (RFC 2849) with NDS names: the distinguished names are
the directory's dotted names (C<CN=jdoe.OU=Sales.O=Example>), the attribute
types its attribute names with each blank written as a hyphen
(C<Telephone-Number>), since LDIF allows no blanks there; a hyphen is read
back as a blank, and names written with blanks are read too.  Values are
those of L<Vorla::Entry>: structured values are value text, which is written
in base 64 since it holds line feeds.

The reader gives records as hashes: C<dn>, C<line> (where the record
begins), C<type> (C<add>, C<delete>, C<modify>, C<modrdn>), then C<attrs>
(C<[[attribute, value], ...]>) for an add, C<changes> (C<[[add|delete|replace,
attribute, [values]], ...]>) for a modify, C<newrdn>, C<deleteoldrdn> and
C<newsuperior> for a modrdn.  A record without C<changetype> is an add.  Bad
input dies with the input's name and the line number: C<users.ldif:12:
'x' is not 'attribute: value'>.  C<read_all> reads every record first.

=cut

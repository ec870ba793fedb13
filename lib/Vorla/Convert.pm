package Vorla::Convert;
# Attribute values between their natural Perl forms and the script forms that
# Vorla::NWDSPutAttrVal demands and Vorla::NWDSGetAttrVal gives.
#
#   integer syntaxes    a number, or a text that reads as a whole number ("42",
#                       " 7 ", "-1"); booleans also true/false, yes/no, on/off
#   string syntaxes     any defined scalar, as its text
#   structured          value text, a hash of the syntax's fields, or (lists
#                       and postal addresses) an array of lines
#   stream              no value
#
# Invariants: put_form() always returns a new scalar of exactly the type the
# put demands (a plain integer or a plain string), so the caller's variable
# is never split, retyped or otherwise changed; it dies with a short reason
# (no line feed) for a value it cannot convert.
use strict;
use warnings;
use overload ();

our $VERSION = '0.13.05';

use constant { SYN_BOOLEAN => 7, SYN_STREAM => 21, SYN_CI_LIST => 6, SYN_OCTET_STRING => 9,
               SYN_PO_ADDRESS => 18 };

# Field names of the structured layouts, in the order of their lines.
our %FIELDS = (
    11 => [qw(number)],
    12 => [qw(type length address)],
    14 => [qw(type address)],
    15 => [qw(type volume path)],
    17 => [qw(attribute rights subject)],
    19 => [qw(seconds event)],
    23 => [qw(remote_id name)],
    25 => [qw(name level interval)],
    26 => [qw(name amount)],
);

my %KIND;    # syntax id => 'int' | 'str' | 'ml' | 'none' | 'bad'

sub kind {
    my ($syntax) = @_;
    return $KIND{$syntax} //= $syntax == SYN_STREAM      ? 'none'
                            : Vorla::IsNumType($syntax)   ? 'int'
                            : Vorla::IsStringType($syntax) ? 'str'
                            : Vorla::IsMLType($syntax)    ? 'ml'
                            :                               'bad';
}

my %BOOL = (true => 1, yes => 1, on => 1, false => 0, no => 0, off => 0);

# The value in the form NWDSPutAttrVal demands for the syntax: a new scalar.
sub put_form {
    my ($syntax, $value) = @_;
    my $kind = kind($syntax);
    return undef if $kind eq 'none';
    die "syntax $syntax has no value form\n" if $kind eq 'bad';
    die "no value given\n" unless defined $value;
    if ($kind eq 'int') {
        die "a number is wanted, not a " . lc(ref $value) . " reference\n" if ref $value;
        if ($value =~ /^\s*([-+]?\d+)\s*$/) {
            my $n = $1;
            die "'$value' is out of range\n" if $n > 4294967295 || $n < -2147483648;
            return unpack 'j', pack 'j', $n;    # a new plain integer
        }
        return $BOOL{ lc $1 } if $syntax == SYN_BOOLEAN && $value =~ /^\s*(\w+)\s*$/ && exists $BOOL{ lc $1 };
        die "'$value' is not a whole number\n";
    }
    if ($kind eq 'str') {
        die "a text is wanted, not a " . lc(ref $value) . " reference\n" if ref $value && !overload::Method($value, '""');
        return "$value";
    }
    return '' . value_text($syntax, $value);
}

# Value text from a hash, an array of lines or value text.
sub value_text {
    my ($syntax, $value) = @_;
    my $text;
    if (ref $value eq 'ARRAY') {
        die "an array of lines is a value only for lists and postal addresses\n"
            unless $syntax == SYN_CI_LIST || $syntax == SYN_PO_ADDRESS;
        $text = join '', map { "$_\n" } @$value;
    }
    elsif (ref $value eq 'HASH') {
        if ($syntax == SYN_OCTET_STRING) {
            my $bytes = $value->{octets} // die "an octet string hash needs 'octets'\n";
            $text = join '', map { "$_\n" } length($bytes), map { sprintf '%X', ord } split //, $bytes;
        }
        else {
            my $fields = $FIELDS{$syntax} or die "syntax $syntax has no hash form; give value text\n";
            my %v = %$value;
            $v{event} = ($v{replica} // 0) + 65536 * ($v{event} // 0) if $syntax == 19;
            $v{rights} = "[$v{rights}]" if $syntax == 17 && defined $v{rights} && $v{rights} !~ /\[/;
            $text = join '', map { ($v{$_} // '') . "\n" } @$fields;
        }
    }
    elsif (ref $value) {
        die "a " . lc(ref $value) . " reference is not a value\n";
    }
    else {
        $text = "$value";
        $text .= "\n" if length $text && $text !~ /\n\z/;
    }
    return $text;
}

# The fields of a structured value read back as value text: a hash (an array
# of lines for lists and postal addresses, the bytes for octet strings).
sub struct_form {
    my ($syntax, $text) = @_;
    return $text unless defined $text && kind($syntax) eq 'ml';
    my @lines = split /\n/, $text;
    return [@lines] if $syntax == SYN_CI_LIST || $syntax == SYN_PO_ADDRESS;
    if ($syntax == SYN_OCTET_STRING) {
        my ($len, @bytes) = @lines;
        return { octets => join '', map { chr hex } @bytes[0 .. ($len // 0) - 1] };
    }
    my $fields = $FIELDS{$syntax} or return $text;
    my %h;
    @h{@$fields} = @lines;
    if ($syntax == 19) { $h{replica} = $h{event} & 0xFFFF; $h{event} >>= 16 }
    $h{rights} =~ s/^\[|\]$//g if $syntax == 17 && defined $h{rights};
    return \%h;
}

# Rights letters for a mask, in the alphabet the protected attribute name
# chooses: "[BR]" for browse and rename of an entry.
my %ALPHABET = (entry => [qw(B A D R S)], sms => [qw(S B R C D A)], attr => ['C', 'R', 'W', 'A', undef, 'S']);

sub rights_letters {
    my ($attr, $mask) = @_;
    my $which = lc($attr // '') eq '[entry rights]' ? 'entry' : lc($attr // '') eq '[sms rights]' ? 'sms' : 'attr';
    my @l = @{ $ALPHABET{$which} };
    return '[' . join('', map { defined $l[$_] && $mask & (1 << $_) ? $l[$_] : () } 0 .. $#l) . ']';
}

1;
__END__

=head1 NAME

Vorla::Convert - attribute values from natural Perl forms into the forms the subs take

=head1 DESCRIPTION

Used by L<Vorla::Tree>; scripts rarely call it themselves.  L<Vorla::Values>
gives the script form of every syntax, which is what these forms become.

C<Vorla::Convert::put_form($syntax, $value)> gives a new scalar of the exact
form that C<Vorla::NWDSPutAttrVal> demands for the syntax: a plain integer for
the integer syntaxes (from a number or any text that reads as a whole number,
as fields of a CSV line do; booleans also from C<true>/C<false>, C<yes>/C<no>,
C<on>/C<off>), a plain string for the string syntaxes, and value text for the
structured ones.  The value given is never changed.

Structured values may be given as value text, as an array of lines (lists and
postal addresses), or as a hash of fields:

    Object ACL       { attribute => '[Entry Rights]', rights => 'BCR', subject => 'CN=jdoe.O=Example' }
    E-mail address   { type => 0, address => 'jdoe@example.com' }
    Path             { type => 0, volume => 'CN=SYS.O=Example', path => '/home/jdoe' }
    Timestamp        { seconds => 1700000000, replica => 1, event => 2 }
    Back link        { remote_id => 7, name => 'CN=x.O=Example' }
    Typed name       { name => 'CN=q.O=Example', level => 1, interval => 2 }
    Hold             { name => 'CN=x.O=Example', amount => 100 }
    Fax number       { number => '555-0199' }
    Net address      { type => 0, length => 12, address => '00001234:00001B2C3D4E' }
    Octet string     { octets => "\x01\x02" }

C<Vorla::Convert::struct_form($syntax, $text)> turns value text read back into
the same forms.

C<Vorla::Convert::rights_letters($attribute, $mask)> writes a rights mask (as
C<< $tree->effective_rights >> gives it) as letters: C<[BR]> under
C<[Entry Rights]> (B browse, A add, D delete, R rename, S supervisor), C<[CRW]>
under an attribute (C compare, R read, W write, A add self, S supervisor).

=cut

package Trace;
# Runs code with the client's call trace going to a fresh file and hands back
# the lines the client wrote, so a test sees exactly what each call passed.
use strict;
use warnings;
use File::Temp ();
use Exporter 'import';
our @EXPORT = qw(traced);

sub traced(&) {
    my ($code) = @_;
    my $tmp = File::Temp->new;
    local $ENV{NWCLIENT_TRACE} = $tmp->filename;
    my @result = $code->();
    open my $fh, '<', $tmp->filename or die "trace: $!";
    my @lines = <$fh>;
    chomp @lines;
    return wantarray ? @lines : \@lines;
}

1;

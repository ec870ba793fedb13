# Names and login from a script: canonical and abbreviated names through the
# context, who a context is, and logging in and out with a password that is
# never echoed anywhere.  On either backend (t/lib/Backend.pm): over LDAP a
# login is a bind and passwords change through the server.
use strict;
use warnings;
use Test::More;
use FindBin;
use lib "$FindBin::Bin/lib";
use Trace;
use Backend password => 'Admin-pw';
use Vorla qw(:constants);

my $ctx = Vorla::NWDSCreateContextHandle();
Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, "OU=Sales.O=Example");
# The Admin's context makes the entries and sets the first password.
my $admin = Vorla::NWDSDuplicateContext($ctx);

subtest 'names' => sub {
    is Vorla::NWDSCanonicalizeName($ctx, "jdoe"), "CN=jdoe.OU=Sales.O=Example", 'a relative typeless name';
    is Vorla::NWDSCanonicalizeName($ctx, "Admin."), "CN=Admin.O=Example", 'a trailing dot climbs';
    is Vorla::NWDSAbbreviateName($ctx, "CN=jdoe.OU=Sales.O=Example"), "CN=jdoe", 'abbreviated to the context';
    is Vorla::NWDSRemoveAllTypes($ctx, "CN=jdoe.OU=Sales.O=Example"), "jdoe.Sales.Example", 'types removed';
    my $matches = -1;
    is Vorla::NWDSCIStringsMatch($ctx, "Sales", "SALES", $matches), 0, 'a status';
    is $matches, 1, 'and the match in its variable';
    is Vorla::NWDSGetSyntaxID($ctx, "Telephone Number"), SYN_TEL_NUMBER, 'a syntax id';
    is Vorla::NWDSGetSyntaxID($ctx, "No Such Attribute"), undef, 'an unknown attribute';
    is Vorla::GetLastErr(), -603, 'with its status';
};

subtest 'login' => sub {
    is Vorla::NWDSWhoAmI($ctx), undef, 'nobody before login';
    is Vorla::GetLastErr(), -337, 'not logged in';
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $req);
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'Object Class');
    Vorla::NWDSPutAttrVal($ctx, $req, SYN_CLASS_NAME, my $c = 'Organizational Unit');
    is Vorla::NWDSLogin($admin, 0, "Admin.", Backend::password(), 0), 0, 'the Admin logs in';
    ok defined Vorla::NWDSAddObject($admin, ".OU=Sales.O=Example", NO_MORE_ITERATIONS, 0, $req), 'OU=Sales';
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'Object Class');
    Vorla::NWDSPutAttrVal($ctx, $req, SYN_CLASS_NAME, my $u = 'User');
    Vorla::NWDSPutAttrName($ctx, $req, 'Surname');
    Vorla::NWDSPutAttrVal($ctx, $req, SYN_CI_STRING, my $s = 'Doe');
    ok defined Vorla::NWDSAddObject($admin, "jdoe", NO_MORE_ITERATIONS, 0, $req), 'a user';
    is Vorla::NWDSLogin($ctx, 0, "jdoe", "", 0), -669, 'an object without a password cannot log in';
    is Vorla::NWDSGenerateObjectKeyPair($ctx, "jdoe", "s3cret-pw", 0), -672, 'only a supervisor sets a password';
    my @t = traced { Vorla::NWDSGenerateObjectKeyPair($admin, "jdoe", "s3cret-pw", 0) };
    is scalar(grep { /s3cret-pw/ } @t), 0, 'the password is not in the trace';
    my $pw = "s3cret-pw";
    is Vorla::NWDSLogin($ctx, 0, "jdoe", "wrong", 0), -669, 'a wrong password';
    is Vorla::NWDSLogin($ctx, 0, "jdoe", $pw, 0), 0, 'the right one';
    is $pw, "s3cret-pw", 'the variable is untouched';
    is Vorla::NWDSWhoAmI($ctx), "CN=jdoe", 'who the context is, relative to its name context';
    is Vorla::NWDSCanDSAuthenticate($ctx), 0, 'it can authenticate';
    ok Vorla::NWIsDSAuthenticated(), 'the workstation is authenticated';
    is Vorla::NWDSVerifyObjectPassword($ctx, 0, "jdoe", $pw), 0, 'verify';
    is Vorla::NWDSChangeObjectPassword($ctx, 0, "jdoe", $pw, "n3w"), 0, 'change';
    is Vorla::NWDSVerifyObjectPassword($ctx, 0, "jdoe", $pw), -669, 'the old one no longer verifies';
    is Vorla::NWDSLogout($ctx), 0, 'log out';
    is Vorla::NWDSWhoAmI($ctx), undef, 'nobody again';
    Vorla::NWDSFreeBuf($req);
};

Vorla::NWDSFreeContext($ctx);
done_testing;

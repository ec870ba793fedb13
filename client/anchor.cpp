// Keeps the library non-empty while its parts are being assembled.
namespace nwc {
int nwclient_anchor = 0;
}

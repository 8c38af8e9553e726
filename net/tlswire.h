#pragma once

#include "net/tlstransport.h"

struct bio_st;

/// The glue between OpenSSL and the socket layer: a BIO that reads and writes the socket with
/// basWSock (so no send raises SIGPIPE and errors keep their Windows Sockets codes) and notes
/// the first byte the peer sent.
namespace TlsWire {

/// A BIO over `wire`, which must outlive it; nullptr when OpenSSL cannot make one.
bio_st *newBio(TlsTransport::Wire *wire);

} // namespace TlsWire

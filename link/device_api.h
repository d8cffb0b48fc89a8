// The device API behind the seven exports: the connection state, the
// command/reply exchange and the record fetch. All state is process-wide
// and lives in device_api.cpp; exports.cpp only forwards to these.
//
// Calls are made from one thread at a time. Replies arrive on the serial
// engine's thread through OnReceive.
#pragma once

#include "frame_protocol.h"
#include "port_backend.h"

namespace tallylink {

// How long an exchange waits for its reply.
constexpr unsigned kReplyTimeoutMs = 1000;
// Room in the caller's array of GetDov_Oz_Er_Record.
constexpr unsigned kMaxRecordsPerCall = 20000;
// The state reply announces up to 65535 records; the store holds them all.
constexpr unsigned kRecordStoreSize = 65535;

// The receive callback handed to the serial engine: scans a chunk for reply
// frames into the process-wide reply slot and signals the reply event.
int OnReceive(const unsigned char* bytes, unsigned count);

// Resets the reply event, queues the 4 command bytes and waits up to
// kReplyTimeoutMs for a reply frame; true when one came. The reply is
// whatever frame arrived after the reset: nothing ties it to the command.
bool ExchangeCommand(const Command& command);

int ConnectDevice();
int DisconnectDevice();
int ReadDeviceState(int* cardSum, int* recordCount);
int FetchRecords(unsigned* count, int* values);
int ClearDeviceRecords();
int IsDeviceConnected();

// Test seam, not exported from the shared library: installs the transport
// and the port finder the API uses (null selects the real serial engine,
// DefaultPortBackend(), and FindDevicePort) and returns the library to its
// just-loaded state: the port of the previous backend is closed if its
// monitor runs, not connected, no records held back, record store zeroed.
// Install null again before destroying a test backend.
void SetPortBackendForTesting(PortBackend* backend, PortFinder finder);

// Records read from the machine (and cleared there) that are still waiting
// to be handed to the caller, because one call hands over at most
// kMaxRecordsPerCall. Exposed for tests and diagnostics.
unsigned HeldBackRecordCount();

}  // namespace tallylink

// The seam between the device API and the byte transport under it.
//
// The device API needs five operations of a serial engine and one of the
// port discovery; the real serial engine and discovery provide them, and
// tests supply their own so the protocol can run without a serial port.
#pragma once

namespace tallylink {

// Called on the transport's own thread with each received chunk
// (1 to 1024 bytes). The result is ignored.
using ReceiveCallback = int (*)(const unsigned char* bytes, unsigned count);

class PortBackend {
public:
    virtual ~PortBackend() = default;
    // Opens and configures port COMn; a null callback keeps the previous one.
    // 1 when the port opened, else 0.
    virtual int Open(ReceiveCallback callback, int portNumber) = 0;
    // Starts the thread that owns the port's I/O; 1 when it started.
    virtual int StartMonitor() = 0;
    // Whether the monitor was started and not closed since.
    virtual bool IsStarted() const = 0;
    // Stops the monitor and closes the port. Always 1.
    virtual int Close() = 0;
    // Hands bytes to the monitor thread for writing and returns at once.
    // Unread input is discarded right before they go out. A write queued
    // before the previous one was written waits its turn; none is dropped.
    virtual void QueueWrite(const unsigned char* bytes, unsigned count) = 0;
};

// Fills the caller's 8-byte buffer with the machine's port name ("COM7")
// and returns 1, or returns 0 and leaves the buffer alone.
using PortFinder = int (*)(char* name);

// The process-wide serial engine (serial_port.cpp).
PortBackend& DefaultPortBackend();

// Port discovery (port_discovery.cpp).
int FindDevicePort(char* name);
int PortNumberFromName(const char* name);

}  // namespace tallylink

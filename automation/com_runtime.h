// The automation runtime: per-thread initialisation and creation of servers
// by ProgID from a registry of server factories.
//
// Servers are in-process C++ objects. The registry starts with the built-in
// spreadsheet server under "Excel.Application"; tests replace it for a while
// (ScopedServerRegistration) to record or refuse calls.
#pragma once

#include <functional>
#include <string>

#include "dispatch.h"

namespace automation {

enum class InitResult {
    Ok,                  // S_OK: first initialisation on this thread
    AlreadyInitialized,  // S_FALSE: the thread was initialised before; still
                         // to be balanced by one UninitializeThread
};

// Initialises the calling thread (a single-threaded apartment). Every call,
// whichever of the two results it gives, must be balanced by one
// UninitializeThread on the same thread.
InitResult InitializeThread();
// Undoes one InitializeThread of this thread; extra calls do nothing.
void UninitializeThread();
// How many initialisations of this thread are not yet balanced.
int ThreadInitCount();

// Makes a server: an object, or a failure with a text.
using ServerFactory = std::function<DispatchPtr(Status* failure)>;

// Creates the server registered under `progId`. Fails with
// CO_E_NOTINITIALIZED on a thread that is not initialised, with
// REGDB_E_CLASSNOTREG for an unknown ProgID, and with the factory's own
// failure (or CO_E_SERVER_EXEC_FAILURE) when the factory makes nothing.
Status CreateObject(const std::string& progId, DispatchPtr* object);

// Registers `factory` under `progId`, replacing any server there.
void RegisterServer(const std::string& progId, ServerFactory factory);
// Removes the server under `progId`; creating it then fails.
void UnregisterServer(const std::string& progId);
// Puts the built-in servers back as they were at program start.
void RestoreBuiltinServers();

// Registers a server for the lifetime of this object, then puts back what
// was registered under the ProgID before (or nothing).
class ScopedServerRegistration {
  public:
    ScopedServerRegistration(std::string progId, ServerFactory factory);
    ~ScopedServerRegistration();
    ScopedServerRegistration(const ScopedServerRegistration&) = delete;
    ScopedServerRegistration& operator=(const ScopedServerRegistration&) = delete;

  private:
    std::string progId_;
    ServerFactory previous_;
};

}  // namespace automation

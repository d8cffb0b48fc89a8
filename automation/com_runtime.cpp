#include "com_runtime.h"

#include <map>
#include <mutex>

#include "excel_server.h"

namespace automation {

namespace {

thread_local int t_initCount = 0;

struct Registry {
    std::mutex mutex;
    std::map<std::string, ServerFactory> factories;

    Registry() { AddBuiltins(); }
    void AddBuiltins() { factories[kExcelProgId] = ExcelServerFactory(); }
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

ServerFactory Lookup(const std::string& progId) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = registry.factories.find(progId);
    return it == registry.factories.end() ? ServerFactory() : it->second;
}

}  // namespace

InitResult InitializeThread() {
    return t_initCount++ == 0 ? InitResult::Ok : InitResult::AlreadyInitialized;
}

void UninitializeThread() {
    if (t_initCount > 0) --t_initCount;
}

int ThreadInitCount() { return t_initCount; }

Status CreateObject(const std::string& progId, DispatchPtr* object) {
    object->reset();
    if (t_initCount == 0) {
        return Status::Error(hr::kNotInitialized,
                             "The automation layer has not been initialised on this thread.");
    }
    // Called outside the lock: a factory may itself consult the registry.
    ServerFactory factory = Lookup(progId);
    if (!factory) {
        return Status::Error(hr::kClassNotRegistered,
                             "No automation server is registered for \"" + progId + "\".");
    }
    Status failure;
    DispatchPtr made = factory(&failure);
    if (!made) {
        if (failure.ok()) {
            failure = Status::Error(hr::kServerFailed, "The automation server \"" + progId +
                                                           "\" could not be started.");
        }
        return failure;
    }
    *object = std::move(made);
    return Status::Ok();
}

void RegisterServer(const std::string& progId, ServerFactory factory) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (factory) {
        registry.factories[progId] = std::move(factory);
    } else {
        registry.factories.erase(progId);
    }
}

void UnregisterServer(const std::string& progId) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.factories.erase(progId);
}

void RestoreBuiltinServers() {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.AddBuiltins();
}

ScopedServerRegistration::ScopedServerRegistration(std::string progId, ServerFactory factory)
    : progId_(std::move(progId)), previous_(Lookup(progId_)) {
    RegisterServer(progId_, std::move(factory));
}

ScopedServerRegistration::~ScopedServerRegistration() { RegisterServer(progId_, previous_); }

}  // namespace automation

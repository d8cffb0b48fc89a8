// A holder of one dispatch reference with the generic invoke routine that
// typed wrappers of a server's objects are built on: each wrapper member is
// one InvokeHelper call with its identifier, call kind, result type and
// arguments.
#pragma once

#include <string>
#include <vector>

#include "dispatch.h"
#include "variant.h"

namespace automation {

class DispatchDriver {
  public:
    DispatchDriver() = default;
    explicit DispatchDriver(DispatchPtr object) : object_(std::move(object)) {}

    // Creates the server registered under `progId` and holds it (see
    // CreateObject for the failures).
    Status CreateDispatch(const std::string& progId);
    // Holds `object`, releasing what was held before.
    void AttachDispatch(DispatchPtr object) { object_ = std::move(object); }
    // Gives the reference away; nothing is held afterwards.
    DispatchPtr DetachDispatch() { return std::move(object_); }
    // Drops the reference.
    void ReleaseDispatch() { object_.reset(); }
    const DispatchPtr& dispatch() const { return object_; }
    bool attached() const { return object_ != nullptr; }

    // Invokes member `id` as `kind` with `args` (natural order). The value
    // that comes back is converted to `resultType` into `*result` (Empty:
    // no result wanted, `result` may be null). Fails with the server's own
    // status, when nothing is held, or when the value does not convert.
    Status InvokeHelper(DispId id, InvokeKind kind, VarType resultType, Variant* result,
                        const std::vector<Variant>& args = {}) const;

    // Shorthands: a property get of `resultType`, a property put of one value.
    Status GetProperty(DispId id, VarType resultType, Variant* result) const {
        return InvokeHelper(id, InvokeKind::PropertyGet, resultType, result);
    }
    Status SetProperty(DispId id, const Variant& value) const {
        return InvokeHelper(id, InvokeKind::PropertyPut, VarType::Empty, nullptr, {value});
    }

  private:
    DispatchPtr object_;
};

}  // namespace automation

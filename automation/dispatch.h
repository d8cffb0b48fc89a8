// The dispatch interface: the one call through which the program drives an
// automation server, with COM's result codes and the server's error text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace automation {

class Variant;

// An HRESULT: negative means failure. Built from the unsigned hex form the
// Windows headers use, without relying on implementation-defined narrowing.
using HResult = std::int32_t;
constexpr HResult MakeHResult(std::uint32_t bits) {
    return bits > 0x7FFFFFFFu ? -static_cast<HResult>(~bits) - 1 : static_cast<HResult>(bits);
}

namespace hr {
constexpr HResult kOk = 0;                                         // S_OK
constexpr HResult kFalse = 1;                                      // S_FALSE
constexpr HResult kUnknownName = MakeHResult(0x80020006u);         // DISP_E_UNKNOWNNAME
constexpr HResult kMemberNotFound = MakeHResult(0x80020003u);      // DISP_E_MEMBERNOTFOUND
constexpr HResult kParamNotFound = MakeHResult(0x80020004u);       // DISP_E_PARAMNOTFOUND
constexpr HResult kTypeMismatch = MakeHResult(0x80020005u);        // DISP_E_TYPEMISMATCH
constexpr HResult kException = MakeHResult(0x80020009u);           // DISP_E_EXCEPTION
constexpr HResult kBadIndex = MakeHResult(0x8002000Bu);            // DISP_E_BADINDEX
constexpr HResult kBadParamCount = MakeHResult(0x8002000Eu);       // DISP_E_BADPARAMCOUNT
constexpr HResult kNotInitialized = MakeHResult(0x800401F0u);      // CO_E_NOTINITIALIZED
constexpr HResult kClassNotRegistered = MakeHResult(0x80040154u);  // REGDB_E_CLASSNOTREG
constexpr HResult kServerFailed = MakeHResult(0x80080005u);        // CO_E_SERVER_EXEC_FAILURE
constexpr HResult kDisconnected = MakeHResult(0x80010108u);        // RPC_E_DISCONNECTED
constexpr HResult kInvalidArg = MakeHResult(0x80070057u);          // E_INVALIDARG
}  // namespace hr

// Outcome of an automation call. A failure always carries a text fit for a
// message box: the server's own description of why it refused the call.
struct Status {
    HResult code = hr::kOk;
    std::string text;

    bool ok() const { return code >= 0; }
    static Status Ok() { return Status{}; }
    static Status Error(HResult code, std::string text) { return Status{code, std::move(text)}; }
};

// How a member is invoked (the DISPATCH_* flags).
enum class InvokeKind : std::uint16_t {
    Method = 1,       // DISPATCH_METHOD
    PropertyGet = 2,  // DISPATCH_PROPERTYGET
    PropertyPut = 4,  // DISPATCH_PROPERTYPUT
};

const char* InvokeKindName(InvokeKind kind);

using DispId = std::int32_t;

// An automation object. Arguments are given in their natural order (first
// argument first, and for a property put the new value last), not reversed as
// IDispatch::Invoke receives them. A reference is a shared_ptr; releasing the
// reference is resetting it.
class Dispatch {
  public:
    virtual ~Dispatch();
    // The class name a type library would report ("Workbook", "Range").
    virtual const char* TypeName() const = 0;
    // The name of member `id` ("SaveAs"), or empty when not known; for logs.
    virtual std::string MemberName(DispId id) const;
    // Runs member `id` as `kind`. `result` may be null when the caller does
    // not want the value; it is set to Empty on failure.
    virtual Status Invoke(DispId id, InvokeKind kind, const std::vector<Variant>& args,
                          Variant* result) = 0;
};

using DispatchPtr = std::shared_ptr<Dispatch>;

}  // namespace automation

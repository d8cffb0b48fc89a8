// A recording stand-in for an automation server, for tests.
//
// It wraps a real server (by default the in-process spreadsheet server) and
// writes every call made on any of its objects into a CallLog: the object,
// the dispatch identifier, the call kind, the arguments with their variant
// types, and what came back. Calls can also be made to fail on purpose.
//
//     automation::RecordingServer excel;           // registers "Excel.Application"
//     ... run the export ...
//     EXPECT_EQ(excel.log().Lines(), expectedLines);
//
// A line reads, for instance,
//     Workbooks#3.Add 0xB5 method(ERROR 0x80020004) -> Workbook#4
//     Range#9.Item 0xAA put(I4 1, I4 1, BSTR "2014-08-10 09:05:03 Card Counter Record")
//     Worksheet#7.Name 0x6E put(BSTR "x:y") !! Worksheet.Name: The sheet name ...
// where #n numbers the objects in the order the log first saw them (#1 is
// the object the server was created as) and "!!" gives a failure's text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "com_runtime.h"
#include "excel_dispids.h"
#include "variant.h"

namespace automation {

struct RecordedCall {
    enum class Event { Invoke, Release };
    Event event = Event::Invoke;
    int object = 0;      // number of the object called or released
    std::string type;    // its type name
    std::string member;  // member name when the server knows it
    DispId dispid = 0;
    InvokeKind kind = InvokeKind::Method;
    // The arguments as passed. An object argument is kept as a null DISPATCH
    // (the log holds no references, so it never keeps an object alive) with
    // its number and type beside it.
    std::vector<Variant> args;
    std::vector<int> argObjects;        // per argument: object number, else 0
    std::vector<std::string> argTypes;  // per argument: object type, else empty
    Status status;
    Variant result;          // a returned object likewise as a null DISPATCH
    int resultObject = 0;    // number of a returned object, else 0
    std::string resultType;  // its type
};

class CallLog {
  public:
    const std::vector<RecordedCall>& calls() const { return calls_; }
    // The calls (not the releases) as lines, in order.
    std::vector<std::string> Lines() const;
    // Releases too: "release Range#9".
    std::vector<std::string> LinesWithReleases() const;
    void Clear() { calls_.clear(); }

    // The `occurrence`-th call (from 1) of `dispid` as `kind` on an object of
    // type `type` fails with `failure` instead of reaching the server.
    void FailOn(const std::string& type, DispId dispid, InvokeKind kind, Status failure,
                int occurrence = 1);

    static std::string Format(const RecordedCall& call);

  private:
    friend class RecordingProxy;
    struct FailRule {
        std::string type;
        DispId dispid;
        InvokeKind kind;
        Status failure;
        int remaining;
    };
    bool Injected(const std::string& type, DispId dispid, InvokeKind kind, Status* failure);
    int NextObjectNumber() { return ++objects_; }

    std::vector<RecordedCall> calls_;
    std::vector<FailRule> rules_;
    int objects_ = 0;
};

// A factory that starts `inner`'s server and records every call made on it
// and on every object reached from it into `log`.
ServerFactory RecordingFactory(ServerFactory inner, std::shared_ptr<CallLog> log);

// Registers a recording server under `progId` for its lifetime (putting back
// the previous registration after), wrapping `inner`.
class RecordingServer {
  public:
    explicit RecordingServer(const std::string& progId = kExcelProgId,
                             ServerFactory inner = ServerFactory());
    CallLog& log() { return *log_; }
    const std::shared_ptr<CallLog>& shared_log() const { return log_; }

  private:
    std::shared_ptr<CallLog> log_;
    ScopedServerRegistration registration_;
};

}  // namespace automation

#include "recording_server.h"

#include <cstdio>

#include "excel_server.h"

namespace automation {

class RecordingProxy : public Dispatch {
  public:
    RecordingProxy(DispatchPtr inner, std::shared_ptr<CallLog> log)
        : inner_(std::move(inner)), log_(std::move(log)), number_(log_->NextObjectNumber()) {}

    ~RecordingProxy() override {
        RecordedCall call;
        call.event = RecordedCall::Event::Release;
        call.object = number_;
        call.type = inner_->TypeName();
        log_->calls_.push_back(std::move(call));
    }

    const char* TypeName() const override { return inner_->TypeName(); }
    std::string MemberName(DispId id) const override { return inner_->MemberName(id); }
    int number() const { return number_; }

    Status Invoke(DispId id, InvokeKind kind, const std::vector<Variant>& args,
                  Variant* result) override {
        RecordedCall call;
        call.object = number_;
        call.type = inner_->TypeName();
        call.member = inner_->MemberName(id);
        call.dispid = id;
        call.kind = kind;
        // The server sees its own objects, never the proxies around them.
        std::vector<Variant> forwarded = args;
        for (std::size_t i = 0; i < forwarded.size(); ++i) {
            int object = 0;
            std::string type;
            if (forwarded[i].type() == VarType::Dispatch && forwarded[i].object()) {
                type = forwarded[i].object()->TypeName();
                if (auto* proxy = dynamic_cast<RecordingProxy*>(forwarded[i].object().get())) {
                    object = proxy->number_;
                    forwarded[i] = Variant::Object(proxy->inner_);
                }
                call.args.push_back(Variant::Object(nullptr));
            } else {
                call.args.push_back(args[i]);
            }
            call.argObjects.push_back(object);
            call.argTypes.push_back(type);
        }
        Variant value;
        Status status;
        if (!log_->Injected(call.type, id, kind, &status))
            status = inner_->Invoke(id, kind, forwarded, &value);
        if (value.type() == VarType::Dispatch && value.object()) {
            auto proxy = std::make_shared<RecordingProxy>(value.object(), log_);
            call.resultObject = proxy->number_;
            call.resultType = proxy->TypeName();
            call.result = Variant::Object(nullptr);
            value = Variant::Object(std::move(proxy));
        } else {
            call.result = value;
        }
        call.status = status;
        log_->calls_.push_back(std::move(call));
        if (result) *result = std::move(value);
        return status;
    }

  private:
    DispatchPtr inner_;
    std::shared_ptr<CallLog> log_;
    int number_;
};

namespace {

std::string Hex(std::uint32_t v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", v);
    return buffer;
}

}  // namespace

std::string CallLog::Format(const RecordedCall& call) {
    const std::string object = call.type + "#" + std::to_string(call.object);
    if (call.event == RecordedCall::Event::Release) return "release " + object;
    std::string line = object + "." + (call.member.empty() ? "?" : call.member) + " " +
                       Hex(static_cast<std::uint32_t>(call.dispid)) + " " +
                       InvokeKindName(call.kind) + "(";
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        if (i) line += ", ";
        const Variant& arg = call.args[i];
        if (arg.type() == VarType::Dispatch && i < call.argTypes.size()) {
            line +=
                "DISPATCH " + (call.argTypes[i].empty() ? std::string("null") : call.argTypes[i]);
            if (call.argObjects[i] != 0) line += "#" + std::to_string(call.argObjects[i]);
        } else {
            line += arg.Describe();
        }
    }
    line += ")";
    if (!call.status.ok()) {
        line += " !! " + call.status.text;
    } else if (call.resultObject != 0) {
        line += " -> " + call.resultType + "#" + std::to_string(call.resultObject);
    } else if (!call.result.IsEmpty()) {
        line += " -> " + call.result.Describe();
    }
    return line;
}

std::vector<std::string> CallLog::Lines() const {
    std::vector<std::string> lines;
    for (const RecordedCall& call : calls_) {
        if (call.event == RecordedCall::Event::Invoke) lines.push_back(Format(call));
    }
    return lines;
}

std::vector<std::string> CallLog::LinesWithReleases() const {
    std::vector<std::string> lines;
    for (const RecordedCall& call : calls_) lines.push_back(Format(call));
    return lines;
}

void CallLog::FailOn(const std::string& type, DispId dispid, InvokeKind kind, Status failure,
                     int occurrence) {
    rules_.push_back(FailRule{type, dispid, kind, std::move(failure), occurrence});
}

bool CallLog::Injected(const std::string& type, DispId dispid, InvokeKind kind, Status* failure) {
    for (FailRule& rule : rules_) {
        if (rule.remaining <= 0 || rule.type != type || rule.dispid != dispid || rule.kind != kind)
            continue;
        if (--rule.remaining == 0) {
            *failure = rule.failure;
            return true;
        }
    }
    return false;
}

ServerFactory RecordingFactory(ServerFactory inner, std::shared_ptr<CallLog> log) {
    return [inner = std::move(inner), log = std::move(log)](Status* failure) -> DispatchPtr {
        DispatchPtr object = inner(failure);
        if (!object) return nullptr;
        return std::make_shared<RecordingProxy>(std::move(object), log);
    };
}

RecordingServer::RecordingServer(const std::string& progId, ServerFactory inner)
    : log_(std::make_shared<CallLog>()),
      registration_(progId,
                    RecordingFactory(inner ? std::move(inner) : ExcelServerFactory(), log_)) {}

}  // namespace automation

// Fields by lytag's names: the names, their meaning in each format and the
// way a change becomes module calls are lytag's own (tools/lytag/field_names,
// tools/lytag/set_plan), so a host and lytag mean the same by "title".
#include <string>

#include "bindings/c/c_layer.h"
#include "core/code_page.h"
#include "tools/lytag/field_names.h"
#include "tools/lytag/set_plan.h"

namespace {

void Say(char** message, const std::string& text) {
    if (message) *message = CopyText(text);
}

}  // namespace

const char* lyparser_field_name(size_t index) {
    const auto& fields = AllFields();
    return index < fields.size() ? fields[index].name : nullptr;
}

int lyparser_get_field(lyparser_file* file, const char* name, char** value) {
    if (value) *value = nullptr;
    if (!file) return LYPARSER_NO_HANDLE;
    if (!Started()) return LYPARSER_NOT_INITIALIZED;
    try {
        FieldName field;
        std::string error;
        if (!name || !ParseFieldName(name, &field, &error)) return LYPARSER_UNKNOWN_FIELD;
        Utf8Calls utf8;
        IBaseTag* h = Handle(file);
        std::string text = WideToUtf8(ReadField(h, TagParserGetFileType(h), field));
        if (value && !(*value = CopyText(text))) return LYPARSER_OUT_OF_MEMORY;
        return LYPARSER_OK;
    } catch (...) {
        return LYPARSER_OUT_OF_MEMORY;
    }
}

int lyparser_set_field(lyparser_file* file, const char* name, const char* value, char** message) {
    if (message) *message = nullptr;
    if (!file) return LYPARSER_NO_HANDLE;
    if (!Started()) return LYPARSER_NOT_INITIALIZED;
    try {
        SetRequest request;
        std::string error;
        if (!name || !ParseFieldName(name, &request.field, &error)) {
            Say(message, name ? error : "no field name");
            return LYPARSER_UNKNOWN_FIELD;
        }
        request.text = Utf8ToWide(value ? value : "");
        Utf8Calls utf8;
        IBaseTag* h = Handle(file);
        SetPlan plan = PlanSet(h, TagParserGetFileType(h), {request});
        std::string refused;
        for (const auto& refusal : plan.refusals)
            refused += (refused.empty() ? "" : "; ") + refusal;
        if (!refused.empty()) return Say(message, refused), LYPARSER_REFUSED_VALUE;
        // Each module call leaves its outcome as the handle's last failure.
        std::string problem = RecordPlan(h, plan), line;
        lyparser_reason reason = LastReason(h, &line);
        if (!problem.empty() || reason != LYPARSER_OK) {
            Say(message, problem.empty() ? line : line.empty() ? problem : problem + ": " + line);
            return reason != LYPARSER_OK ? reason : LYPARSER_REFUSED_VALUE;
        }
        return LYPARSER_OK;
    } catch (...) {
        return LYPARSER_OUT_OF_MEMORY;
    }
}

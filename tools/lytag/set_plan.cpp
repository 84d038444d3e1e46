#include "tools/lytag/set_plan.h"

#include <map>
#include <set>

#include "core/code_page.h"
#include "lyParser.h"
#include "tools/lytag/lytag.h"

namespace {

constexpr int kBasicFields = 7;  // title .. track: ids 0-6 in ID3v1, 7-13 in ID3v2

std::string Line(const std::string& label, const std::wstring& before, const std::wstring& after,
                 const std::string& note = "") {
    return label + ": " + QuotedValue(before) + " -> " + QuotedValue(after) +
           (note.empty() ? "" : " (" + note + ")");
}

bool StartsWithNumberAboveZero(const std::wstring& text) {
    long number = 0;
    size_t digits = 0;
    for (; digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9' && number < 100000;
         ++digits) {
        number = number * 10 + (text[digits] - L'0');
    }
    return digits > 0 && number > 0;
}

// The value as the narrow text the module takes; false (with a refusal) when
// the locale's encoding cannot spell it.
bool NarrowValue(const std::string& label, const std::wstring& text, std::string* narrow,
                 SetPlan* plan) {
    if (WideToCodePageExact(text, narrow)) return true;
    plan->refusals.push_back(label +
                             ": the value holds characters this locale's encoding cannot write");
    return false;
}

void RecordNamed(IBaseTag* handle, const std::string& label, const std::string& name,
                 const std::wstring& text, SetPlan* plan) {
    ModuleCall call{ModuleCall::kSetExData, -1, name, L"", "", label};
    if (!NarrowValue(label, text, &call.narrow, plan)) return;
    plan->lines.push_back(
        Line(label, CodePageToWide(TagParserGetExData(handle, name.c_str())), text));
    plan->calls.push_back(call);
}

// The MP3 side: two tags, the mask that keeps them and the save's copying of
// empty basic fields from one tag into the other.
class Mp3Planner {
public:
    Mp3Planner(IBaseTag* handle, SetPlan* plan) : handle_(handle), plan_(plan) {
        has_[0] = TagParserGetData(handle, FIELD_HAS_ID3V1) == "Y";
        has_[1] = TagParserGetData(handle, FIELD_HAS_ID3V2) == "Y";
    }

    void Plan(const std::vector<SetRequest>& requests) {
        for (const auto& request : requests) {
            if (request.kind == SetRequest::kTag) TagRequest(request);
        }
        for (const auto& request : requests) {
            if (request.kind == SetRequest::kField) FieldRequest(request);
            if (request.kind == SetRequest::kPicture ||
                request.kind == SetRequest::kRemovePicture) {
                PictureRequest(request);
            }
            if (request.kind == SetRequest::kComment || request.kind == SetRequest::kAttribute) {
                plan_->refusals.push_back(
                    std::string(request.kind == SetRequest::kComment ? "--comment"
                                                                     : "--attribute") +
                    " names an Ogg Vorbis comment or a Windows Media attribute; "
                    "an MP3 takes --field");
            }
        }
        const bool keep1 = want_[0] != 'N' && (has_[0] || want_[0] == 'Y' || used_[0]);
        const bool keep2 = want_[1] != 'N' && (has_[1] || want_[1] == 'Y' || used_[1]);
        if (keep1 && keep2 && plan_->refusals.empty()) PredictCopies();
        const bool keep[2] = {keep1, keep2};
        const int presence[2] = {FIELD_HAS_ID3V1, FIELD_HAS_ID3V2};
        for (int tag = 0; tag < 2; ++tag) {
            const std::string name = tag == 0 ? "ID3v1 tag" : "ID3v2 tag";
            if (want_[tag] == 'N' && has_[tag]) {
                plan_->stripTags.push_back(presence[tag]);
                plan_->lines.push_back(name + ": removed");
            }
            if (keep[tag]) plan_->keepTags.push_back(presence[tag]);
            if (keep[tag] && !has_[tag]) plan_->lines.push_back(name + ": added");
        }
        plan_->save = !plan_->calls.empty() || (keep1 && !has_[0]) || (keep2 && !has_[1]);
    }

private:
    void TagRequest(const SetRequest& request) {
        const int tag = request.name == "ID3v1" ? 0 : 1;
        const char wanted = request.text == L"Y" ? 'Y' : 'N';
        if (want_[tag] && want_[tag] != wanted) {
            plan_->refusals.push_back("both Y and N given for the " + request.name + " tag");
        }
        want_[tag] = wanted;
    }

    void FieldRequest(const SetRequest& request) {
        const FieldInfo& info = *request.field.info;
        const std::string name = info.name;
        std::vector<int> tags;  // 0: ID3v1, 1: ID3v2
        if (request.field.tag == TagChoice::kId3v1) tags = {0};
        if (request.field.tag == TagChoice::kId3v2) tags = {1};
        if (request.field.tag == TagChoice::kShown) {
            if (info.id3v2 >= 0 && want_[1] != 'N') tags.push_back(1);
            if (info.id3v1 >= 0 && want_[0] != 'N' &&
                (has_[0] || want_[0] == 'Y' || tags.empty())) {
                tags.push_back(0);
            }
        }
        if (info.readOnly || info.id3v2 < 0) {
            return plan_->refusals.push_back("an MP3 has no " + name + " field that can be set");
        }
        if (tags.empty())
            return plan_->refusals.push_back(name +
                                             " lives in the ID3v2 tag, which --id3v2 N removes");
        for (int tag : tags) {
            const std::string label = info.id3v1 < 0 ? name : name + (tag == 0 ? ":v1" : ":v2");
            if (want_[tag] == 'N') {
                plan_->refusals.push_back(label + ": that tag is being removed (--id3v" +
                                          (tag == 0 ? "1" : "2") + " N)");
                continue;
            }
            if (!ValueFits(info, tag, label, request.text)) continue;
            Set(tag == 0 ? info.id3v1 : info.id3v2, label, request.text, tag);
        }
    }

    bool ValueFits(const FieldInfo& info, int tag, const std::string& label,
                   const std::wstring& text) {
        const std::string name = info.name;
        if ((name == "year" || name == "track") && !text.empty() &&
            !StartsWithNumberAboveZero(text)) {
            plan_->refusals.push_back(
                label + ": an MP3 keeps only a value that starts with a number above 0");
            return false;
        }
        return true;
    }

    void Set(int id, const std::string& label, const std::wstring& text, int tag) {
        std::wstring before = Value(id);
        after_[id] = text;
        used_[tag] = true;
        if (text.empty()) removed_.insert(id);
        ModuleCall call{ModuleCall::kSetWide, id, "", text, "", label};
        plan_->calls.push_back(call);
        plan_->lines.push_back(Line(label, before, text));
    }

    void PictureRequest(const SetRequest& request) {
        if (want_[1] == 'N') {
            return plan_->refusals.push_back(
                "the picture lives in the ID3v2 tag, which --id3v2 N removes");
        }
        if (!pictureRead_) picture_ = CodePageToWide(TagParserGetData(handle_, FIELD_PICTURE));
        pictureRead_ = true;
        if (request.kind == SetRequest::kRemovePicture) {
            if (picture_.empty()) return;  // nothing to remove
            plan_->calls.push_back({ModuleCall::kDeletePicture, -1, "", L"", "", "picture", false});
            plan_->lines.push_back(Line("picture", picture_, L""));
            picture_.clear();
            plan_->pictureBytes = 0;
        } else {
            plan_->calls.push_back(
                {ModuleCall::kSetNarrow, FIELD_PICTURE, "", L"", request.path, "picture", false});
            plan_->lines.push_back(Line("picture", picture_, CodePageToWide(request.path),
                                        std::to_string(request.bytes) + " bytes, the front cover"));
            picture_ = CodePageToWide(request.path);
            plan_->pictureBytes = request.bytes;
        }
        used_[1] = true;
    }

    // A save with both tags fills each basic field one tag holds empty from
    // the other. A removal the save would undo is refused.
    void PredictCopies() {
        static const char* const kNames[] = {"title", "artist",  "album", "year",
                                             "genre", "comment", "track"};
        for (int field = 0; field < kBasicFields; ++field) {
            const int ids[2] = {field, field + kBasicFields};
            for (int to = 0; to < 2; ++to) {
                const int from = 1 - to;
                std::wstring target = Value(ids[to]), source = Value(ids[from]);
                if (!target.empty() || source.empty()) continue;
                const std::string label = std::string(kNames[field]) + (to == 0 ? ":v1" : ":v2");
                const std::string other = from == 0 ? "ID3v1" : "ID3v2";
                if (removed_.count(ids[to])) {
                    plan_->refusals.push_back(label + ": the save would copy it back from " +
                                              other + "; remove " + kNames[field] +
                                              " from both tags instead");
                } else {
                    plan_->lines.push_back(
                        Line(label, target, source, "copied from " + other + " by the save"));
                }
            }
        }
    }

    std::wstring Value(int id) {
        auto it = after_.find(id);
        if (it != after_.end()) return it->second;
        return after_[id] = TagParserGetDataW(handle_, id);
    }

    IBaseTag* handle_;
    SetPlan* plan_;
    bool has_[2] = {false, false};
    char want_[2] = {0, 0};  // 'Y', 'N' or nothing
    bool used_[2] = {false, false};
    std::map<int, std::wstring> after_;  // values after the changes, read on demand
    std::set<int> removed_;
    bool pictureRead_ = false;
    std::wstring picture_;  // the picture's label, or its new file
};

void PlanOneTag(IBaseTag* handle, const std::vector<SetRequest>& requests, SetPlan* plan);

void PlanOgg(IBaseTag* handle, const std::vector<SetRequest>& requests, SetPlan* plan) {
    for (const auto& request : requests) {
        const FieldInfo* info = request.kind == SetRequest::kField ? request.field.info : nullptr;
        std::string label = info ? info->name : request.name;
        const bool picture =
            request.kind == SetRequest::kPicture || request.kind == SetRequest::kRemovePicture;
        if (picture && TagParserGetFileType(handle) == FILE_TYPE_OPUS) {
            PlanOneTag(handle, {request}, plan);  // Opus holds pictures as a FLAC file does
        } else if (request.kind == SetRequest::kComment) {
            info = VorbisFieldOfComment(request.name);
        } else if (request.kind != SetRequest::kField) {
            plan->refusals.push_back(
                request.kind == SetRequest::kAttribute
                    ? "--attribute names a Windows Media attribute; use --comment"
                    : "lyParser writes ID3 tags and pictures only into MP3 files");
            continue;
        }
        if (picture) continue;
        if (info && (info->readOnly || !info->ogg.Exists())) {
            plan->refusals.push_back("an Ogg Vorbis file has no " + label +
                                     " field; use --comment NAME=VALUE");
            continue;
        }
        if (request.kind == SetRequest::kField && request.field.tag != TagChoice::kShown) {
            plan->refusals.push_back(label + ": v1 and v2 name the tags of an MP3");
            continue;
        }
        if (info && info->ogg.id >= 0) {
            plan->lines.push_back(
                Line(label, TagParserGetDataW(handle, info->ogg.id), request.text));
            plan->calls.push_back(
                {ModuleCall::kSetWide, info->ogg.id, "", request.text, "", label});
        } else {
            RecordNamed(handle, label, info ? info->ogg.name : request.name, request.text, plan);
        }
    }
    plan->save = !plan->calls.empty();
}

void PlanWma(IBaseTag* handle, const std::vector<SetRequest>& requests, SetPlan* plan) {
    for (const auto& request : requests) {
        if (request.kind == SetRequest::kAttribute) {
            RecordNamed(handle, request.name, request.name, request.text, plan);
            continue;
        }
        if (request.kind != SetRequest::kField) {
            plan->refusals.push_back(
                request.kind == SetRequest::kComment
                    ? "--comment names a Vorbis comment; use --attribute"
                    : "lyParser writes ID3 tags and pictures only into MP3 files");
            continue;
        }
        const FieldInfo& info = *request.field.info;
        const std::string label = info.name;
        if (request.field.tag != TagChoice::kShown) {
            plan->refusals.push_back(label + ": v1 and v2 name the tags of an MP3");
        } else if (info.readOnly || !info.wma.Exists()) {
            plan->refusals.push_back("a Windows Media file has no " + label +
                                     " field; use --attribute NAME=VALUE");
        } else if (info.wma.name) {
            RecordNamed(handle, label, info.wma.name, request.text, plan);
        } else {
            // The module takes Windows Media values only as narrow text.
            ModuleCall call{ModuleCall::kSetNarrow, info.wma.id, "", L"", "", label};
            if (!NarrowValue(label, request.text, &call.narrow, plan)) continue;
            plan->lines.push_back(
                Line(label, TagParserGetDataW(handle, info.wma.id), request.text));
            plan->calls.push_back(call);
        }
    }
    plan->save = !plan->calls.empty();
}

// The formats whose one tag answers every field: fields by their ID3v2 ids,
// the picture as it is for an MP3.
void PlanOneTag(IBaseTag* handle, const std::vector<SetRequest>& requests, SetPlan* plan) {
    for (const auto& request : requests) {
        if (request.kind == SetRequest::kPicture) {
            plan->calls.push_back(
                {ModuleCall::kSetNarrow, FIELD_PICTURE, "", L"", request.path, "picture", false});
            plan->lines.push_back(Line("picture", TagParserGetDataW(handle, FIELD_PICTURE),
                                       CodePageToWide(request.path),
                                       std::to_string(request.bytes) + " bytes, the front cover"));
            plan->pictureBytes = request.bytes;
        } else if (request.kind == SetRequest::kRemovePicture) {
            const std::wstring picture = TagParserGetDataW(handle, FIELD_PICTURE);
            if (picture.empty()) continue;
            plan->calls.push_back({ModuleCall::kDeletePicture, -1, "", L"", "", "picture", false});
            plan->lines.push_back(Line("picture", picture, L""));
            plan->pictureBytes = 0;
        } else if (request.kind != SetRequest::kField) {
            plan->refusals.push_back(request.kind == SetRequest::kTag
                                         ? "--id3v1 and --id3v2 name the tags of an MP3"
                                         : "this file takes --field, not --comment or --attribute");
        } else if (request.field.tag != TagChoice::kShown) {
            plan->refusals.push_back(std::string(request.field.info->name) +
                                     ": v1 and v2 name the tags of an MP3");
        } else if (request.field.info->readOnly || request.field.info->id3v2 < 0) {
            plan->refusals.push_back(std::string("this file has no ") + request.field.info->name +
                                     " field that can be set");
        } else {
            const int id = request.field.info->id3v2;
            const std::string label = request.field.info->name;
            plan->lines.push_back(Line(label, TagParserGetDataW(handle, id), request.text));
            plan->calls.push_back({ModuleCall::kSetWide, id, "", request.text, "", label});
        }
    }
    plan->save = !plan->calls.empty();
}

}  // namespace

std::string RecordPlan(IBaseTag* handle, const SetPlan& plan) {
    for (int tag : plan.keepTags) TagParserSetData(handle, tag, "Y");
    for (const auto& call : plan.calls) {
        bool taken = true;
        switch (call.kind) {
            case ModuleCall::kSetWide:
                taken = TagParserSetDataW(handle, call.id, call.wide.c_str()) != 0;
                break;
            case ModuleCall::kSetNarrow:  // answers 0 whatever happened: checked after the save
                TagParserSetData(handle, call.id, call.narrow.c_str());
                break;
            case ModuleCall::kSetExData:
                taken = TagParserSetExData(handle, call.name.c_str(), call.narrow.c_str()) != 0;
                break;
            case ModuleCall::kDeletePicture:
                taken = TagParserDeleteAttachedPicture(handle) == 1;
                break;
        }
        if (!taken) return "lyParser did not take the change of " + call.label;
    }
    return std::string();
}

std::string QuotedValue(const std::wstring& text) {
    if (text.empty()) return "(none)";
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'\n') {
            quoted += L"\\n";
        } else if (c == L'\t') {
            quoted += L"\\t";
        } else if (c == L'"' || c == L'\\') {
            quoted += std::wstring(L"\\") + c;
        } else if (c < 0x20) {
            quoted += L"?";
        } else {
            quoted += c;
        }
    }
    return WideToCodePage(quoted + L"\"");
}

SetPlan PlanSet(IBaseTag* handle, int type, const std::vector<SetRequest>& requests) {
    SetPlan plan;
    if (type == FILE_TYPE_MP3) {
        Mp3Planner(handle, &plan).Plan(requests);
    } else if (type == FILE_TYPE_OGG || type == FILE_TYPE_OPUS) {
        PlanOgg(handle, requests, &plan);
    } else if (type == FILE_TYPE_WMA) {
        PlanWma(handle, requests, &plan);
    } else if (HoldsOneTag(type)) {
        PlanOneTag(handle, requests, &plan);
    } else {
        plan.refusals.push_back(type == FILE_TYPE_CDA ? "audio-CD tracks cannot be written"
                                                      : "not an audio file lyParser reads");
    }
    return plan;
}

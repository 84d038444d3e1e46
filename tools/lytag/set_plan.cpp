#include "tools/lytag/set_plan.h"

#include <map>
#include <set>

#include "core/code_page.h"
#include "lyParser.h"
#include "tools/lytag/set_plan_parts.h"
#include "tools/lytag/tag_items.h"

namespace {

constexpr int kBasicFields = 7;  // title .. track: ids 0-6 in ID3v1, 7-13 in ID3v2

bool StartsWithNumberAboveZero(const std::wstring& text) {
    long number = 0;
    size_t digits = 0;
    for (; digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9' && number < 100000;
         ++digits) {
        number = number * 10 + (text[digits] - L'0');
    }
    return digits > 0 && number > 0;
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
            if (request.kind == SetRequest::kItem) ItemRequest(request);
            if (request.kind == SetRequest::kComment || request.kind == SetRequest::kAttribute) {
                plan_->refusals.push_back(std::string(request.kind == SetRequest::kComment
                                                          ? "--comment"
                                                          : "--attribute") +
                                          " names a Vorbis comment or a Windows Media attribute; "
                                          "an MP3 takes --field or --item");
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
            if (!ValueFits(info, label, request.text)) continue;
            Set(tag == 0 ? info.id3v1 : info.id3v2, label, request.text, tag);
        }
    }

    bool ValueFits(const FieldInfo& info, const std::string& label, const std::wstring& text) {
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
        plan_->lines.push_back(ChangeLine(label, before, text));
    }

    void PictureRequest(const SetRequest& request) {
        if (want_[1] == 'N') {
            return plan_->refusals.push_back(
                "the pictures live in the ID3v2 tag, which --id3v2 N removes");
        }
        const size_t calls = plan_->calls.size();
        PlanPicture(handle_, FILE_TYPE_MP3, request, plan_);
        used_[1] = used_[1] || plan_->calls.size() > calls;
    }

    void ItemRequest(const SetRequest& request) {
        if (want_[1] == 'N') {
            return plan_->refusals.push_back(request.name +
                                             ": lives in the ID3v2 tag, which --id3v2 N removes");
        }
        const size_t calls = plan_->calls.size();
        PlanItem(handle_, FILE_TYPE_MP3, request.name, request.text, plan_);
        used_[1] = used_[1] || plan_->calls.size() > calls;
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
                        ChangeLine(label, target, source, "copied from " + other + " by the save"));
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
};

// The requests every format other than MP3 plans alike: pictures, items,
// the MP3 tag switches and a removal with nothing to remove. True when
// `request` was one of them.
bool PlanOtherRequest(IBaseTag* handle, int type, const SetRequest& request, SetPlan* plan) {
    switch (request.kind) {
        case SetRequest::kPicture:
        case SetRequest::kRemovePicture:
            PlanPicture(handle, type, request, plan);
            return true;
        case SetRequest::kItem:
            if (TraitsOf(type).items == FormatTraits::kItemKeys) {
                PlanItem(handle, type, request.name, request.text, plan);
            } else {
                plan->refusals.push_back(
                    "--item names a frame, atom or item; this file takes " +
                    std::string(TraitsOf(type).vorbisComments ? "--comment" : "--attribute"));
            }
            return true;
        case SetRequest::kTag:
            plan->refusals.push_back("--id3v1 and --id3v2 name the tags of an MP3");
            return true;
        case SetRequest::kRemove:
            plan->refusals.push_back("this file has nothing named " + request.name);
            return true;
        default:
            return false;
    }
}

// Ogg Vorbis and Opus: the fields and every other comment by name.
void PlanOgg(IBaseTag* handle, int type, const std::vector<SetRequest>& requests, SetPlan* plan) {
    for (const auto& request : requests) {
        if (PlanOtherRequest(handle, type, request, plan)) continue;
        const FieldInfo* info = request.kind == SetRequest::kField ? request.field.info : nullptr;
        std::string label = info ? info->name : request.name;
        if (request.kind == SetRequest::kComment) {
            info = VorbisFieldOfComment(request.name);
        } else if (request.kind != SetRequest::kField) {
            plan->refusals.push_back("--attribute names a Windows Media attribute; use --comment");
            continue;
        }
        if (info && (info->readOnly || !info->ogg.Exists())) {
            plan->refusals.push_back(
                std::string(type == FILE_TYPE_OPUS ? "an Opus" : "an Ogg Vorbis") +
                " file has no " + label + " field; use --comment NAME=VALUE");
            continue;
        }
        if (request.kind == SetRequest::kField && request.field.tag != TagChoice::kShown) {
            plan->refusals.push_back(label + ": v1 and v2 name the tags of an MP3");
            continue;
        }
        if (info && info->ogg.id >= 0) {
            plan->lines.push_back(
                ChangeLine(label, TagParserGetDataW(handle, info->ogg.id), request.text));
            plan->calls.push_back(
                {ModuleCall::kSetWide, info->ogg.id, "", request.text, "", label});
        } else {
            PlanNamed(handle, type, label, info ? info->ogg.name : request.name, request.text,
                      plan);
        }
    }
    plan->save = !plan->calls.empty();
}

void PlanWma(IBaseTag* handle, const std::vector<SetRequest>& requests, SetPlan* plan) {
    for (const auto& request : requests) {
        if (request.kind == SetRequest::kAttribute) {
            PlanNamed(handle, FILE_TYPE_WMA, request.name, request.name, request.text, plan);
            continue;
        }
        if (PlanOtherRequest(handle, FILE_TYPE_WMA, request, plan)) continue;
        if (request.kind != SetRequest::kField) {
            plan->refusals.push_back("--comment names a Vorbis comment; use --attribute");
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
            PlanNamed(handle, FILE_TYPE_WMA, label, info.wma.name, request.text, plan);
        } else {
            // The module takes Windows Media values only as narrow text.
            ModuleCall call{ModuleCall::kSetNarrow, info.wma.id, "", L"", "", label};
            if (!NarrowValue(label, request.text, &call.narrow, plan)) continue;
            plan->lines.push_back(
                ChangeLine(label, TagParserGetDataW(handle, info.wma.id), request.text));
            plan->calls.push_back(call);
        }
    }
    plan->save = !plan->calls.empty();
}

// The formats whose one tag answers every field: fields by their ID3v2 ids;
// FLAC's Vorbis comments by name too.
void PlanOneTag(IBaseTag* handle, int type, const std::vector<SetRequest>& requests,
                SetPlan* plan) {
    for (const auto& request : requests) {
        if (PlanOtherRequest(handle, type, request, plan)) continue;
        const FieldInfo* info = request.kind == SetRequest::kField ? request.field.info : nullptr;
        if (request.kind == SetRequest::kComment && TraitsOf(type).vorbisComments) {
            info = VorbisFieldOfComment(request.name);
            if (!info) {
                PlanItem(handle, type, request.name, request.text, plan);
                continue;
            }
        } else if (request.kind != SetRequest::kField) {
            plan->refusals.push_back(
                request.kind == SetRequest::kComment
                    ? "--comment names a Vorbis comment (Ogg Vorbis, FLAC); this file takes --item"
                    : "--attribute names a Windows Media attribute; this file takes --item");
            continue;
        }
        if (request.kind == SetRequest::kField && request.field.tag != TagChoice::kShown) {
            plan->refusals.push_back(std::string(info->name) +
                                     ": v1 and v2 name the tags of an MP3");
        } else if (info->readOnly || info->id3v2 < 0) {
            plan->refusals.push_back(std::string("this file has no ") + info->name +
                                     " field that can be set");
        } else {
            const std::string label = info->name;
            plan->lines.push_back(
                ChangeLine(label, TagParserGetDataW(handle, info->id3v2), request.text));
            plan->calls.push_back({ModuleCall::kSetWide, info->id3v2, "", request.text, "", label});
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

SetPlan PlanSet(IBaseTag* handle, int type, const std::vector<SetRequest>& given) {
    SetPlan plan;
    const std::vector<SetRequest> requests = ResolveRemovals(type, given);
    if (type == FILE_TYPE_MP3) {
        Mp3Planner(handle, &plan).Plan(requests);
    } else if (type == FILE_TYPE_OGG || type == FILE_TYPE_OPUS) {
        PlanOgg(handle, type, requests, &plan);
    } else if (type == FILE_TYPE_WMA) {
        PlanWma(handle, requests, &plan);
    } else if (HoldsOneTag(type)) {
        PlanOneTag(handle, type, requests, &plan);
    } else {
        plan.refusals.push_back(type == FILE_TYPE_CDA ? "audio-CD tracks cannot be written"
                                                      : "not an audio file lyParser reads");
    }
    return plan;
}

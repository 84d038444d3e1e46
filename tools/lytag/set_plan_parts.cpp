#include "tools/lytag/set_plan_parts.h"

#include <strings.h>

#include "core/code_page.h"
#include "lyParser.h"
#include "tools/lytag/tag_items.h"

std::string ChangeLine(const std::string& label, const std::wstring& before,
                       const std::wstring& after, const std::string& note) {
    return label + ": " + QuotedValue(before) + " -> " + QuotedValue(after) +
           (note.empty() ? "" : " (" + note + ")");
}

bool NarrowValue(const std::string& label, const std::wstring& text, std::string* narrow,
                 SetPlan* plan) {
    if (WideToCodePageExact(text, narrow)) return true;
    plan->refusals.push_back(label +
                             ": the value holds characters this locale's encoding cannot write");
    return false;
}

void PlanNamed(IBaseTag* handle, int type, const std::string& label, const std::string& name,
               const std::wstring& text, SetPlan* plan) {
    ModuleCall call{ModuleCall::kSetExData, -1, name, L"", "", label};
    for (const auto& item : ListItems(handle, type)) {
        if (strcasecmp(item.key.c_str(), name.c_str()) == 0) call.name = item.key;
    }
    if (!NarrowValue(label, text, &call.narrow, plan)) return;
    const std::wstring before = CodePageToWide(TagParserGetExData(handle, name.c_str()));
    if (before.empty() && text.empty()) {
        plan->notes.push_back(label + ": nothing to remove");
        return;
    }
    plan->lines.push_back(ChangeLine(label, before, text));
    plan->calls.push_back(call);
}

void PlanItem(IBaseTag* handle, int type, const std::string& key, const std::wstring& text,
              SetPlan* plan) {
    // The item as the file spells its key (ID3v2 ids and MP4 atoms tell case apart).
    std::string spelled = key;
    const ListedItem* binary = nullptr;
    bool exists = false;
    const std::vector<ListedItem> items = ListItems(handle, type);
    for (const auto& item : items) {
        if (strcasecmp(item.key.c_str(), key.c_str()) != 0) continue;
        if (!exists) spelled = item.key;
        exists = true;
        if (item.binary) binary = &item;
    }
    if (!exists && text.empty()) {
        plan->notes.push_back(key + ": nothing to remove");
        return;
    }
    ModuleCall call{ModuleCall::kSetExData, -1, LYPARSER_KEY_ITEM + spelled, L"", "", spelled};
    if (!NarrowValue(spelled, text, &call.narrow, plan)) return;
    if (binary && !text.empty()) {
        plan->refusals.push_back(spelled + ": holds data that is not text; it can only be removed");
        return;
    }
    const std::wstring before =
        binary ? L"" : CodePageToWide(TagParserGetExData(handle, call.name.c_str()));
    plan->lines.push_back(binary ? spelled + ": (" + std::to_string(binary->bytes) +
                                       " bytes of data) -> (none)"
                                 : ChangeLine(spelled, before, text));
    plan->calls.push_back(call);
}

void PlanPicture(IBaseTag* handle, int type, const SetRequest& request, SetPlan* plan) {
    const FormatTraits traits = TraitsOf(type);
    if (!traits.pictures) {
        plan->refusals.push_back("lyParser writes no pictures into this kind of file");
        return;
    }
    const int picture = request.pictureType;
    if (picture < 0) {  // every picture
        const size_t count = ListPictures(handle, type).size();
        if (count == 0) return;
        plan->calls.push_back({ModuleCall::kDeletePicture, -1, "", L"", "", "pictures", false});
        plan->lines.push_back("pictures: " + std::to_string(count) + " -> (none)");
        plan->pictureBytes = 0;
        return;
    }
    if (type == FILE_TYPE_MP4 && picture != kFrontCover) {
        plan->refusals.push_back(
            "MP4 pictures have no types: only the front cover can be set or removed");
        return;
    }
    const std::string name = PictureTypeName(picture);
    const std::string label = picture == kFrontCover ? "picture" : "picture:" + name;
    const std::string key = LYPARSER_KEY_PICTURE + std::to_string(picture);
    const std::wstring before = CodePageToWide(TagParserGetExData(handle, key.c_str()));
    if (request.kind == SetRequest::kRemovePicture) {
        if (before.empty()) {
            plan->notes.push_back(label + ": nothing to remove");
            return;
        }
        plan->calls.push_back({ModuleCall::kSetExData, -1, key, L"", "", label, false});
        plan->lines.push_back(ChangeLine(label, before, L""));
        plan->pictures.push_back({picture, 0});
        return;
    }
    plan->calls.push_back({ModuleCall::kSetExData, -1, key, L"", request.path, label, false});
    plan->lines.push_back(
        ChangeLine(label, before, CodePageToWide(request.path),
                   std::to_string(request.bytes) + " bytes, " +
                       (picture == kFrontCover ? "the front cover" : "type " + name)));
    plan->pictures.push_back({picture, request.bytes});
    if (picture == kFrontCover) plan->pictureBytes = request.bytes;
}

std::vector<SetRequest> ResolveRemovals(int type, const std::vector<SetRequest>& requests) {
    const FormatTraits traits = TraitsOf(type);
    std::vector<SetRequest> resolved;
    for (SetRequest request : requests) {
        if (request.kind == SetRequest::kRemove) {
            std::string error;
            request.text.clear();
            if (ParseFieldName(request.name, &request.field, &error)) {
                request.kind = SetRequest::kField;
            } else if (traits.vorbisComments) {
                request.kind = SetRequest::kComment;
            } else if (traits.items == FormatTraits::kAttributeNames) {
                request.kind = SetRequest::kAttribute;
            } else if (traits.items == FormatTraits::kItemKeys) {
                request.kind = SetRequest::kItem;
            }
        }
        resolved.push_back(request);
    }
    return resolved;
}

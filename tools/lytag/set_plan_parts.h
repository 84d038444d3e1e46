// The parts of planning a set that every format shares: the change lines,
// named entries (Vorbis comments, Windows Media attributes), items by the
// module's keys, pictures by type, and what --remove NAME means for a file.
// Used by set_plan.cpp only.
#ifndef LYPARSER_TOOLS_LYTAG_SET_PLAN_PARTS_H
#define LYPARSER_TOOLS_LYTAG_SET_PLAN_PARTS_H

#include <string>
#include <vector>

#include "tools/lytag/set_plan.h"

// "label: "old" -> "new" (note)".
std::string ChangeLine(const std::string& label, const std::wstring& before,
                       const std::wstring& after, const std::string& note = "");

// The value as the narrow text the module takes; false (with a refusal)
// when the locale's encoding cannot spell it.
bool NarrowValue(const std::string& label, const std::wstring& text, std::string* narrow,
                 SetPlan* plan);

// Plans a change of the entry `name` that the module answers by its name
// (an Ogg Vorbis comment, a Windows Media attribute), in a file of `type`;
// an entry the file holds keeps the file's spelling of its name.
void PlanNamed(IBaseTag* handle, int type, const std::string& label, const std::string& name,
               const std::wstring& text, SetPlan* plan);

// Plans a change of the item `key` through the module's item keys.
void PlanItem(IBaseTag* handle, int type, const std::string& key, const std::wstring& text,
              SetPlan* plan);

// Plans a kPicture or kRemovePicture request for a file of `type`.
void PlanPicture(IBaseTag* handle, int type, const SetRequest& request, SetPlan* plan);

// The requests with each kRemove turned into what it means for a file of
// `type`: the removal of a field, a comment, an attribute or an item.
std::vector<SetRequest> ResolveRemovals(int type, const std::vector<SetRequest>& requests);

#endif  // LYPARSER_TOOLS_LYTAG_SET_PLAN_PARTS_H

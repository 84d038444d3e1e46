// Module-wide state that parsers need: the host's audio engine, the module
// lock and the ForceFreeCDDB switch. Lives below the parsers so that no parser
// reaches into the exported layer.
//
// All functions are thread-safe.
#ifndef LYPARSER_CORE_MODULE_STATE_H
#define LYPARSER_CORE_MODULE_STATE_H

#include <mutex>

class CBassAudio;
class StringEx;

// The engine stored by the first successful TagParserInitialize, or null.
// Never cleared.
CBassAudio* GetBassAudio();
// Stores `engine` when it is non-null and none is stored yet; true when this
// call stored it.
bool StoreBassAudio(CBassAudio* engine);

// The module lock, held by each CD lookup for its whole run. It exists from
// the module's load to the end of the process.
std::recursive_mutex& ModuleLock();

void SetForceFreeCDDB(int value);
int GetForceFreeCDDB();

// Engine calls that treat a missing engine as a failed call.
float EngineAudioLength(const void* path, int wide);
// The engine's length of the file at `path` (passed in the width it was set
// in), truncated toward zero; 0 for a length that is not a number.
int EngineAudioSeconds(StringEx path);

#endif  // LYPARSER_CORE_MODULE_STATE_H

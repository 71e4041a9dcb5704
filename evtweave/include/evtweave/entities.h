// Process and thread keys, the entity records and the collection pass over the rows.
#pragma once

#include <string_view>

#include "evtweave/converter_state.h"

namespace evtweave {

void CollectEntities();

// Process record of a key text, or kNoIndex.
int32_t FindProcessByKey(std::string_view key);
// Thread key of a key text, or kNoIndex.
int32_t FindThreadKey(std::string_view key);
// The node of (process, thread key); created (outside the thread map) when missing.
int32_t ThreadNode(int32_t process, int32_t threadKey);
// The node when the process's thread map holds the key, else kNoIndex.
int32_t FindThreadInProcess(int32_t process, int32_t threadKey);
// The process whose thread map held the key first, or kNoIndex.
int32_t FindThreadOwner(int32_t threadKey);

}  // namespace evtweave

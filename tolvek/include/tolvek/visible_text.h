// Text from a log as the analyst may see it: characters that would hide or disguise part of
// a name (control characters, and the marks that reorder or redirect the writing direction)
// are written out as "_0x" + hex + "_", the form the converter gives code 1.
#pragma once

#include <string>
#include <string_view>

namespace tolvek {

// Appends text (UTF-8) with every C0 and C1 control character, DEL, and every bidirectional
// mark, embedding, override and isolate written as "_0x" + upper-case hex (two digits, four
// above FF) + "_". Bytes that are no valid UTF-8 stay as they are.
void AppendVisibleText(std::string& out, std::string_view text);
std::string VisibleText(std::string_view text);

}  // namespace tolvek

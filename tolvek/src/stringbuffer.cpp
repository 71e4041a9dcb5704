#include "tolvek/stringbuffer.h"

#include "tolvek/callstack.h"
#include "tolvek/text_codec.h"

namespace tolvek {
namespace {

constexpr int64_t kStep = 1'000'000;

}  // namespace

Stringbuffer* NewStringbuffer() {
  TOLVEK_TRACE("NewStringbuffer");
  auto* buffer = new Stringbuffer();
  buffer->blockSize = kStep;
  buffer->text.reserve(static_cast<size_t>(kStep / 2));
  return buffer;
}

void StringbufferAppend(Stringbuffer* buffer, std::string_view text) {
  TOLVEK_TRACE("StringbufferAppend");
  if (text.empty()) return;
  int64_t need = buffer->used + 2 * static_cast<int64_t>(Utf16Length(text));
  if (buffer->blockSize <= need) {
    // Doubling keeps long outputs linear; whole steps keep the sizes callers have seen.
    int64_t grown = buffer->blockSize * 2;
    int64_t least = (need / kStep + 1) * kStep;
    buffer->blockSize = grown > least ? grown : least;
  }
  buffer->text.append(text);
  buffer->used = need;
}

void StringbufferAppendLine(Stringbuffer* buffer, std::string_view text) {
  TOLVEK_TRACE("StringbufferAppendLine");
  StringbufferAppend(buffer, text);
  StringbufferAppend(buffer, "\r\n");
}

std::string Stringbuffer2String(const Stringbuffer* buffer) {
  TOLVEK_TRACE("Stringbuffer2String");
  return buffer->text;
}

void FreeStringbuffer(Stringbuffer* buffer) {
  TOLVEK_TRACE("FreeStringbuffer");
  delete buffer;
}

}  // namespace tolvek

// Escape decoding on arbitrary replies: no crash, no undefined behaviour, and the
// results keep the text model (no zero byte) and the choice between the two paths.
#include <cstddef>
#include <cstdint>
#include <string>

#include "text/text.h"
#include "web/escape_decoding.h"
#include "web/escape_literal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const qm::Text input = qm::bytesToText(std::string(reinterpret_cast<const char*>(data), size));
  const qm::Text decoded = qm::decodeEscapedText(input);
  if (decoded.find('\0') != std::string::npos) __builtin_trap();

  const qm::Text protectedText = qm::web::protectEscapes(input);
  const qm::Text mainPath = qm::web::decodeAsQuotedLiteral(protectedText);
  const qm::Text chosen = mainPath.empty() ? qm::decodePercentEscapes(protectedText) : mainPath;
  if (qm::web::restoreProtected(chosen) != decoded) __builtin_trap();
  if (input.empty() && !decoded.empty()) __builtin_trap();
  return 0;
}

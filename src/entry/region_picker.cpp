#include "entry/region_picker.h"

#include <algorithm>

#include "web/escape_decoding.h"
#include "web/page_fetch.h"

namespace qm {

void fillChildRegions(Program& program, ControlName source, ControlName target) {
  WindowToolkit& tk = program.tk;
  if (tk.comboIndex(source) == 0) return;  // the placeholder is not a place

  const Text id = textAfterLast(tk.text(source), "-");
  const Text address =
      "http://" + program.endpoints.regionHost + "/index.php?mod=ajax&act=getchild_jddist&pid=" + id;
  // The scans let window events run, so a further choice made meanwhile starts its own fill.
  const auto handleEvents = [&tk] { tk.handlePendingEvents(); };
  const Text reply = decodeEscapedText(fetchPageText(address), handleEvents);
  if (reply.empty()) return;

  TextList names;
  TextList ids;
  allTextsBetween(reply, "aname\":\"", "\"}", names, handleEvents);
  allTextsBetween(reply, "\"id\":\"", "\",\"aname", ids, handleEvents);
  // A name without an id to pair with would make an item the checks cannot use.
  const size_t count = std::min(names.size(), ids.size());
  for (size_t k = 0; k < count; ++k) tk.addComboItem(target, names[k] + "-" + ids[k]);
}

}  // namespace qm

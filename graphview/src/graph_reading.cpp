#include "graphview/graph_reading.h"

#include "graphview/dot_attributes.h"
#include "graphview/plain_layout.h"
#include "tolvek/callstack.h"

namespace graphview {

GraphReadStatus ReadGraph(GraphModel& model, std::string plainText, std::string dotText) {
  TOLVEK_TRACE("ReadGraph");
  GraphLayout layout;
  if (ReadPlainLayout(std::move(plainText), layout) != PlainLayoutStatus::kOk) {
    return GraphReadStatus::kLayoutUnreadable;
  }
  ClearGraph(model);
  model.layout = std::move(layout);
  model.Highlights.clear();
  model.Frames.clear();
  if (dotText.empty()) return GraphReadStatus::kDotUnreadable;
  ReadDotAttributes(model, std::move(dotText));
  model.view.layoutImage = SizeLayoutImage(model.layout);
  return GraphReadStatus::kOk;
}

}  // namespace graphview

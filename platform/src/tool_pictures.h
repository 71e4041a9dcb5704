// The pictures of the tool bar's standard buttons.
#pragma once

#include <QIcon>

namespace platform::detail {

// From the desktop's icon theme when it has the picture, else one drawn here; a null icon
// for an unknown number.
QIcon StandardToolIcon(int standardImage);

}  // namespace platform::detail

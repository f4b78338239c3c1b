#pragma once

#include <QIcon>

namespace halvorix {

// The program's icon in every size it is drawn at (title bar, task switcher). Its pictures are
// compiled into the window's library; this registers them, so any program that links it has them.
QIcon applicationIcon();

} // namespace halvorix

#pragma once

class QWidget;

namespace pantrio
{

// Every top-level window Pantrio makes, adopted as it is made, whoever makes
// it: the program's end closes each once, with no list kept by hand.
namespace TopLevelWindows
{

void adopt(QWidget *window);
// Deletes every adopted window still there, newest first.
void closeAll();

} // namespace TopLevelWindows
} // namespace pantrio
